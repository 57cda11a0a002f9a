// The name rules that turn an owner's file and clip names into animation ids, role suggestions
// and texture slots. The page links animations to roles from these, so a wrong guess here
// becomes a wrong link there.

#include "assets/naming.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <optional>

namespace assets {
namespace {

struct RoleCase {
    const char* name;
    std::optional<RoleSuggestion> expected;
};

TEST(Naming, SuggestsARoleOnlyWhenTheNameMakesOneClear) {
    const RoleCase cases[] = {
        {"Rex_Idle", RoleSuggestion{"idle"}},
        {"rex_idle_02", RoleSuggestion{"idle"}},
        {"Rex_Walk_Left", RoleSuggestion{"walk", -0.5, 0}},
        {"RexWalkRight", RoleSuggestion{"walk", 0.5, 0}},
        {"Trot", RoleSuggestion{"trot"}},
        {"Running", RoleSuggestion{"run"}},
        {"Swim", RoleSuggestion{"swim"}},
        {"Swim_Up", RoleSuggestion{"swim", 0, 1}},
        {"Swim_Fast", RoleSuggestion{"swimFast"}},
        {"SwimFast_Down", RoleSuggestion{"swimFast", 0, -1}},
        {"swimfast", RoleSuggestion{"swimFast"}},
        {"Swim_Backwards", RoleSuggestion{"swimBack"}},
        {"Swim_Idle", RoleSuggestion{"swimIdle"}},
        {"Hit_Front", RoleSuggestion{"hit"}},
        {"Death", RoleSuggestion{"death"}},
        {"Death_Pose", RoleSuggestion{"deathPose"}},
        {"Sleep", RoleSuggestion{"rest"}},
        {"Eat", RoleSuggestion{"eat"}},
        {"Drinking", RoleSuggestion{"drink"}},
        {"Roar", RoleSuggestion{"call"}},
        {"Attack_Forward", RoleSuggestion{"attack", 0, 0}},
        {"Attack_Left", RoleSuggestion{"attack", -0.5, 0}},
        {"AttackRight", RoleSuggestion{"attack", 0.5, 0}},
        {"Attack_Left90", RoleSuggestion{"attack", -1, 0}},
        {"Bite_Right_90", RoleSuggestion{"attack", 1, 0}},
        {"Tail_Swipe_Hard_Left", RoleSuggestion{"attack", -1, 0}},
        // Two motions in one name, or none at all: no suggestion.
        {"Walk_To_Run", std::nullopt},
        {"Idle_Attack", std::nullopt},
        {"Take 001", std::nullopt},
        {"mixamo.com", std::nullopt},
        {"Rex", std::nullopt},
        // Words only count whole: "Rerun" and "Sweater" hold no run or eat.
        {"Rerun", std::nullopt},
        {"Sweater", std::nullopt},
    };
    for (const RoleCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<RoleSuggestion> got = suggestRole(c.name);
        ASSERT_EQ(got.has_value(), c.expected.has_value());
        if (!got) continue;
        EXPECT_EQ(got->role, c.expected->role);
        EXPECT_EQ(got->x, c.expected->x);
        EXPECT_EQ(got->y, c.expected->y);
    }
}

TEST(Naming, IdsFollowTheSpeciesNameRuleAndStayUnique) {
    const std::pair<const char*, const char*> cases[] = {
        {"Rex_AttackLeft90-v2", "rex_attack_left90_v2"},
        {"  Walk Cycle (final)  ", "walk_cycle_final"},
        {"_idle", "idle"},
        {"Ärger", "rger"},
        {"...", "anim"},
        {"", "anim"},
        {"a_very_long_animation_name_that_goes_on_and_on", "a_very_long_animation_name_that"},
        {"Supercalifragilisticexpialidociousness", "supercalifragilisticexpialidocio"},
    };
    auto followsRule = [](const std::string& id) {
        if (id.empty() || id.size() > 32 || id[0] == '_') return false;
        return std::all_of(id.begin(), id.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        });
    };
    for (const auto& [name, expected] : cases) {
        SCOPED_TRACE(name);
        std::string id = ruleId(name);
        EXPECT_EQ(id, expected);
        EXPECT_TRUE(followsRule(id));
    }

    std::set<std::string> taken;
    const std::string longId(32, 'w');
    EXPECT_EQ(uniqueId("walk", taken), "walk");
    EXPECT_EQ(uniqueId("walk", taken), "walk_2");
    EXPECT_EQ(uniqueId("walk", taken), "walk_3");
    EXPECT_EQ(uniqueId(longId, taken), longId);
    EXPECT_EQ(uniqueId(longId, taken), std::string(30, 'w') + "_2");
}

TEST(Naming, TextureTypeAndSlotComeFromCommonSuffixes) {
    struct Case {
        const char* stem;
        const char* type;
        const char* slot;
    };
    const Case cases[] = {
        {"T_Body_D", "diffuse", "Body"},
        {"T_Body_BaseColor", "diffuse", "Body"},
        {"body_base_color", "diffuse", "Body"},
        {"Rex_Head_Albedo", "diffuse", "RexHead"},
        {"T_Body_N", "normal", "Body"},
        {"Body_Normal", "normal", "Body"},
        {"T_Body_ORM", "rac", "Body"},
        {"T_Body_RAC", "rac", "Body"},
        {"T_Eyes_M", "mask", "Eyes"},
        {"T_Eyes_E", "emissive", "Eyes"},
        {"Teeth_Roughness", "roughness", "Teeth"},
        {"Skin", "", "Skin"},
        {"T_N", "normal", "Body"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stem);
        EXPECT_EQ(textureTypeFromName(c.stem), c.type);
        EXPECT_EQ(slotFromName(c.stem), c.slot);
    }
}

}  // namespace
}  // namespace assets
