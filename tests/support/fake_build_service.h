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

    // http://127.0.0.1:<port>
    const std::string& url() const { return url_; }
    int port() const;

    // Loads a further script; its rules replace the old ones.
    void script(const nlohmann::json& script);
    // Every request the fake received, in order (see the fake's main.cpp for the fields).
    nlohmann::json requests() const;
    // Uploads and jobs as the fake sees them.
    nlohmann::json state() const;

  private:
    nlohmann::json control(const std::string& method, const std::string& path,
                           const std::string& body = {}) const;

    std::unique_ptr<ChildProcess> child_;
    std::string url_;
    std::unique_ptr<ScopedEnv> env_;
};

// The value of a recorded request's header (first of that name, letter case ignored).
std::string headerOf(const nlohmann::json& request, const std::string& name);
