#pragma once
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/test_app.h"

namespace server {

// A server folder as the skins commands and the texture save find it, with the checks of what
// they answer: both write into resources/skins and answer the same way.
class SkinsResourceTest : public ::testing::Test {
  protected:
    using Json = nlohmann::json;
    using Notices = std::vector<std::pair<bool, std::string>>;

    void SetUp() override { t.app.serverRoot.set(t.root()); }

    // One notice followed by one state message; returns the state.
    Json expectNoticeThenState(bool error, const std::string& text) {
        auto messages = t.take();
        EXPECT_EQ(types(messages), (std::vector<std::string>{"notice", "state"}));
        EXPECT_EQ(notices(messages), (Notices{{error, text}}));
        return messages.size() == 2 ? messages[1] : Json::object();
    }

    void expectOnlyNotice(const std::string& text) {
        auto messages = t.take();
        EXPECT_EQ(types(messages), std::vector<std::string>{"notice"});
        EXPECT_EQ(notices(messages), (Notices{{true, text}}));
    }

    std::string skins(const std::string& tail) const {
        return t.root() + "/resources/skins/" + tail;
    }

    TestApp t;
};

}  // namespace server
