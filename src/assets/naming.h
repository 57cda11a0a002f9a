#pragma once
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace assets {

// Lower-case words of a file or clip name: split at anything that is not a letter or digit and
// where a capital follows a small letter; digits stay with the word before them.
// "Rex_AttackLeft90-v2" gives rex, attack, left90, v2.
std::vector<std::string> nameWords(std::string_view name);

// An animation id by the species name rule (1 to 32 of a-z, 0-9 and _, not starting with _):
// the name's words joined by "_", "anim" when nothing is left.
std::string ruleId(std::string_view name);

// `id`, or `id` with "_2", "_3" ... when taken, still within 32 characters; the result is added
// to `taken`.
std::string uniqueId(const std::string& id, std::set<std::string>& taken);

// What an animation's name says it is for: a species role key (idle, walk, swimFast ...) or
// "attack", with the direction the name gives (x -1 hard left to 1 hard right, y 1 up to -1
// down).
struct RoleSuggestion {
    std::string role;
    double x = 0;
    double y = 0;
};

// Only a name that points at exactly one role suggests it: "Walk_To_Run" says nothing.
std::optional<RoleSuggestion> suggestRole(std::string_view name);

// The texture type that a name's last word gives ("T_Body_N" is normal; packed masks such as
// ORM or RAC are "rac"), or "" when the name ends in no known suffix.
std::string textureTypeFromName(std::string_view stem);

// The material slot a texture file name suggests when no material uses the file: the words
// before the type suffix, without a leading "T", each capitalised ("T_Body_D" gives Body).
std::string slotFromName(std::string_view stem);

}  // namespace assets
