#include "shell/commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "remote/commands.h"
#include "server/commands.h"
#include "shell/page_commands.h"
#include "species/commands.h"
#include "studio/commands.h"

namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The rows of the command table in docs/protocol.md: each `cmd` with its area, in order (the
// header's "Area" is no area).
std::vector<std::pair<std::string, std::string>> documentedCommands() {
    std::istringstream doc(readText(fs::path(FORGESET_SOURCE_DIR) / "docs" / "protocol.md"));
    const std::regex row(R"(^\| `(\w+)` \|[^|]*(?:\\\|[^|]*)*\| ([a-z]+) \|)");
    std::vector<std::pair<std::string, std::string>> rows;
    bool inCommands = false;
    for (std::string line; std::getline(doc, line);) {
        if (line.starts_with("## ")) inCommands = line == "## Commands";
        std::smatch m;
        if (inCommands && std::regex_search(line, m, row)) rows.emplace_back(m[1], m[2]);
    }
    return rows;
}

struct PageCommands {
    std::map<std::string, std::string> names;  // each command the page sends, and one file
    std::vector<std::string> unread;           // a use of `cmd` the scan cannot name
};

// Every command name the page's scripts send. They name a command as a literal
// (`cmd: 'saveCfg'`), compare with one (`obj.cmd === 'speciesRefresh'`) or hand one to a
// helper that sends it with the chosen species' name (`byName('openSpecies')`). Any other
// use of `cmd` would be a command the scan cannot see, so it is reported rather than
// skipped; only that helper's own two lines are known to build a command from a variable.
PageCommands pageCommands() {
    const fs::path ui = fs::path(FORGESET_SOURCE_DIR) / "ui";
    const std::regex named(
        R"(\bcmd\s*(?::|===)\s*['"](\w+)['"]|["']cmd["']\s*:\s*["'](\w+)["']|\bbyName\(\s*['"](\w+)['"]\s*\))");
    const std::regex builder(R"(\(cmd\) =>|\{ cmd, )");
    const std::regex anyUse(R"(\bcmd\b)");
    PageCommands found;
    for (auto it = fs::recursive_directory_iterator(ui); it != fs::recursive_directory_iterator();
         ++it) {
        if (it->is_directory() && it->path().filename() == "node_modules") {
            it.disable_recursion_pending();
            continue;
        }
        if (!it->is_regular_file() || it->path().extension() != ".js" ||
            it->path().filename() == "eslint.config.js")
            continue;
        const std::string file = it->path().lexically_relative(ui).generic_string();
        const std::string text = readText(it->path());
        for (std::sregex_iterator m(text.begin(), text.end(), named), end; m != end; ++m) {
            for (int group = 1; group <= 3; ++group)
                if ((*m)[group].matched) found.names.emplace((*m)[group].str(), file);
        }
        std::string rest = std::regex_replace(text, named, "");
        rest = std::regex_replace(rest, builder, "");
        for (std::sregex_iterator m(rest.begin(), rest.end(), anyUse), end; m != end; ++m) {
            const std::size_t at = static_cast<std::size_t>(m->position());
            const std::size_t from = at > 30 ? at - 30 : 0;
            found.unread.push_back(file + ": ..." + rest.substr(from, 60));
        }
    }
    return found;
}

TEST(CommandTableTest, HoldsEveryCommandOnceEachWithAHandler) {
    std::set<std::string> distinct;
    for (const bridge::Command& command : commandTable()) {
        EXPECT_NE(command.run, nullptr) << command.name;
        EXPECT_TRUE(distinct.emplace(command.name).second) << "twice: " << command.name;
    }
    EXPECT_GE(distinct.size(), 30u);
}

TEST(CommandTableTest, ProtocolPageListsTheTableInItsOrderWithEachCommandsArea) {
    const std::pair<std::string, std::span<const bridge::Command>> areas[] = {
        {"shell", shellCommands()},           {"server", server::serverCommands()},
        {"studio", studio::studioCommands()}, {"species", species::speciesCommands()},
        {"remote", remote::remoteCommands()},
    };
    std::map<std::string, std::string> areaOf;
    for (const auto& [area, rows] : areas)
        for (const bridge::Command& command : rows)
            areaOf.emplace(command.name, area);

    std::vector<std::pair<std::string, std::string>> table;
    for (const bridge::Command& command : commandTable())
        table.emplace_back(command.name, areaOf.count(std::string(command.name))
                                             ? areaOf.at(std::string(command.name))
                                             : "no area");
    EXPECT_EQ(documentedCommands(), table);
}

TEST(CommandTableTest, EveryCommandThePageSendsIsInTheTable) {
    const PageCommands page = pageCommands();
    EXPECT_EQ(page.unread, std::vector<std::string>{});
    std::set<std::string> table;
    for (const bridge::Command& command : commandTable())
        table.emplace(command.name);
    // A scan that finds nothing would pass everything below.
    EXPECT_GE(page.names.size(), 25u);
    for (const auto& [name, file] : page.names)
        EXPECT_TRUE(table.count(name)) << file << " sends " << name << ", which no area handles";
}

}  // namespace
