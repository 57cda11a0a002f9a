#include "assets/naming.h"

#include <algorithm>
#include <map>
#include <utility>

namespace assets {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isLower(char c) {
    return c >= 'a' && c <= 'z';
}
bool isUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

// "idle01" and "walk2" are the same motions as "idle" and "walk".
std::string withoutTrailingDigits(const std::string& word) {
    size_t end = word.size();
    while (end > 0 && isDigit(word[end - 1]))
        --end;
    return end == 0 ? word : word.substr(0, end);
}

// Words that belong together read as one: "left 90" is left90, "hard left" is hardleft.
std::vector<std::string> joinedDirections(const std::vector<std::string>& words) {
    std::vector<std::string> out;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        bool side = w == "left" || w == "right";
        if (side && i + 1 < words.size() && (words[i + 1] == "90" || words[i + 1] == "45")) {
            out.push_back(w + words[++i]);
        } else if (w == "hard" && i + 1 < words.size() &&
                   (words[i + 1] == "left" || words[i + 1] == "right")) {
            out.push_back("hard" + words[++i]);
        } else {
            out.push_back(w);
        }
    }
    return out;
}

// Two-word motions, checked before single words so "swim fast" does not read as swim.
const std::vector<std::pair<std::pair<const char*, const char*>, const char*>>& compoundRoles() {
    static const std::vector<std::pair<std::pair<const char*, const char*>, const char*>> table = {
        {{"swim", "fast"}, "swimFast"},      {{"swim", "sprint"}, "swimFast"},
        {{"swim", "back"}, "swimBack"},      {{"swim", "backward"}, "swimBack"},
        {{"swim", "backwards"}, "swimBack"}, {{"swim", "reverse"}, "swimBack"},
        {{"swim", "idle"}, "swimIdle"},      {{"death", "pose"}, "deathPose"},
        {{"dead", "pose"}, "deathPose"},
    };
    return table;
}

const std::map<std::string, std::string>& singleRoles() {
    static const std::map<std::string, std::string> table = {
        {"idle", "idle"},      {"idling", "idle"},     {"breathe", "idle"},  {"walk", "walk"},
        {"walking", "walk"},   {"trot", "trot"},       {"trotting", "trot"}, {"jog", "trot"},
        {"run", "run"},        {"running", "run"},     {"sprint", "run"},    {"gallop", "run"},
        {"swim", "swim"},      {"swimming", "swim"},   {"hit", "hit"},       {"hurt", "hit"},
        {"flinch", "hit"},     {"death", "death"},     {"die", "death"},     {"dying", "death"},
        {"rest", "rest"},      {"resting", "rest"},    {"sleep", "rest"},    {"sleeping", "rest"},
        {"eat", "eat"},        {"eating", "eat"},      {"feed", "eat"},      {"drink", "drink"},
        {"drinking", "drink"}, {"call", "call"},       {"calling", "call"},  {"roar", "call"},
        {"bellow", "call"},    {"attack", "attack"},   {"bite", "attack"},   {"claw", "attack"},
        {"swipe", "attack"},   {"tailwhip", "attack"}, {"stomp", "attack"},  {"headbutt", "attack"},
    };
    return table;
}

void applyDirection(const std::string& word, RoleSuggestion& s) {
    static const std::map<std::string, std::pair<char, double>> directions = {
        {"left90", {'x', -1}},   {"hardleft", {'x', -1}}, {"right90", {'x', 1}},
        {"hardright", {'x', 1}}, {"left", {'x', -0.5}},   {"left45", {'x', -0.5}},
        {"right", {'x', 0.5}},   {"right45", {'x', 0.5}}, {"forward", {'x', 0}},
        {"up", {'y', 1}},        {"down", {'y', -1}},
    };
    auto it = directions.find(word);
    if (it == directions.end()) return;
    (it->second.first == 'x' ? s.x : s.y) = it->second.second;
}

struct TypeSuffix {
    std::string type;  // "" when the name ends in no known suffix
    size_t words = 0;  // how many of the last words spell it
};

// "T_Body_Base_Color" ends in a two-word suffix, "T_Body_N" in a one-word one.
TypeSuffix typeSuffix(const std::vector<std::string>& words) {
    static const std::map<std::string, std::string> suffixes = {
        {"d", "diffuse"},      {"diff", "diffuse"},      {"diffuse", "diffuse"},
        {"albedo", "diffuse"}, {"basecolor", "diffuse"}, {"color", "diffuse"},
        {"colour", "diffuse"}, {"col", "diffuse"},       {"bc", "diffuse"},
        {"n", "normal"},       {"nrm", "normal"},        {"nor", "normal"},
        {"norm", "normal"},    {"normal", "normal"},     {"nm", "normal"},
        {"rac", "rac"},        {"orm", "rac"},           {"arm", "rac"},
        {"rma", "rac"},        {"mra", "rac"},           {"masks", "rac"},
        {"m", "mask"},         {"mask", "mask"},         {"msk", "mask"},
        {"e", "emissive"},     {"emissive", "emissive"}, {"emission", "emissive"},
        {"r", "roughness"},    {"rough", "roughness"},   {"roughness", "roughness"},
        {"ao", "ao"},          {"occlusion", "ao"},
    };
    if (words.size() >= 2) {
        auto it = suffixes.find(words[words.size() - 2] + words.back());
        if (it != suffixes.end()) return {it->second, 2};
    }
    if (words.empty()) return {};
    auto it = suffixes.find(words.back());
    return it == suffixes.end() ? TypeSuffix{} : TypeSuffix{it->second, 1};
}

}  // namespace

std::vector<std::string> nameWords(std::string_view name) {
    std::vector<std::string> words;
    std::string current;
    char previous = '\0';
    for (char c : name) {
        bool alnum = isLower(c) || isUpper(c) || isDigit(c);
        if (!alnum || (isUpper(c) && (isLower(previous) || isDigit(previous)))) {
            if (!current.empty()) words.push_back(current);
            current.clear();
        }
        if (alnum) current += isUpper(c) ? static_cast<char>(c - 'A' + 'a') : c;
        previous = c;
    }
    if (!current.empty()) words.push_back(current);
    return words;
}

std::string ruleId(std::string_view name) {
    std::string id;
    for (const std::string& w : nameWords(name)) {
        if (id.size() + 1 + w.size() > 32) break;
        id += (id.empty() ? "" : "_") + w;
    }
    // A single word longer than the rule allows is cut rather than dropped.
    if (id.empty() && !nameWords(name).empty()) id = nameWords(name).front().substr(0, 32);
    return id.empty() ? "anim" : id;
}

std::string uniqueId(const std::string& id, std::set<std::string>& taken) {
    std::string candidate = id;
    for (int n = 2; taken.count(candidate) != 0; ++n) {
        std::string suffix = "_" + std::to_string(n);
        candidate = id.substr(0, 32 - suffix.size()) + suffix;
    }
    taken.insert(candidate);
    return candidate;
}

std::optional<RoleSuggestion> suggestRole(std::string_view name) {
    std::vector<std::string> words = joinedDirections(nameWords(name));
    std::vector<bool> used(words.size(), false);
    std::set<std::string> roles;
    for (size_t i = 0; i < words.size(); ++i) {
        std::string here = withoutTrailingDigits(words[i]);
        std::string next = i + 1 < words.size() ? withoutTrailingDigits(words[i + 1]) : "";
        for (const auto& [pair, role] : compoundRoles()) {
            bool joined = here == std::string(pair.first) + pair.second;
            bool split = here == pair.first && next == pair.second;
            if (!joined && !split) continue;
            roles.insert(role);
            used[i] = true;
            if (split) used[i + 1] = true;
            break;
        }
    }
    for (size_t i = 0; i < words.size(); ++i) {
        if (used[i]) continue;
        auto it = singleRoles().find(withoutTrailingDigits(words[i]));
        if (it != singleRoles().end()) roles.insert(it->second);
    }
    if (roles.size() != 1) return std::nullopt;
    RoleSuggestion suggestion{*roles.begin()};
    for (const std::string& w : words)
        applyDirection(w, suggestion);
    return suggestion;
}

std::string textureTypeFromName(std::string_view stem) {
    return typeSuffix(nameWords(stem)).type;
}

std::string slotFromName(std::string_view stem) {
    std::vector<std::string> words = nameWords(stem);
    words.resize(words.size() - typeSuffix(words).words);
    if (!words.empty() && (words.front() == "t" || words.front() == "tex"))
        words.erase(words.begin());
    std::string slot;
    for (std::string w : words) {
        if (isLower(w[0])) w[0] = static_cast<char>(w[0] - 'a' + 'A');
        slot += w;
    }
    return slot.empty() ? "Body" : slot;
}

}  // namespace assets
