#pragma once
// The tool as the owner runs it, on a server whose skins document of 3 MB makes every state
// message that large, driven as a page would drive it.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "shell/serve_client.h"
#include "support/test_app.h"

namespace serve_test {

class BusyServerTool : public ::testing::Test {
  protected:
    // Whether the tool frees memory as it does for the owner: the sanitizers bring their own
    // allocators, which hold freed memory back on purpose.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    static constexpr bool kPlainAllocator = false;
#else
    static constexpr bool kPlainAllocator = true;
#endif

    BusyServerTool() {
        using namespace std::chrono_literals;
        std::string skins = "{\"skins\":[";
        for (int i = 0; skins.size() < (3u << 20); ++i)
            skins += (i ? ",\"" : "\"") + std::to_string(i) + std::string(40, 's') + "\"";
        writeText(root() + "/resources/skins/skins.json", skins + "]}");
        tool = std::make_unique<ServeProcess>(std::vector<std::string>{"--serve", "--root", root()},
                                              dir.path() + "/data", dir.path() + "/stderr.txt");
        std::smatch match;
        std::string line = tool->firstLine(20s);
        if (!std::regex_match(line, match,
                              std::regex(R"(http://127\.0\.0\.1:(\d+)/\?token=([0-9a-f]+))")))
            throw std::runtime_error("no address from the tool: " + line);
        port = std::stoi(match[1]);
        host = "Host: 127.0.0.1:" + match[1].str();
        Reply reply = roundTrip(port, requestText("GET", "/?token=" + match[2].str(), {host}));
        std::string setCookie = reply.header("Set-Cookie");
        page = {host, "Cookie: " + setCookie.substr(0, setCookie.find(';')),
                "X-Forgeset-Token: " + match[2].str()};
    }

    std::string root() const {
        return dir.path() + "/server";
    }

    // Waits until the tool has used no processor time for half a second (at most a minute).
    void waitUntilIdle() {
        using namespace std::chrono_literals;
        auto cpuTicks = [this] {
            std::ifstream stat("/proc/" + std::to_string(tool->pid()) + "/stat");
            std::string text((std::istreambuf_iterator<char>(stat)), {});
            std::istringstream fields(text.substr(text.rfind(')') + 2));
            std::string field;
            long long ticks = 0;
            // utime and stime are the 12th and 13th fields after the command name.
            for (int i = 1; i <= 13 && fields >> field; ++i)
                if (i >= 12) ticks += std::stoll(field);
            return ticks;
        };
        const auto until = Clock::now() + 60s;
        long long before = cpuTicks();
        while (Clock::now() < until) {
            std::this_thread::sleep_for(500ms);
            long long now = cpuTicks();
            if (now == before) return;
            before = now;
        }
    }

    // The tool's resident memory in KiB.
    long residentKiB() const {
        std::ifstream status("/proc/" + std::to_string(tool->pid()) + "/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
        return -1;
    }

    int refresh() {
        std::vector<std::string> headers = page;
        headers.insert(headers.end(), {"Origin: http://127.0.0.1:" + std::to_string(port),
                                       "Content-Type: application/json"});
        return roundTrip(port,
                         requestText("POST", "/_host/command", headers, "{\"cmd\":\"refresh\"}"))
            .status;
    }

    TempDir dir;
    std::unique_ptr<ServeProcess> tool;
    int port = 0;
    std::string host;
    std::vector<std::string> page;
};

}  // namespace serve_test
