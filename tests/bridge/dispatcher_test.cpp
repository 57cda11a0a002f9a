#include "bridge/dispatcher.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bridge/app.h"
#include "bridge/messages.h"
#include "support/test_app.h"

namespace bridge {

namespace {

// What the handlers saw: "handler|message" per call. Handlers are plain function pointers,
// so the record is shared; each test starts it afresh.
std::vector<std::string> calls;

void refresh(App&, const std::string& message) {
    calls.push_back("refresh|" + message);
}
void refreshLater(App&, const std::string& message) {
    calls.push_back("refreshLater|" + message);
}
void save(App& app, const std::string& message) {
    calls.push_back("save|" + message);
    sendNotice(app, "saved", false);
}
void failStd(App&, const std::string&) {
    throw std::runtime_error("disk on fire");
}
void failOther(App&, const std::string&) {
    throw 42;
}
void failBadText(App&, const std::string&) {
    throw std::runtime_error("bad \xFF bytes");
}

// "refresh" twice: only the first entry may run.
constexpr Command kCommands[] = {
    {"refresh", refresh},         {"save", save},
    {"failStd", failStd},         {"failOther", failOther},
    {"failBadText", failBadText}, {"refresh", refreshLater},
};

struct Dispatching : testing::Test {
    Dispatching() {
        calls.clear();
        app.diagnostics = &diagnostics;
    }
    Outbox outbox;
    platform::ScriptedDialogs dialogs;
    RecordingWindow window;
    App app{outbox, dialogs, window, kCommands};
    std::ostringstream diagnostics;

    // The diagnostic lines written so far, one entry each; the stream is emptied.
    std::vector<std::string> diagnosticLines() {
        std::vector<std::string> lines;
        std::istringstream in(diagnostics.str());
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        diagnostics.str("");
        return lines;
    }

    std::vector<nlohmann::json> posted() {
        std::vector<nlohmann::json> all;
        for (const std::string& text : outbox.takeAll())
            all.push_back(nlohmann::json::parse(text));
        return all;
    }
};

}  // namespace

TEST_F(Dispatching, RunsTheFirstEntryWithTheWholeMessage) {
    dispatchCommand(app, R"({"cmd":"refresh"})");
    dispatchCommand(app, R"({"cmd":"refresh","x":1})");
    EXPECT_EQ(calls, (std::vector<std::string>{R"(refresh|{"cmd":"refresh"})",
                                               R"(refresh|{"cmd":"refresh","x":1})"}));
    // The dispatcher posts nothing of its own; what a handler posts is all there is.
    EXPECT_TRUE(posted().empty());
    dispatchCommand(app, R"({"cmd":"save"})");
    auto messages = posted();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0]["text"], "saved");
}

TEST_F(Dispatching, UnknownOrMissingNamesRunAndPostNothing) {
    for (const char* message :
         {R"({"cmd":"Refresh"})", R"({"cmd":"refresh "})", R"({"cmd":"refres"})", R"({"cmd":""})",
          R"({"name":"refresh"})", "", "not json at all", R"(["refresh"])",
          // The page's error hook posts a JSON string; its quotes are escaped, so there
          // is no "cmd" key to find.
          R"("{\"cmd\":\"refresh\",\"message\":\"boom\"}")"}) {
        dispatchCommand(app, message);
    }
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(outbox.takeAll().empty());
}

TEST_F(Dispatching, AnUnknownNameIsReportedAsOneEscapedBoundedLine) {
    const std::string longName(100, 'x');
    // 63 ASCII bytes, then a two-byte character across the 64-byte cut: it goes whole.
    const std::string cutInCharacter = std::string(63, 'a') + "\xC3\xA9" + "tail";
    const struct {
        std::string message;
        std::string line;
    } cases[] = {
        {R"({"cmd":"Refresh"})", R"(forgeset-server-tool: ignored unknown command "Refresh")"},
        // A name that would end the line or forge another one stays on its own line.
        {"{\"cmd\":\"a\nforged\"}", R"(forgeset-server-tool: ignored unknown command "a\nforged")"},
        {"{\"cmd\":\"q\x1B[2J\"}", R"(forgeset-server-tool: ignored unknown command "q\u001b[2J")"},
        {R"({"cmd":")" + longName + R"("})",
         R"(forgeset-server-tool: ignored unknown command ")" + std::string(64, 'x') + R"("...)"},
        {R"({"cmd":")" + cutInCharacter + R"("})",
         R"(forgeset-server-tool: ignored unknown command ")" + std::string(63, 'a') + R"("...)"},
        {R"({"name":"refresh"})", "forgeset-server-tool: ignored a message without a command"},
        {R"("{\"cmd\":\"jsError\"}")", "forgeset-server-tool: ignored a message without a command"},
    };
    for (const auto& c : cases) {
        dispatchCommand(app, c.message);
        EXPECT_EQ(diagnosticLines(), std::vector<std::string>{c.line}) << c.message;
    }
    // Known commands, also failing ones, say nothing there.
    dispatchCommand(app, R"({"cmd":"refresh"})");
    dispatchCommand(app, R"({"cmd":"failStd"})");
    EXPECT_EQ(diagnosticLines(), std::vector<std::string>{});
    EXPECT_EQ(calls.size(), 1u);
}

TEST_F(Dispatching, RoutesByTheFirstCmdAnywhereInTheText) {
    // The first "cmd" is inside another member's value; it decides, as the readers say.
    dispatchCommand(app, R"({"note":"cmd","cmd":"save"})");
    dispatchCommand(app, R"({"x":{"cmd":"refresh"},"cmd":"save"})");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].substr(0, 5), "save|");
    EXPECT_EQ(calls[1].substr(0, 8), "refresh|");
}

TEST_F(Dispatching, HandlersSeeValidUtf8Only) {
    dispatchCommand(app, "{\"cmd\":\"refresh\",\"name\":\"a\xFF\x62\"}");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], "refresh|{\"cmd\":\"refresh\",\"name\":\"a\uFFFDb\"}");
}

TEST_F(Dispatching, AnExceptionBecomesOneErrorNotice) {
    dispatchCommand(app, R"({"cmd":"failStd"})");
    dispatchCommand(app, R"({"cmd":"failOther"})");
    dispatchCommand(app, R"({"cmd":"failBadText"})");
    auto messages = posted();
    ASSERT_EQ(messages.size(), 3u);
    for (const auto& message : messages) {
        EXPECT_EQ(message["type"], "notice");
        EXPECT_EQ(message["error"], true);
    }
    const std::string first = messages[0]["text"];
    EXPECT_NE(first.find("failStd"), std::string::npos) << first;
    EXPECT_NE(first.find("disk on fire"), std::string::npos) << first;
    const std::string second = messages[1]["text"];
    EXPECT_NE(second.find("failOther"), std::string::npos) << second;
    // The dispatcher keeps working afterwards.
    dispatchCommand(app, R"({"cmd":"refresh"})");
    EXPECT_EQ(calls.size(), 1u);
}

}  // namespace bridge
