#include "service.h"

#include <fstream>
#include <iterator>

namespace {

constexpr std::uint64_t defaultPartSize = 8 << 20;

WireAnswer json(int status, const nlohmann::json& body) {
    return {status, "application/json", {}, body.dump()};
}

WireAnswer problem(int status, const std::string& message) {
    return json(status, {{"error", message}});
}

const nlohmann::json& user(const nlohmann::json& script) {
    static const nlohmann::json fallback = {
        {"token", "test-token"}, {"name", "Test User"}, {"steamId", "76561190000000001"}};
    return script.contains("user") ? script.at("user") : fallback;
}

std::string percentEncoded(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string queryValue(const std::string& query, const std::string& key) {
    for (std::size_t at = 0; at <= query.size();) {
        std::size_t end = query.find('&', at);
        std::string piece = query.substr(at, end - at);
        if (piece.starts_with(key + "=")) return piece.substr(key.size() + 1);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return {};
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Path pieces after a prefix: "/api/jobs/j1/log" with "/api/jobs/" gives "j1" and "/log".
bool splitId(const std::string& path, const std::string& prefix, std::string& id,
             std::string& tail) {
    if (!path.starts_with(prefix)) return false;
    std::size_t slash = path.find('/', prefix.size());
    id = path.substr(prefix.size(), slash - prefix.size());
    tail = slash == std::string::npos ? "" : path.substr(slash);
    return !id.empty();
}

nlohmann::json record(const WireRequest& request) {
    nlohmann::json headers = nlohmann::json::array();
    for (const auto& [name, value] : request.headers)
        headers.push_back({name, value});
    return {{"method", request.method},
            {"target", request.target},
            {"path", request.path},
            {"query", request.query},
            {"headers", headers},
            {"bodySize", request.bodySize},
            {"body", request.body.substr(0, 64 << 10)}};
}

}  // namespace

void Service::load(const nlohmann::json& script) {
    std::lock_guard lock(mutex_);
    std::vector<Rule> rules = parseRules(script);
    for (const nlohmann::json& plan : script.value("jobs", nlohmann::json::array())) {
        Job job = makeJob(plan, plan.at("id").get<std::string>(), plan.value("species", ""));
        jobs_[job.id] = std::move(job);
    }
    script_ = script;
    rules_ = std::move(rules);
}

void Service::reset() {
    std::lock_guard lock(mutex_);
    script_ = nlohmann::json::object();
    rules_.clear();
    records_.clear();
    uploads_.clear();
    jobs_.clear();
    uploadCount_ = jobCount_ = 0;
}

Plan Service::handle(const WireRequest& request) {
    std::lock_guard lock(mutex_);
    records_.push_back(record(request));
    Plan plan;
    for (Rule& rule : rules_) {
        if (!ruleMatches(rule, request) || !ruleTakes(rule)) continue;
        plan.delayMs = rule.delayMs;
        if (!rule.action.empty()) {
            plan.action = rule.action;
            plan.answer.status = rule.status.value_or(200);
            plan.bytes = rule.bytes;
            return plan;
        }
        if (rule.status) {
            plan.answer = {*rule.status, "application/json", rule.headers, rule.body};
            return plan;
        }
        break;  // a delay only: the service answers after it
    }
    plan.answer = builtIn(request);
    return plan;
}

std::optional<WireAnswer> Service::unauthorised(const WireRequest& request) const {
    if (!script_.value("requireToken", true)) return std::nullopt;
    std::string expected = "Bearer " + user(script_).value("token", "");
    if (request.header("Authorization") == expected) return std::nullopt;
    return problem(401, "Sign in again.");
}

WireAnswer Service::builtIn(const WireRequest& request) {
    const std::string& m = request.method;
    const std::string& path = request.path;
    if (m == "GET" && path == "/auth/steam") return signIn(request);
    if (std::optional<WireAnswer> refused = unauthorised(request)) return *refused;
    if (m == "GET" && path == "/api/me") {
        const nlohmann::json& u = user(script_);
        return json(200, {{"name", u.value("name", "")}, {"steamId", u.value("steamId", "")}});
    }
    if (m == "POST" && path == "/api/uploads") return startUpload(request);
    std::string id, tail;
    if (splitId(path, "/api/uploads/", id, tail)) {
        auto found = uploads_.find(id);
        if (found == uploads_.end()) return problem(404, "No such upload.");
        if (m == "PUT" && tail.starts_with("/parts/")) {
            return putPart(found->second, tail.substr(7), request);
        }
        if (m == "POST" && tail == "/complete") return complete(found->second);
    }
    if (splitId(path, "/api/jobs/", id, tail)) {
        auto found = jobs_.find(id);
        if (found == jobs_.end()) return problem(404, "No such job.");
        return job(found->second, tail, request);
    }
    return problem(404, "No such endpoint.");
}

// The service's sign-in page: it sends the browser straight back to the tool's loopback
// listener with the token, the state it was given and the user's Steam id.
WireAnswer Service::signIn(const WireRequest& request) const {
    std::string port = queryValue(request.query, "port");
    std::string state = queryValue(request.query, "state");
    if (port.empty() || state.empty()) return problem(400, "port and state are required.");
    const nlohmann::json& u = user(script_);
    nlohmann::json callback = script_.value("signIn", nlohmann::json::object());
    std::string location =
        "http://127.0.0.1:" + port + callback.value("path", "/callback") +
        "?token=" + percentEncoded(callback.value("token", u.value("token", ""))) +
        "&state=" + callback.value("state", state) +
        "&steamId=" + percentEncoded(u.value("steamId", ""));
    return {302,
            "text/html; charset=utf-8",
            {{"Location", location}},
            "<a href=\"" + location + "\">Back to the Server Tool</a>"};
}

std::string Service::nextId(const char* listKey, const char* prefix, std::uint64_t& counter) {
    std::vector<std::string> ids = script_.value(listKey, std::vector<std::string>{});
    std::uint64_t n = counter++;
    return n < ids.size() ? ids[n] : prefix + std::to_string(n + 1);
}

WireAnswer Service::startUpload(const WireRequest& request) {
    if (request.header("Content-Type") != "application/json") {
        return problem(400, "Expected application/json.");
    }
    std::string species = request.header("X-Species");
    if (species.empty()) return problem(400, "X-Species is missing.");
    nlohmann::json body = nlohmann::json::parse(request.body, nullptr, false);
    if (!body.is_object() || !body.contains("size") || !body["size"].is_number_unsigned()) {
        return problem(400, "The upload size is missing.");
    }
    Upload upload{species,
                  body["size"].get<std::uint64_t>(),
                  script_.value("partSize", defaultPartSize),
                  {},
                  false,
                  std::nullopt};
    std::string id = nextId("uploadIds", "up-", uploadCount_);
    uploads_[id] = std::move(upload);
    return json(201, {{"uploadId", id}, {"partSize", uploads_[id].partSize}});
}

WireAnswer Service::putPart(Upload& upload, const std::string& index, const WireRequest& request) {
    if (request.header("Content-Type") != "application/octet-stream") {
        return problem(400, "Expected application/octet-stream.");
    }
    std::uint64_t parts =
        upload.partSize ? (upload.size + upload.partSize - 1) / upload.partSize : 0;
    if (index.empty() || index.find_first_not_of("0123456789") != std::string::npos) {
        return problem(400, "Part index " + index + " is not a number.");
    }
    std::uint64_t i = std::stoull(index);
    if (i >= parts) return problem(400, "Part " + index + " is out of range.");
    std::uint64_t expected = std::min(upload.partSize, upload.size - i * upload.partSize);
    // With "keepParts" false only the count is checked: a benchmark's parts of hundreds of
    // megabytes are not held, and completing then trusts the count.
    bool keep = script_.value("keepParts", true);
    if (request.bodySize != expected || (keep && request.body.size() != expected)) {
        return problem(400, "Part " + index + " should hold " + std::to_string(expected) +
                                " bytes, not " + std::to_string(request.bodySize) + ".");
    }
    upload.parts[i] = keep ? request.body : std::string();
    return json(200, nlohmann::json::object());
}

WireAnswer Service::complete(Upload& upload) {
    std::string whole;
    std::uint64_t parts =
        upload.partSize ? (upload.size + upload.partSize - 1) / upload.partSize : 0;
    for (std::uint64_t i = 0; i < parts; ++i) {
        auto part = upload.parts.find(i);
        if (part == upload.parts.end()) {
            return problem(400, "Part " + std::to_string(i) + " is missing.");
        }
        whole += part->second;
    }
    if (script_.contains("expectArchive")) {
        upload.matchesArchive = whole == readFile(script_.at("expectArchive").get<std::string>());
        if (!*upload.matchesArchive) return problem(400, "The upload does not match the archive.");
    }
    upload.complete = true;
    Job job = makeJob(script_.value("job", nlohmann::json::object()),
                      nextId("jobIds", "job-", jobCount_), upload.species);
    std::string id = job.id;
    jobs_[id] = std::move(job);
    return json(201, {{"id", id}});
}

WireAnswer Service::job(Job& j, const std::string& tail, const WireRequest& request) {
    const std::string& m = request.method;
    if (m == "GET" && tail.empty()) return json(200, j.poll());
    if (m == "GET" && tail == "/log") {
        std::vector<std::string> lines = j.log();
        std::size_t from = std::strtoull(queryValue(request.query, "from").c_str(), nullptr, 10);
        nlohmann::json answer = {{"lines", nlohmann::json::array()}, {"next", lines.size()}};
        for (std::size_t i = from; i < lines.size(); ++i)
            answer["lines"].push_back(lines[i]);
        return json(200, answer);
    }
    bool ended = j.state() == "done" || j.state() == "failed" || j.state() == "cancelled";
    if (m == "GET" && tail == "/result") {
        if (j.state() != "done") return problem(409, "The build has not finished.");
        return {200, "application/zip", {}, j.resultZip()};
    }
    if (m == "POST" && tail == "/cancel") {
        if (ended) return problem(409, "The build has already ended.");
        j.cancelled = true;
        return json(200, nlohmann::json::object());
    }
    return problem(404, "No such endpoint.");
}

nlohmann::json Service::requests() const {
    std::lock_guard lock(mutex_);
    return records_;
}

nlohmann::json Service::state() const {
    std::lock_guard lock(mutex_);
    nlohmann::json uploads = nlohmann::json::object(), jobs = nlohmann::json::object();
    for (const auto& [id, u] : uploads_) {
        nlohmann::json parts = nlohmann::json::array();
        for (const auto& [index, bytes] : u.parts)
            parts.push_back(index);
        uploads[id] = {{"species", u.species},   {"size", u.size},
                       {"partSize", u.partSize}, {"parts", parts},
                       {"complete", u.complete}, {"matchesArchive", nullptr}};
        if (u.matchesArchive) uploads[id]["matchesArchive"] = *u.matchesArchive;
    }
    for (const auto& [id, j] : jobs_) {
        jobs[id] = {{"species", j.species},
                    {"state", j.state()},
                    {"polls", j.polls},
                    {"cancelled", j.cancelled}};
    }
    return {{"uploads", uploads}, {"jobs", jobs}};
}
