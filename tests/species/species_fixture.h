#pragma once
// A TestApp over a temporary server folder whose program folder holds the fake asset helper
// and the species kit, with the fake PowerShell (pwsh, powershell.exe) first on PATH; and a
// way to wait for a species worker to end.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/environment.h"
#include "support/programs.h"
#include "support/scoped_env.h"
#include "support/test_app.h"

namespace species {

class SpeciesTest : public ::testing::Test {
  protected:
    SpeciesTest() : path_("PATH", pathWithFirst(FORGESET_FAKES_DIR)) {
        namespace fs = std::filesystem;
        t.app.serverRoot.set(t.root());
        t.app.programFolder = program();
        fs::create_directories(program() + "/tools");
        placeProgram(FORGESET_FAKE_ASSETS_PATH, program() + "/tools/forgeset-assets");
        placeFolder(std::string(FORGESET_SOURCE_DIR) + "/species-kit", program() + "/species-kit");
    }

    // A worker's very last step, after its last message, is to leave app.workers: the App
    // must outlive it.
    ~SpeciesTest() override {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!t.app.workers.idle() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        EXPECT_TRUE(t.app.workers.idle()) << "a species worker did not end";
    }

    std::string program() const { return t.home / "program"; }
    std::string ws(const std::string& name) const { return t.root() + "/species/" + name; }

    // Every message until a worker's last one: the species message that shows the busy flag
    // free again. Fails the test when none comes within a few seconds.
    std::vector<nlohmann::json> untilWorkerEnds(int seconds = 20) {
        std::vector<nlohmann::json> all;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < until) {
            for (nlohmann::json& m : t.take()) {
                all.push_back(std::move(m));
                if (all.back()["type"] == "species" && all.back()["busy"] == false) return all;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ADD_FAILURE() << "the worker did not end";
        return all;
    }

    // The species message's item for one workspace, or null.
    static nlohmann::json item(const nlohmann::json& message, const std::string& name) {
        for (const nlohmann::json& i : message["items"]) {
            if (i["name"] == name) return i;
        }
        return nullptr;
    }

    TestApp t;

  private:
    ScopedEnv path_;
};

using Notice = std::pair<bool, std::string>;
using Notices = std::vector<Notice>;

// A message with the command and its string fields, written as the page would.
inline std::string cmd(const std::string& name, const std::string& field = "",
                       const std::string& value = "") {
    nlohmann::ordered_json message{{"cmd", name}};
    if (!field.empty()) message[field] = value;
    return message.dump();
}

}  // namespace species
