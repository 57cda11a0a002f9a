#pragma once
// Per-call scripting of the fake build service: rules that answer chosen requests their own
// way, tried in order before the built-in service behaviour.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "wire.h"

struct Rule {
    std::string method;   // empty: any
    std::string pattern;  // the path; "*" stands for any run of characters but "/"
    // The rule lets `skip` matching requests pass, then answers `count` of them (no count:
    // all the rest). Attempts are counted per rule, from the start or the last script.
    std::uint64_t skip = 0;
    std::optional<std::uint64_t> count;
    std::uint32_t delayMs = 0;
    // With neither a status nor an action the rule only delays; the service then answers.
    std::optional<int> status;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string action;
    std::uint64_t bytes = 100000;

    std::uint64_t seen = 0;
};

// Reads the "rules" array of a script. Throws nlohmann::json::exception on a malformed rule,
// so a test's typo is reported instead of silently ignored.
std::vector<Rule> parseRules(const nlohmann::json& script);

// True when the rule's method and path fit the request.
bool ruleMatches(const Rule& rule, const WireRequest& request);

// Counts the request against the rule; true when this attempt is one the rule answers.
bool ruleTakes(Rule& rule);

// Glob match where "*" stands for any run of characters other than "/".
bool pathMatches(const std::string& pattern, const std::string& path);
