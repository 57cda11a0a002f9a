// Sign-in through the real dispatcher, the real loopback listener and the fake service; the
// "browser" reads the address the tool opened and follows the service's redirect to the
// listener as a browser would.
#include <arpa/inet.h>
#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include "remote/sign_in.h"
#include "remote_fixture.h"

namespace {

struct Page {
    int status = 0;
    std::string body;
    std::string location;
};

// One GET of an http://host:port/target address, redirects not followed.
Page get(const std::string& url) {
    const std::string rest = url.substr(std::string("http://").size());
    const std::size_t slash = rest.find('/');
    const std::string authority = rest.substr(0, slash);
    const std::size_t colon = authority.rfind(':');
    httplib::Client client(authority.substr(0, colon), std::stoi(authority.substr(colon + 1)));
    client.set_read_timeout(10, 0);
    httplib::Result result = client.Get(rest.substr(slash));
    if (!result) return {};
    return {result->status, result->body, result->get_header_value("Location")};
}

class SignInTest : public RemoteTest {
  protected:
    // The addresses the tool has opened so far.
    std::vector<std::string> opened() {
        std::vector<std::string> lines;
        if (!exists(t.home / "opened.txt")) return lines;
        std::string text = readText(t.home / "opened.txt");
        for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos;
             at = end + 1)
            lines.push_back(text.substr(at, end - at));
        return lines;
    }

    std::string awaitOpened() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (opened().empty() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return opened().empty() ? std::string() : opened().front();
    }

    // What the browser shows after following the service's sign-in page.
    Page browseSignIn() {
        const std::string address = awaitOpened();
        EXPECT_TRUE(address.starts_with(service.url() + "/auth/steam?port=")) << address;
        Page redirect = get(address);
        EXPECT_EQ(redirect.status, 302);
        return get(redirect.location);
    }

    static const json& lastSpecies(const std::vector<json>& messages) {
        static const json none;
        for (auto m = messages.rbegin(); m != messages.rend(); ++m) {
            if ((*m)["type"] == "species") return *m;
        }
        return none;
    }
};

TEST_F(SignInTest, TheFailureTableAndSuccess) {
    struct Case {
        std::string name;
        json script;
        bool browse;
        std::uint32_t signInMs;
        int pageStatus;
        Notices notices;
        std::string storedSteamId;  // empty: nothing stored
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(t.home / "opened.txt");
        deleteCredentials();
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
        if (c.storedSteamId.empty()) {
            EXPECT_FALSE(exists(credentialsPath()));
        } else {
            const json stored = json::parse(readText(credentialsPath()));
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

    int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(std::stoi(port)));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(silent, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);

    Page icon = get(base + "/favicon.ico");
    EXPECT_EQ(icon.status, 400);
    EXPECT_EQ(icon.body, kInvalidLinkPage);
    Page noToken = get(base + "/callback?state=x&steamId=1");
    EXPECT_EQ(noToken.status, 400);
    Page redirect = get(address);
    Page answer = get(redirect.location);
    EXPECT_EQ(answer.status, 200);
    ::close(silent);
    std::vector<json> seen = untilIdle();
    EXPECT_EQ(notices(seen).back(), (Notice{false, "Signed in as Test User."}));
}

// With no descriptor left for a socket the listener cannot be opened; the sign-in ends at
// once with its notice and opens nothing.
TEST_F(SignInTest, NoLocalPortEndsTheSignIn) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizers' runtimes need descriptors of their own (their reports, starting the
    // worker's thread), so taking every one tests them rather than the sign-in.
    GTEST_SKIP() << "needs every file descriptor taken, which the sanitizers cannot run with";
#endif
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
    std::vector<int> held;
    rlimit tight = old;
    tight.rlim_cur = 256;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    for (int fd; (fd = ::open("/dev/null", O_RDONLY)) >= 0;)
        held.push_back(fd);
    t.send(cmd("buildLogin"));
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!t.app.workers.idle() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    for (int fd : held)
        ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &old);
    std::vector<json> seen = untilIdle();
    EXPECT_EQ(notices(seen), (Notices{{true, "Could not open a local port for the sign in."}}));
    EXPECT_EQ(seen.back()["type"], "species");
    EXPECT_EQ(seen.back()["build"]["signingIn"], false);
    EXPECT_TRUE(opened().empty());
}

TEST_F(SignInTest, LogoutDeletesTheFileAndSaysSoEvenWithoutOne) {
    for (bool stored : {true, false}) {
        if (stored) signIn();
        t.send(cmd("buildLogout"));
        std::vector<json> seen = t.take();
        ASSERT_EQ(types(seen), (std::vector<std::string>{"notice", "species"}));
        EXPECT_EQ(notices(seen), (Notices{{false, "Signed out of the build service."}}));
        EXPECT_EQ(seen[1]["build"]["signedIn"], false);
        EXPECT_FALSE(exists(credentialsPath()));
    }
}

}  // namespace
