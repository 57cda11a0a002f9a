#include "server/templates.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace server {

namespace {

using Named = std::pair<const char*, std::string_view>;

const std::vector<Named>& crLfTemplates() {
    static const std::vector<Named> all = {
        {"ordinaryManifest", templates::ordinaryManifest},
        {"ordinaryServer", templates::ordinaryServer},
        {"ordinaryClient", templates::ordinaryClient},
        {"ordinaryUiPage", templates::ordinaryUiPage},
        {"skinsManifest", templates::skinsManifest},
        {"defaultSkinList", templates::defaultSkinList},
    };
    return all;
}

const std::vector<Named>& lfTemplates() {
    static const std::vector<Named> all = {
        {"skinsServer", templates::skinsServer},
        {"skinsClient", templates::skinsClient},
    };
    return all;
}

// Splits on "\n" and drops a trailing "\r" from each line, so line checks do not depend on
// which line end a template uses.
std::vector<std::string> linesOf(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string line(text.substr(start, end - start));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

bool hasLine(std::string_view text, const std::string& wanted) {
    for (const auto& line : linesOf(text)) {
        if (line == wanted) return true;
    }
    return false;
}

TEST(TemplatesTest, CrLfTemplatesUseCrLfEverywhereAndEndWithOne) {
    for (const auto& [name, text] : crLfTemplates()) {
        SCOPED_TRACE(name);
        ASSERT_GE(text.size(), 2u);
        EXPECT_TRUE(text.ends_with("\r\n"));
        EXPECT_FALSE(text.ends_with("\r\n\r\n"));
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n') {
                EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
            }
            if (text[i] == '\r') {
                EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "lone CR at " << i;
            }
        }
    }
}

TEST(TemplatesTest, SkinsScriptsUseLfOnlyAndEndWithOne) {
    for (const auto& [name, text] : lfTemplates()) {
        SCOPED_TRACE(name);
        EXPECT_EQ(text.find('\r'), std::string_view::npos);
        EXPECT_TRUE(text.ends_with("\n"));
        EXPECT_FALSE(text.ends_with("\n\n"));
    }
}

TEST(TemplatesTest, OrdinaryTemplatesCarryTheNamePlaceholder) {
    const auto manifest = linesOf(templates::ordinaryManifest);
    ASSERT_FALSE(manifest.empty());
    EXPECT_EQ(manifest.front(), "name \"%NAME%\"");

    const auto client = linesOf(templates::ordinaryClient);
    ASSERT_GE(client.size(), 2u);
    EXPECT_EQ(client[1], "  print(\"%NAME% client loaded\")");

    EXPECT_EQ(templates::ordinaryUiPage,
              "<!doctype html><meta charset=\"utf-8\"><title>%NAME%</title>\r\n");

    // The server script has nothing to name; a stray placeholder would leak into player chat.
    EXPECT_EQ(templates::ordinaryServer.find("%NAME%"), std::string_view::npos);
}

TEST(TemplatesTest, SkinsTemplatesAreWrittenAsTheyStand) {
    for (auto text : {templates::skinsManifest, templates::skinsServer, templates::skinsClient,
                      templates::defaultSkinList}) {
        EXPECT_EQ(text.find("%NAME%"), std::string_view::npos);
    }
}

TEST(TemplatesTest, DistinctiveLinesSurviveExactly) {
    // Lines where a lost backslash, quote or percent sign would silently break the Lua.
    EXPECT_TRUE(hasLine(templates::skinsServer,
                        "  for steamId, name in text:gmatch('\"(%d+)\"%s*:%s*\"([%w_%-]+)\"') do"));
    EXPECT_TRUE(hasLine(templates::skinsServer,
                        "    parts[#parts + 1] = string.format('\"%s\":\"%s\"', steamId, name)"));
    EXPECT_TRUE(hasLine(templates::skinsServer, "end, true)"));
    EXPECT_TRUE(hasLine(templates::skinsServer,
                        "      names[#names + 1] = name .. (skin.species and (\" (\" .. "
                        "skin.species .. \")\") or \"\")"));
    EXPECT_TRUE(hasLine(templates::skinsClient,
                        "      if p.type == \"material\" and p.name == \"M_MasterSkin_Dinosaur\" "
                        "then"));
    EXPECT_TRUE(hasLine(templates::skinsManifest, "server \"skins.lua\""));
    EXPECT_TRUE(hasLine(templates::defaultSkinList, "    body = { 0.0, 4.0, 4.0 },"));
    EXPECT_TRUE(hasLine(templates::defaultSkinList, "    eyes = \"#FF3030\","));
}

TEST(TemplatesTest, TextsStartWithTheirFirstLineAndKeepBlankLines) {
    EXPECT_TRUE(templates::ordinaryManifest.starts_with("name "));
    EXPECT_TRUE(templates::skinsServer.starts_with("local SAVE_PATH = "));
    EXPECT_TRUE(templates::skinsClient.starts_with("local textures = {}\n"));
    EXPECT_TRUE(templates::defaultSkinList.starts_with("Skins = {\r\n"));
    EXPECT_TRUE(templates::defaultSkinList.ends_with("  },\r\n}\r\n"));
    // The blank line between the author and the script entries is part of the file.
    EXPECT_NE(templates::ordinaryManifest.find("author \"me\"\r\n\r\nserver"),
              std::string_view::npos);
    EXPECT_TRUE(templates::skinsServer.ends_with(" .. \" defined\")\n"));
}

}  // namespace

}  // namespace server
