#pragma once
// What the tests of the browser host over real loopback connections share: test commands
// that record what they saw and on which thread, and a fixture that forgets it between tests.
#include "shell/serve_host.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <regex>
#include <set>

#include "bridge/json_read.h"
#include "server/commands.h"
#include "shell/commands.h"
#include "shell/embedded_content.h"
#include "shell/serve_client.h"

namespace serve_host_test {

// The words every test file of the browser host uses, brought in once for all of them.
namespace fs = std::filesystem;
using json = nlohmann::json;
using namespace std::chrono_literals;
using namespace serve_test;

// What the test commands saw, and on which thread.
struct Recorded {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> notes;
    std::vector<std::thread::id> threads;

    void clear() {
        std::lock_guard lock(mutex);
        notes.clear();
        threads.clear();
    }
    // Waits until at least `count` notes are there; returns them.
    std::vector<std::string> waitFor(std::size_t count,
                                     std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, limit, [&] { return notes.size() >= count; });
        return notes;
    }
};

inline Recorded& recorded() {
    static Recorded r;
    return r;
}

inline void noteCommand(bridge::App&, const std::string& message) {
    Recorded& r = recorded();
    {
        std::lock_guard lock(r.mutex);
        r.notes.push_back(bridge::jsonString(message, "n"));
        r.threads.push_back(std::this_thread::get_id());
    }
    r.changed.notify_all();
}

inline void echoCommand(bridge::App& app, const std::string& message) {
    app.outbox.post("{\"type\":\"echo\",\"n\":\"" + bridge::jsonString(message, "n") + "\"}");
}

inline void closeCommand(bridge::App& app, const std::string&) {
    app.window.close();
}

// As init does when server-root.txt has gone.
inline void forgetRootCommand(bridge::App& app, const std::string&) {
    app.serverRoot.set("");
}

inline const bridge::Command kTestCommands[] = {
    {"note", noteCommand},
    {"echo", echoCommand},
    {"winClose", closeCommand},
    {"pickFolder", server::command::pickFolder},
    {"forgetRoot", forgetRootCommand},
};

inline std::string note(const std::string& n) {
    return "{\"cmd\":\"note\",\"n\":\"" + n + "\"}";
}

class ServeHostTest : public ::testing::Test {
  protected:
    ServeHostTest() { recorded().clear(); }
};

}  // namespace serve_host_test
