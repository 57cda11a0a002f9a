#pragma once
// The fake build service (tests/fakes/build_service) run for one test: started on a free
// loopback port, scripted and inspected through its control endpoints, ended with the object.
// VARRAFORGESET_BUILD_URL points at it while it lives.
#include <nlohmann/json.hpp>

#include <memory>
#include <string>

#include "support/child_process.h"
#include "support/scoped_env.h"

class FakeBuildService {
  public:
    // Starts the fake with a script (see the fake's main.cpp for its keys).
    explicit FakeBuildService(const nlohmann::json& script = nlohmann::json::object());
    ~FakeBuildService();

    // http://127.0.0.1:<port>
    const std::string& url() const { return url_; }
    int port() const;

    // Loads a further script; its rules replace the old ones.
    void script(const nlohmann::json& script);
    // Every request the fake received, in order (see the fake's main.cpp for the fields).
    nlohmann::json requests() const;
    // Uploads and jobs as the fake sees them.
    nlohmann::json state() const;

    // The running fake, as each system starts and ends it: a child process on Linux; on
    // Windows a Linux program that a pool started for this test (a Windows program under
    // Wine cannot start a Linux one and keep hold of it).
    class Instance;

  private:
    nlohmann::json control(const std::string& method, const std::string& path,
                           const std::string& body = {}) const;

    std::unique_ptr<Instance> instance_;
    std::string url_;
    std::unique_ptr<ScopedEnv> env_;
};

// The value of a recorded request's header (first of that name, letter case ignored).
std::string headerOf(const nlohmann::json& request, const std::string& name);

// The script as the fake reads it: it opens the files a script names (expectArchive, a job's
// result) on Linux, so on Windows their paths become Linux ones.
nlohmann::json scriptForService(const nlohmann::json& script);

// The status and body of one request to the fake on 127.0.0.1:<port>; throws when no
// answer came. Per system: cpp-httplib on Linux, the tool's own client on Windows.
std::pair<int, std::string> fakeServiceExchange(int port, const std::string& method,
                                                const std::string& path, const std::string& body);
