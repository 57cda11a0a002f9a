#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_app.h"

namespace {

TEST(PageCommandsTest, InitSendsStateThenStudioThenSpecies) {
    TestApp t;
    t.send(R"({"cmd":"init"})");
    EXPECT_EQ(types(t.take()), (std::vector<std::string>{"state", "studio", "species"}));
}

TEST(PageCommandsTest, TitleBarCommandsReachTheWindowAndAnswerNothing) {
    struct Case {
        std::string cmd;
        std::string call;
    };
    const std::vector<Case> cases = {
        {"winMin", "minimize"},
        {"winMax", "toggleMaximize"},
        {"winClose", "close"},
        {"dragWindow", "startMove"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cmd);
        TestApp t;
        t.send(R"({"cmd":")" + c.cmd + R"("})");
        EXPECT_EQ(t.window.calls, std::vector<std::string>{c.call});
        EXPECT_TRUE(t.takeRaw().empty());
    }
}

}  // namespace
