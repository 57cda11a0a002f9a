#pragma once
// A TestApp for the remote build: a server folder with the fake asset helper beside the
// program, the fake opener and the system's programs (bsdtar) on PATH, the fake build service on
// loopback, and waits that are recorded instead of slept, so no test spends real seconds.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bridge/credentials.h"
#include "support/environment.h"
#include "support/fake_build_service.h"
#include "support/programs.h"
#include "support/scoped_env.h"
#include "support/test_app.h"

namespace remote {

using json = nlohmann::json;
using Notice = std::pair<bool, std::string>;
using Notices = std::vector<Notice>;

class RemoteTest : public ::testing::Test {
  protected:
    RemoteTest()
        : path_("PATH", fakesAndSystemPath()),
          opened_("FAKE_XDG_OPEN_LOG", t.home / "opened.txt"),
          noProxy_("no_proxy", "*") {
        namespace fs = std::filesystem;
        t.app.serverRoot.set(t.root());
        t.app.programFolder = t.home / "program";
        fs::create_directories(t.app.programFolder + "/tools");
        placeProgram(FORGESET_FAKE_ASSETS_PATH, t.app.programFolder + "/tools/forgeset-assets");
        t.app.remoteTimings.wait = [this](std::uint32_t ms) {
            std::lock_guard lock(waitsMutex_);
            waits_.push_back(ms);
        };
        // A broken answer must not hold a test for the ten minutes a real upload may take.
        t.app.buildServiceTimeouts.sendMs = 5000;
        t.app.buildServiceTimeouts.receiveMs = 5000;
    }

    ~RemoteTest() override {
        // No worker may outlive the App it reports to.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!t.app.workers.idle() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (!t.app.workers.idle()) {
            ADD_FAILURE() << "a remote worker is still running";
            std::abort();
        }
    }

    void signIn() {
        ASSERT_TRUE(bridge::saveCredentials({"test-token", "76561190000000001", "Test"}));
    }

    std::string ws(const std::string& name) const { return t.root() + "/species/" + name; }
    std::string jobFile(const std::string& name) const {
        return ws(name) + "/build/remote-job.txt";
    }

    // A workspace with a definition and the given source files (relative path, bytes).
    void makeSpecies(const std::string& name, const std::map<std::string, std::string>& files) {
        writeText(ws(name) + "/species.json", R"({"name":")" + name + R"("})");
        for (const auto& [path, bytes] : files)
            writeText(ws(name) + "/source/" + path, bytes);
    }

    // Every message until one that `stop` accepts (included); fails the test when none
    // comes within the time.
    std::vector<json> until(const std::function<bool(const json&)>& stop, int seconds = 20) {
        std::vector<json> seen;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < end) {
            for (json& m : t.take()) {
                seen.push_back(std::move(m));
                if (stop(seen.back())) return seen;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ADD_FAILURE() << "the awaited message did not come; last: "
                      << (seen.empty() ? "none" : seen.back().dump());
        return seen;
    }

    // Every message until the remote workers have ended.
    std::vector<json> untilIdle(int seconds = 20) {
        std::vector<json> seen;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!t.app.workers.idle() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        EXPECT_TRUE(t.app.workers.idle()) << "the remote workers did not end";
        for (json& m : t.take())
            seen.push_back(std::move(m));
        return seen;
    }

    std::vector<std::uint32_t> waits() {
        std::lock_guard lock(waitsMutex_);
        return waits_;
    }

    // The speciesRemote messages among `messages` as "state|detail".
    static std::vector<std::string> remote(const std::vector<json>& messages) {
        std::vector<std::string> out;
        for (const json& m : messages) {
            if (m["type"] == "speciesRemote") {
                out.push_back(m["state"].get<std::string>() + "|" + m["detail"].get<std::string>());
            }
        }
        return out;
    }

    static std::vector<std::string> logLines(const std::vector<json>& messages) {
        std::vector<std::string> out;
        for (const json& m : messages) {
            if (m["type"] == "speciesLog") out.push_back(m["line"]);
        }
        return out;
    }

    // Requests the fake received for paths that begin with `prefix`.
    std::vector<json> requestsTo(const std::string& prefix) const {
        std::vector<json> out;
        for (const json& r : service.requests()) {
            if (r["path"].get<std::string>().starts_with(prefix)) out.push_back(r);
        }
        return out;
    }

    TestApp t;

  private:
    ScopedEnv path_;
    ScopedEnv opened_;
    ScopedEnv noProxy_;

  protected:
    FakeBuildService service;

  private:
    std::mutex waitsMutex_;
    std::vector<std::uint32_t> waits_;
};

inline std::string cmd(const std::string& name, const std::string& field = "",
                       const std::string& value = "") {
    nlohmann::ordered_json message{{"cmd", name}};
    if (!field.empty()) message[field] = value;
    return message.dump();
}

}  // namespace remote
