#include "script.h"

std::vector<Rule> parseRules(const nlohmann::json& script) {
    std::vector<Rule> rules;
    if (!script.contains("rules")) return rules;
    for (const nlohmann::json& r : script.at("rules")) {
        Rule rule;
        rule.method = r.value("method", "");
        rule.pattern = r.at("path").get<std::string>();
        rule.skip = r.value("skip", std::uint64_t{0});
        if (r.contains("count")) rule.count = r.at("count").get<std::uint64_t>();
        rule.delayMs = r.value("delayMs", std::uint32_t{0});
        if (r.contains("status")) rule.status = r.at("status").get<int>();
        if (r.contains("json")) {
            rule.body = r.at("json").dump();
        } else {
            rule.body = r.value("body", "");
        }
        nlohmann::json headers = r.value("headers", nlohmann::json::object());
        for (const auto& [name, value] : headers.items()) {
            rule.headers.emplace_back(name, value.get<std::string>());
        }
        rule.action = r.value("action", "");
        rule.bytes = r.value("bytes", rule.bytes);
        rules.push_back(std::move(rule));
    }
    return rules;
}

bool pathMatches(const std::string& pattern, const std::string& path) {
    std::size_t p = 0, s = 0;
    while (p < pattern.size()) {
        if (pattern[p] == '*') {
            // Try every length of the run, shortest first.
            for (std::size_t end = s;; ++end) {
                if (pathMatches(pattern.substr(p + 1), path.substr(end))) return true;
                if (end == path.size() || path[end] == '/') return false;
            }
        }
        if (s == path.size() || pattern[p] != path[s]) return false;
        ++p;
        ++s;
    }
    return s == path.size();
}

bool ruleMatches(const Rule& rule, const WireRequest& request) {
    return (rule.method.empty() || rule.method == request.method) &&
           pathMatches(rule.pattern, request.path);
}

bool ruleTakes(Rule& rule) {
    ++rule.seen;
    if (rule.seen <= rule.skip) return false;
    return !rule.count || rule.seen - rule.skip <= *rule.count;
}
