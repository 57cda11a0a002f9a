#include "bridge/messages.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "bridge/app.h"
#include "support/test_app.h"

namespace bridge {

namespace {

// An App with no commands: these messages need only the outbox.
struct Posting {
    Outbox outbox;
    platform::ScriptedDialogs dialogs;
    RecordingWindow window;
    App app{outbox, dialogs, window, {}};

    // The single posted message, checked to be JSON.
    std::string only() {
        std::vector<std::string> all = outbox.takeAll();
        EXPECT_EQ(all.size(), 1u);
        if (all.empty()) return {};
        EXPECT_TRUE(nlohmann::json::accept(all[0])) << all[0];
        return all[0];
    }
};

const std::string kAwkward = std::string("q\"b\\n\nc\x01t\tr\r/é\0z", 17);
const std::string kAwkwardEscaped = R"(q\"b\\n\nc\u0001t\tr\r/é\u0000z)";

}  // namespace

TEST(MessagesTest, NoticeHasItsMembersInOrder) {
    Posting p;
    sendNotice(p.app, "Signed out of the build service.", false);
    EXPECT_EQ(p.only(),
              R"({"type":"notice","error":false,"text":"Signed out of the build service."})");
    sendNotice(p.app, kAwkward, true);
    std::string text = p.only();
    EXPECT_EQ(text, R"({"type":"notice","error":true,"text":")" + kAwkwardEscaped + R"("})");
    // The page reads back exactly the text that was sent.
    EXPECT_EQ(nlohmann::json::parse(text)["text"], kAwkward);
}

TEST(MessagesTest, SpeciesLogAndRemoteHaveTheirMembersInOrder) {
    Posting p;
    sendSpeciesLog(p.app, p.app.serverRoot.path(), "Wolf", "line \"1\"");
    EXPECT_EQ(p.only(), R"({"type":"speciesLog","name":"Wolf","line":"line \"1\""})");
    sendSpeciesRemote(p.app, p.app.serverRoot.path(), "Wolf", "queued", "");
    EXPECT_EQ(p.only(), R"({"type":"speciesRemote","name":"Wolf","state":"queued","detail":""})");
    sendSpeciesRemote(p.app, p.app.serverRoot.path(), kAwkward, "s\n", kAwkward);
    std::string text = p.only();
    EXPECT_EQ(text, R"({"type":"speciesRemote","name":")" + kAwkwardEscaped +
                        R"(","state":"s\n","detail":")" + kAwkwardEscaped + R"("})");
}

TEST(MessagesTest, IllFormedTextStillGivesValidJson) {
    Posting p;
    sendSpeciesLog(p.app, p.app.serverRoot.path(), "bad\xC3", "line\xFF\xFE");
    auto message = nlohmann::json::parse(p.only());
    EXPECT_EQ(message["name"], "bad\uFFFD");
    EXPECT_EQ(message["line"], "line\uFFFD\uFFFD");
}

}  // namespace bridge
