// Sign-in through the real dispatcher, the real loopback listener and the fake service; the
// "browser" reads the address the tool opened and follows the service's redirect to the
// listener as a browser would.
#include "remote/sign_in.h"
#include "sign_in_fixture.h"

namespace remote {

namespace {

TEST_F(SignInTest, TheFailureTableAndSuccess) {
    struct Case {
        std::string name;
        json script;
        bool browse;
        std::uint32_t signInMs;
        int pageStatus;
        Notices notices;
        std::string storedSteamId;  // empty: nothing stored
        // A folder stands at the credentials file's name, so the sign-in cannot be stored.
        bool blocked = false;
    } cases[] = {
        {"success",
         json::object(),
         true,
         60000,
         200,
         {{false, "Sign in with Steam in your browser."}, {false, "Signed in as Test User."}},
         "76561190000000001"},
        {"no answer in time",
         json::object(),
         false,
         300,
         0,
         {{false, "Sign in with Steam in your browser."}, {true, "Sign in did not finish."}},
         ""},
        {"state mismatch, then the time runs out",
         {{"signIn", {{"state", "0000"}}}},
         true,
         1500,
         400,
         {{false, "Sign in with Steam in your browser."},
          {true, "The sign in answer did not match. Try again."}},
         ""},
        {"/api/me fails",
         {{"rules",
           {{{"path", "/api/me"}, {"status", 500}, {"json", {{"error", "Steam is down."}}}}}}},
         true,
         60000,
         200,
         {{false, "Sign in with Steam in your browser."}, {true, "Sign in failed: Steam is down."}},
         ""},
        {"empty name shows the Steam id",
         {{"user", {{"token", "test-token"}, {"name", ""}, {"steamId", "765"}}}},
         true,
         60000,
         200,
         {{false, "Sign in with Steam in your browser."}, {false, "Signed in as 765."}},
         "765"},
        {"Steam id from /api/me when the callback has none",
         {{"user", {{"token", "test-token"}, {"name", "N"}, {"steamId", ""}}},
          {"rules",
           {{{"path", "/api/me"},
             {"status", 200},
             {"json", {{"name", "N"}, {"steamId", "999"}}}}}}},
         true,
         60000,
         200,
         {{false, "Sign in with Steam in your browser."}, {false, "Signed in as N."}},
         "999"},
        {"the callback's Steam id wins",
         {{"rules",
           {{{"path", "/api/me"},
             {"status", 200},
             {"json", {{"name", "N"}, {"steamId", "999"}}}}}}},
         true,
         60000,
         200,
         {{false, "Sign in with Steam in your browser."}, {false, "Signed in as N."}},
         "76561190000000001"},
        {"a sign-in that cannot be stored is none",
         json::object(),
         true,
         60000,
         200,
         {{false, "Sign in with Steam in your browser."},
          {true, "Sign in failed: it could not be stored in build-auth.json."}},
         "",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(t.home / "opened.txt");
        ASSERT_TRUE(bridge::deleteCredentials());
        if (c.blocked)
            std::filesystem::create_directories(utf8Path(bridge::credentialsPath()) / "x");
        service.script(c.script);
        t.app.remoteTimings.signInMs = c.signInMs;
        t.send(cmd("buildLogin"));
        std::vector<json> first = t.take();
        ASSERT_FALSE(first.empty());
        EXPECT_EQ(first.front()["type"], "species");
        EXPECT_EQ(first.front()["build"]["signingIn"], true);
        // Waited for in every case, so no late opener writes into the next case's record.
        EXPECT_FALSE(awaitOpened().empty());
        if (c.browse) {
            Page page = browseSignIn();
            EXPECT_EQ(page.status, c.pageStatus);
            EXPECT_EQ(page.body, c.pageStatus == 200 ? kSignedInPage : kInvalidLinkPage);
        }
        std::vector<json> seen = untilIdle();
        EXPECT_EQ(notices(seen), c.notices);
        const json& species = lastSpecies(seen);
        ASSERT_TRUE(species.is_object());
        EXPECT_EQ(species["build"]["signingIn"], false);
        EXPECT_EQ(species["build"]["signedIn"], !c.storedSteamId.empty());
        EXPECT_FALSE(t.app.signInActive.load());
        if (c.blocked) std::filesystem::remove_all(utf8Path(bridge::credentialsPath()));
        if (c.storedSteamId.empty()) {
            EXPECT_FALSE(exists(bridge::credentialsPath()));
        } else {
            const json stored = json::parse(readText(bridge::credentialsPath()));
            EXPECT_EQ(stored["token"], "test-token");
            EXPECT_EQ(stored["steamId"], c.storedSteamId);
            EXPECT_EQ(species["build"]["steamId"], c.storedSteamId);
        }
    }
}

TEST_F(SignInTest, TwoLoginsOpenOneBrowserAndOneListener) {
    t.send(cmd("buildLogin"));
    t.send(cmd("buildLogin"));
    EXPECT_EQ(types(t.take()), std::vector<std::string>{"species"});
    Page page = browseSignIn();
    EXPECT_EQ(page.status, 200);
    untilIdle();
    EXPECT_EQ(opened().size(), 1u);
    // Once the first has ended, a new sign-in starts again.
    t.app.remoteTimings.signInMs = 200;
    t.send(cmd("buildLogin"));
    untilIdle();
    EXPECT_EQ(opened().size(), 2u);
}

// Requests that are not the answer get the failure page and change nothing, and a browser's
// spare connection that never sends does not keep the real answer out.
TEST_F(SignInTest, OtherRequestsAndSilentConnectionsDoNotStopTheSignIn) {
    t.send(cmd("buildLogin"));
    const std::string address = awaitOpened();
    const std::string port =
        address.substr(address.find("port=") + 5, address.find('&') - address.find("port=") - 5);
    const std::string base = "http://127.0.0.1:" + port;

    auto silent = std::make_unique<SilentConnection>(std::stoi(port));
    ASSERT_TRUE(silent->connected());

    Page icon = get(base + "/favicon.ico");
    EXPECT_EQ(icon.status, 400);
    EXPECT_EQ(icon.body, kInvalidLinkPage);
    Page noToken = get(base + "/callback?state=x&steamId=1");
    EXPECT_EQ(noToken.status, 400);
    Page redirect = get(address);
    Page answer = get(redirect.location);
    EXPECT_EQ(answer.status, 200);
    silent.reset();
    std::vector<json> seen = untilIdle();
    EXPECT_EQ(notices(seen).back(), (Notice{false, "Signed in as Test User."}));
}

TEST_F(SignInTest, LogoutDeletesTheFileAndSaysSoEvenWithoutOne) {
    for (bool stored : {true, false}) {
        if (stored) signIn();
        t.send(cmd("buildLogout"));
        std::vector<json> seen = t.take();
        ASSERT_EQ(types(seen), (std::vector<std::string>{"notice", "species"}));
        EXPECT_EQ(notices(seen), (Notices{{false, "Signed out of the build service."}}));
        EXPECT_EQ(seen[1]["build"]["signedIn"], false);
        EXPECT_FALSE(exists(bridge::credentialsPath()));
    }
}

// Something that cannot be deleted at the file's name (here a folder) leaves the owner told
// so, not signed out.
TEST_F(SignInTest, ASignInThatCannotBeDeletedIsNotReportedAsSignedOut) {
    std::filesystem::create_directories(utf8Path(bridge::credentialsPath()) / "x");
    t.send(cmd("buildLogout"));
    std::vector<json> seen = t.take();
    ASSERT_EQ(types(seen), (std::vector<std::string>{"notice", "species"}));
    EXPECT_EQ(notices(seen),
              (Notices{{true, "Could not sign out: build-auth.json could not be deleted."}}));
    std::filesystem::remove_all(utf8Path(bridge::credentialsPath()));
}

}  // namespace

}  // namespace remote
