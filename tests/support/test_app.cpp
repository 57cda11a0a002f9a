#include "support/test_app.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "bridge/dispatcher.h"
#include "shell/commands.h"
#include "support/environment.h"

namespace fs = std::filesystem;

TempDir::TempDir() {
    // A name nobody else holds: create_directory says whether this call made the folder.
    std::random_device random;
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
        fs::path candidate = base / ("forgeset-test-" + std::string(suffix));
        std::error_code failed;
        if (fs::create_directory(candidate, failed)) {
            // Forward slashes throughout, as the tests append their tails with them.
            path_ = candidate.generic_string();
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder in " + base.string());
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Tests make folders read-only to force write failures; make them removable again.
    for (auto it = fs::recursive_directory_iterator(path_, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

TestApp::TestApp()
    : app(outbox, dialogs, window, commandTable()),
      dataHome_(kDataHomeVariable, home.path() + "/data") {
    fs::create_directories(root());
}

void TestApp::send(const std::string& message) {
    bridge::dispatchCommand(app, message);
}

std::vector<std::string> TestApp::takeRaw() {
    return outbox.takeAll();
}

std::vector<nlohmann::json> TestApp::take() {
    std::vector<nlohmann::json> parsed;
    for (const std::string& text : outbox.takeAll()) {
        try {
            parsed.push_back(nlohmann::json::parse(text));
        } catch (const std::exception& e) {
            ADD_FAILURE() << "outbound message is not JSON (" << e.what()
                          << "): " << text.substr(0, 300);
        }
    }
    return parsed;
}

fs::path utf8Path(std::string_view text) {
    return fs::path(std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string utf8Text(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

void writeText(const std::string& path, const std::string& bytes) {
    fs::create_directories(utf8Path(path).parent_path());
    std::ofstream out(utf8Path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string readText(const std::string& path) {
    std::ifstream in(utf8Path(path), std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool exists(const std::string& path) {
    return fs::exists(fs::symlink_status(utf8Path(path)));
}

std::string base64Encode(const std::string& bytes) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8 |
                     (unsigned char)bytes[i + 2];
        for (int s = 18; s >= 0; s -= 6)
            out += alphabet[(v >> s) & 63];
    }
    if (i + 1 == bytes.size()) {
        unsigned v = (unsigned char)bytes[i] << 16;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

std::vector<std::pair<bool, std::string>> notices(const std::vector<nlohmann::json>& messages) {
    std::vector<std::pair<bool, std::string>> out;
    for (const auto& m : messages) {
        if (m.value("type", "") == "notice") out.emplace_back(m["error"], m["text"]);
    }
    return out;
}

std::vector<std::string> types(const std::vector<nlohmann::json>& messages) {
    std::vector<std::string> out;
    for (const auto& m : messages)
        out.push_back(m.value("type", ""));
    return out;
}
