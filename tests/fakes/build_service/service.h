#pragma once
// The fake build service's behaviour: the scripted rules first, then every endpoint the tool
// uses, with the checks a real service would make, and a record of every request.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "jobs.h"
#include "script.h"
#include "wire.h"

// What to send for one request.
struct Plan {
    std::uint32_t delayMs = 0;
    WireAnswer answer;
    std::string action;  // non-empty: a broken answer (see sendBroken)
    std::uint64_t bytes = 0;
};

struct Upload {
    std::string species;
    std::uint64_t size = 0;
    std::uint64_t partSize = 0;
    std::map<std::uint64_t, std::string> parts;
    bool complete = false;
    std::optional<bool> matchesArchive;
};

class Service {
  public:
    // Takes a new script: settings and rules replace the old ones (attempt counts start
    // again), jobs it lists are added. Uploads, jobs and the record are kept.
    void load(const nlohmann::json& script);
    // Forgets uploads, jobs and the record, and the script.
    void reset();

    Plan handle(const WireRequest& request);

    nlohmann::json requests() const;
    nlohmann::json state() const;

  private:
    std::optional<WireAnswer> unauthorised(const WireRequest& request) const;
    WireAnswer builtIn(const WireRequest& request);
    WireAnswer signIn(const WireRequest& request) const;
    WireAnswer startUpload(const WireRequest& request);
    WireAnswer putPart(Upload& upload, const std::string& index, const WireRequest& request);
    WireAnswer complete(Upload& upload);
    WireAnswer job(Job& job, const std::string& tail, const WireRequest& request);
    std::string nextId(const char* listKey, const char* prefix, std::uint64_t& counter);

    mutable std::mutex mutex_;
    nlohmann::json script_ = nlohmann::json::object();
    std::vector<Rule> rules_;
    std::vector<nlohmann::json> records_;
    std::map<std::string, Upload> uploads_;
    std::map<std::string, Job> jobs_;
    std::uint64_t uploadCount_ = 0;
    std::uint64_t jobCount_ = 0;
};
