#include "platform/dialogs.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/test_app.h"

using platform::ScriptedDialogs;
using Paths = std::vector<std::string>;

TEST(ScriptedDialogsTest, LinesAnswerDialogsInTurn) {
    ScriptedDialogs dialogs({"/srv/game", "/a/x.fbx|/b/y.fbx", "", "/second"});
    EXPECT_EQ(dialogs.pickFolder("Choose"), "/srv/game");
    EXPECT_EQ(dialogs.pickFiles("Add", {{"Models", {"*.fbx"}}}), (Paths{"/a/x.fbx", "/b/y.fbx"}));
    // An empty line cancels, and the next dialog takes the next line.
    EXPECT_EQ(dialogs.pickFolder("Choose"), std::nullopt);
    EXPECT_EQ(dialogs.pickFiles("Add", {}), (Paths{"/second"}));
    // After the last line every dialog is cancelled.
    EXPECT_EQ(dialogs.pickFolder("Choose"), std::nullopt);
    EXPECT_TRUE(dialogs.pickFiles("Add", {}).empty());
}

TEST(ScriptedDialogsTest, WithoutAScriptEverythingIsCancelled) {
    ScriptedDialogs dialogs;
    EXPECT_EQ(dialogs.pickFolder("Choose"), std::nullopt);
    EXPECT_TRUE(dialogs.pickFiles("Add", {}).empty());
}

TEST(ScriptedDialogsTest, EmptyPiecesBetweenBarsAreNotPaths) {
    ScriptedDialogs dialogs({"|/a||/b|", "|"});
    EXPECT_EQ(dialogs.pickFiles("Add", {}), (Paths{"/a", "/b"}));
    EXPECT_TRUE(dialogs.pickFiles("Add", {}).empty());
}

TEST(ScriptedDialogsTest, ScriptFilesWithEitherLineEnd) {
    TempDir dir;
    for (const std::string& end : {std::string("\n"), std::string("\r\n")}) {
        SCOPED_TRACE(end.size() == 1 ? "LF" : "CRLF");
        writeText(dir / "answers.txt", "/first" + end + end + "/p 1|/p 2" + end + "/last");
        auto dialogs = ScriptedDialogs::fromFile(dir / "answers.txt");
        ASSERT_TRUE(dialogs.has_value());
        EXPECT_EQ(dialogs->pickFolder("Choose"), "/first");
        EXPECT_EQ(dialogs->pickFolder("Choose"), std::nullopt);
        EXPECT_EQ(dialogs->pickFiles("Add", {}), (Paths{"/p 1", "/p 2"}));
        EXPECT_EQ(dialogs->pickFolder("Choose"), "/last");  // no line end after the last
        EXPECT_EQ(dialogs->pickFolder("Choose"), std::nullopt);
    }
}

TEST(ScriptedDialogsTest, UnreadableScriptIsReported) {
    TempDir dir;
    EXPECT_FALSE(ScriptedDialogs::fromFile(dir / "missing.txt").has_value());
    EXPECT_FALSE(ScriptedDialogs::fromFile(dir.path()).has_value());
    // An empty script is readable: it cancels everything.
    writeText(dir / "empty.txt", "");
    auto dialogs = ScriptedDialogs::fromFile(dir / "empty.txt");
    ASSERT_TRUE(dialogs.has_value());
    EXPECT_EQ(dialogs->pickFolder("Choose"), std::nullopt);
}
