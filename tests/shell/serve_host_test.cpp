// The browser host over real loopback connections: who may ask it for what, what it serves,
// and how messages travel both ways.
#include "shell/serve_host.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <regex>
#include <set>

#include "bridge/json_read.h"
#include "server/commands.h"
#include "shell/commands.h"
#include "shell/embedded_content.h"
#include "shell/serve_client.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using namespace std::chrono_literals;
using namespace serve_test;

// What the test commands saw, and on which thread.
struct Recorded {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> notes;
    std::vector<std::thread::id> threads;

    void clear() {
        std::lock_guard lock(mutex);
        notes.clear();
        threads.clear();
    }
    // Waits until at least `count` notes are there; returns them.
    std::vector<std::string> waitFor(std::size_t count, std::chrono::milliseconds limit = 20s) {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, limit, [&] { return notes.size() >= count; });
        return notes;
    }
};

Recorded& recorded() {
    static Recorded r;
    return r;
}

void noteCommand(bridge::App&, const std::string& message) {
    Recorded& r = recorded();
    {
        std::lock_guard lock(r.mutex);
        r.notes.push_back(bridge::jsonString(message, "n"));
        r.threads.push_back(std::this_thread::get_id());
    }
    r.changed.notify_all();
}

void echoCommand(bridge::App& app, const std::string& message) {
    app.outbox.post("{\"type\":\"echo\",\"n\":\"" + bridge::jsonString(message, "n") + "\"}");
}

void closeCommand(bridge::App& app, const std::string&) {
    app.window.close();
}

// As init does when server-root.txt has gone.
void forgetRootCommand(bridge::App& app, const std::string&) {
    app.serverRoot.set("");
}

const bridge::Command kTestCommands[] = {
    {"note", noteCommand},
    {"echo", echoCommand},
    {"winClose", closeCommand},
    {"pickFolder", server::command::pickFolder},
    {"forgetRoot", forgetRootCommand},
};

std::string note(const std::string& n) {
    return "{\"cmd\":\"note\",\"n\":\"" + n + "\"}";
}

class ServeHostTest : public ::testing::Test {
  protected:
    ServeHostTest() { recorded().clear(); }
};

// ---------------------------------------------------------------------------- the token

using ServeToken = ServeHostTest;

TEST_F(ServeToken, RequestsWithoutTheTokenAreRefused) {
    HostUnderTest h(kTestCommands);
    writeText(h.assets() + "/x.png", "PNG");
    for (std::string target : {"/", "/index.html", "/app.js", "/assets/x.png", "/species/x.png",
                               "/_host/events", "/missing", "/?tok=1"}) {
        Reply reply = roundTrip(h.port(), requestText("GET", target, {h.hostHeader()}));
        EXPECT_EQ(reply.status, 403) << target;
        EXPECT_EQ(reply.body.find("<html"), std::string::npos) << target;
        EXPECT_EQ(reply.body.find("PNG"), std::string::npos) << target;
        EXPECT_EQ(reply.count("Set-Cookie"), 0u) << target;
    }
    Reply post = roundTrip(
        h.port(), requestText("POST", "/_host/command",
                              {h.hostHeader(), h.originHeader(), "Content-Type: application/json"},
                              note("without")));
    EXPECT_EQ(post.status, 403);
    EXPECT_EQ(h.post(note("with")).status, 204);
    EXPECT_EQ(recorded().waitFor(1), std::vector<std::string>{"with"});
}

TEST_F(ServeToken, AWrongTokenIsRefused) {
    HostUnderTest h(kTestCommands);
    const std::string& token = h.host->token();
    std::string oneOff = token;
    oneOff.back() = oneOff.back() == '0' ? '1' : '0';
    for (std::string guess :
         {std::string("wrong"), oneOff, token.substr(0, 31), token + "0", std::string()}) {
        Reply reply = roundTrip(h.port(), requestText("GET", "/?token=" + guess, {h.hostHeader()}));
        EXPECT_EQ(reply.status, 403) << guess;
        EXPECT_EQ(reply.count("Set-Cookie"), 0u) << guess;
        EXPECT_EQ(reply.count("Location"), 0u) << guess;
        std::string cookie = "Cookie: forgeset_token_" + std::to_string(h.port()) + "=" + guess;
        reply = roundTrip(h.port(), requestText("GET", "/app.js", {h.hostHeader(), cookie}));
        EXPECT_EQ(reply.status, 403) << guess;
    }
    // The right token under the cookie name of another port is somebody else's cookie.
    std::string otherPort = "Cookie: forgeset_token_" + std::to_string(h.port() + 1) + "=" + token;
    EXPECT_EQ(
        roundTrip(h.port(), requestText("GET", "/app.js", {h.hostHeader(), otherPort})).status,
        403);
    // A good cookie does not make a wrong token in the address right.
    EXPECT_EQ(roundTrip(h.port(), requestText("GET", "/?token=wrong", h.page())).status, 403);
}

TEST_F(ServeToken, TheRightTokenSetsTheCookieAndMovesToWhereOnlyThePageSeesIt) {
    HostUnderTest h(kTestCommands);
    const std::string& token = h.host->token();
    Reply reply = roundTrip(h.port(), requestText("GET", "/?token=" + token, {h.hostHeader()}));
    EXPECT_EQ(reply.status, 303);
    EXPECT_EQ(reply.header("Location"), "http://" + h.authority() + "/#token=" + token);
    // The cookie is not the token: every port of 127.0.0.1 receives it.
    EXPECT_NE(h.host->sessionCookie(), token);
    EXPECT_EQ(reply.header("Set-Cookie"), "forgeset_token_" + std::to_string(h.port()) + "=" +
                                              h.host->sessionCookie() +
                                              "; Path=/; HttpOnly; SameSite=Strict");
    EXPECT_EQ(reply.header("Cache-Control"), "no-store");

    reply = roundTrip(
        h.port(), requestText("GET", "/index.html?x=1&token=" + token + "&y=2", {h.hostHeader()}));
    EXPECT_EQ(reply.status, 303);
    EXPECT_EQ(reply.header("Location"),
              "http://" + h.authority() + "/index.html?x=1&y=2#token=" + token);

    // The cookie as the browser sends it back opens the page's files.
    std::string setCookie = reply.header("Set-Cookie");
    std::string cookie = "Cookie: " + setCookie.substr(0, setCookie.find(';'));
    reply = roundTrip(h.port(), requestText("GET", "/", {h.hostHeader(), cookie}));
    EXPECT_EQ(reply.status, 200);
    EXPECT_NE(reply.body.find("<html"), std::string::npos);
    EXPECT_EQ(reply.body.find(token), std::string::npos) << "the page must not hand out the token";
    reply = roundTrip(h.port(), requestText("GET", "/app.js",
                                            {h.hostHeader(), "Cookie: a=b; " + cookie.substr(8)}));
    EXPECT_EQ(reply.status, 200);
}

TEST_F(ServeToken, TheRedirectNeverLeavesThisHost) {
    HostUnderTest h(kTestCommands);
    Reply reply = roundTrip(
        h.port(),
        requestText("GET", "//evil.example/x?token=" + h.host->token(), {h.hostHeader()}));
    EXPECT_EQ(reply.status, 303);
    EXPECT_EQ(reply.header("Location"),
              "http://" + h.authority() + "//evil.example/x#token=" + h.host->token());
}

TEST_F(ServeToken, EachRunHasAFreshTokenInTheAddressToOpen) {
    HostUnderTest first(kTestCommands);
    HostUnderTest second(kTestCommands);
    std::smatch match;
    std::string url = first.host->url();
    ASSERT_TRUE(std::regex_match(url, match,
                                 std::regex(R"(http://127\.0\.0\.1:(\d+)/\?token=([0-9a-f]{32}))")))
        << url;
    EXPECT_EQ(match[1], std::to_string(first.port()));
    EXPECT_EQ(match[2], first.host->token());
    EXPECT_NE(first.host->token(), second.host->token());
    // One run's cookie opens nothing on the other.
    std::string cookie = "Cookie: forgeset_token_" + std::to_string(second.port()) + "=" +
                         first.host->sessionCookie();
    EXPECT_EQ(
        roundTrip(second.port(), requestText("GET", "/", {second.hostHeader(), cookie})).status,
        403);
}

TEST_F(ServeToken, CommandsAndTheStreamNeedTheTokenBesideTheCookie) {
    HostUnderTest h(kTestCommands);
    const std::string& token = h.host->token();
    const std::string jsonType = "Content-Type: application/json";
    struct Case {
        const char* name;
        std::string target;
        std::vector<std::string> headers;
    };
    // What another local web service learns from the owner's browser (the cookie), and what
    // a guess or an address adds to it, runs nothing.
    const std::vector<Case> refused = {
        {"cookie alone", "/_host/command", {h.cookieHeader()}},
        {"token in the address", "/_host/command?token=" + token, {h.cookieHeader()}},
        {"key in the address", "/_host/command?key=" + token, {h.cookieHeader()}},
        {"wrong key", "/_host/command", {h.cookieHeader(), "X-Forgeset-Token: " + token + "0"}},
        {"two keys", "/_host/command", {h.cookieHeader(), h.keyHeader(), "X-Forgeset-Token: x"}},
        {"key without cookie", "/_host/command", {h.keyHeader()}},
        {"token as cookie",
         "/_host/command",
         {"Cookie: forgeset_token_" + std::to_string(h.port()) + "=" + token, h.keyHeader()}},
    };
    for (Case c : refused) {
        c.headers.insert(c.headers.end(), {h.hostHeader(), h.originHeader(), jsonType});
        EXPECT_EQ(
            roundTrip(h.port(), requestText("POST", c.target, c.headers, note(c.name))).status, 403)
            << c.name;
    }
    EXPECT_EQ(h.post(note("with-both")).status, 204);
    EXPECT_EQ(recorded().waitFor(1), std::vector<std::string>{"with-both"});
    // Nor may the cookie alone bring a body, which would be read into memory whole.
    auto getWithBody = [&](const std::string& body) {
        std::string request = requestText("GET", "/index.html", {h.hostHeader(), h.cookieHeader()});
        request.insert(request.find("\r\n") + 2,
                       "Content-Length: " + std::to_string(body.size()) + "\r\n");
        return roundTrip(h.port(), request + body).status;
    };
    EXPECT_EQ(getWithBody(std::string(1000, 'x')), 403);
    EXPECT_EQ(getWithBody(""), 200);

    EventReader cookieOnly(h.port(), {h.hostHeader(), h.cookieHeader()});
    EXPECT_EQ(cookieOnly.reply().status, 403);
    EventReader wrongKey(h.port(), {h.hostHeader(), h.cookieHeader()}, "/_host/events?key=x");
    EXPECT_EQ(wrongKey.reply().status, 403);
    // An event source cannot set headers: the page shows the token in the query.
    EventReader page(h.port(), {h.hostHeader(), h.cookieHeader()}, "/_host/events?key=" + token);
    EXPECT_TRUE(page.connected());
}

// ----------------------------------------------------------------------- host and origin

using ServeHostHeader = ServeHostTest;

TEST_F(ServeHostHeader, OnlyTheLoopbackAddressWithThePortIsServed) {
    HostUnderTest h(kTestCommands);
    std::string port = std::to_string(h.port());
    std::string cookie = h.cookieHeader();
    std::vector<std::vector<std::string>> wrong = {
        {"Host: localhost:" + port, cookie},
        {"Host: LOCALHOST:" + port, cookie},
        {"Host: localhost", cookie},
        {"Host: 127.0.0.1", cookie},
        {"Host: 127.0.0.1:" + std::to_string(h.port() + 1), cookie},
        {"Host: evil.example:" + port, cookie},
        {"Host: evil.example", cookie},
        {"Host: [::1]:" + port, cookie},
        {cookie},
        {h.hostHeader(), "Host: evil.example", cookie},
        {h.hostHeader(), h.hostHeader(), cookie},
    };
    for (const auto& headers : wrong) {
        Reply reply = roundTrip(h.port(), requestText("GET", "/", headers));
        EXPECT_EQ(reply.status, 403) << headers[0];
        EXPECT_EQ(reply.body.find("<html"), std::string::npos) << headers[0];
    }
    EXPECT_EQ(roundTrip(h.port(), requestText("GET", "/", {h.hostHeader(), cookie})).status, 200);

    // The cookie is not handed out under a foreign name either.
    Reply reply = roundTrip(
        h.port(), requestText("GET", "/?token=" + h.host->token(), {"Host: localhost:" + port}));
    EXPECT_EQ(reply.status, 403);
    EXPECT_EQ(reply.count("Set-Cookie"), 0u);

    // Nor are commands taken.
    reply = roundTrip(h.port(), requestText("POST", "/_host/command",
                                            {"Host: localhost:" + port, cookie, h.originHeader(),
                                             "Content-Type: application/json"},
                                            note("rebound")));
    EXPECT_EQ(reply.status, 403);
    EXPECT_EQ(h.post(note("direct")).status, 204);
    EXPECT_EQ(recorded().waitFor(1), std::vector<std::string>{"direct"});
}

TEST_F(ServeHostHeader, ListensOnTheLoopbackAddressOnly) {
    // On this machine another loopback address must be reachable when something listens on
    // all addresses, or the check below proves nothing.
    int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    socklen_t size = sizeof any;
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    ASSERT_EQ(::listen(probe, 1), 0);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&any), &size);
    int control = connectTo(ntohs(any.sin_port), "127.0.0.2");
    ::close(probe);
    if (control < 0) GTEST_SKIP() << "127.0.0.2 is not reachable here";
    ::close(control);

    HostUnderTest h(kTestCommands);
    int other = connectTo(h.port(), "127.0.0.2");
    EXPECT_LT(other, 0);
    if (other >= 0) ::close(other);
    int loopback = connectTo(h.port(), "127.0.0.1");
    EXPECT_GE(loopback, 0);
    if (loopback >= 0) ::close(loopback);
}

using ServeOrigin = ServeHostTest;

TEST_F(ServeOrigin, CommandsMustComeFromThePageItself) {
    HostUnderTest h(kTestCommands);
    std::string port = std::to_string(h.port());
    std::string jsonType = "Content-Type: application/json";
    std::vector<std::pair<std::string, std::vector<std::string>>> refused = {
        {"no-origin", {jsonType}},
        {"other-site", {"Origin: http://evil.example", jsonType}},
        {"localhost", {"Origin: http://localhost:" + port, jsonType}},
        {"null", {"Origin: null", jsonType}},
        {"other-port", {"Origin: http://127.0.0.1:" + std::to_string(h.port() + 1), jsonType}},
        {"https", {"Origin: https://127.0.0.1:" + port, jsonType}},
        {"two-origins", {h.originHeader(), "Origin: http://evil.example", jsonType}},
        {"plain-text", {h.originHeader(), "Content-Type: text/plain"}},
        {"form", {h.originHeader(), "Content-Type: application/x-www-form-urlencoded"}},
        {"multipart", {h.originHeader(), "Content-Type: multipart/form-data; boundary=x"}},
        {"no-type", {h.originHeader()}},
    };
    for (auto& [name, headers] : refused) {
        headers.push_back(h.hostHeader());
        headers.push_back(h.cookieHeader());
        headers.push_back(h.keyHeader());
        Reply reply =
            roundTrip(h.port(), requestText("POST", "/_host/command", headers, note(name)));
        EXPECT_EQ(reply.status, 403) << name;
    }
    Reply reply = roundTrip(
        h.port(), requestText("POST", "/_host/command",
                              {h.hostHeader(), h.cookieHeader(), h.keyHeader(), h.originHeader(),
                               "Content-Type: application/json; charset=UTF-8"},
                              note("same-origin")));
    EXPECT_EQ(reply.status, 204);
    EXPECT_EQ(recorded().waitFor(1), std::vector<std::string>{"same-origin"});
}

// ------------------------------------------------------------------------------ commands

using ServeCommands = ServeHostTest;

TEST_F(ServeCommands, RunOneAtATimeInArrivalOrderOnTheHostsThread) {
    HostUnderTest h(kTestCommands);
    constexpr int kClients = 4, kEach = 50;
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            for (int i = 0; i < kEach; ++i)
                EXPECT_EQ(h.post(note(std::to_string(c) + ":" + std::to_string(i))).status, 204);
        });
    }
    for (auto& client : clients)
        client.join();
    std::vector<std::string> notes = recorded().waitFor(kClients * kEach);
    ASSERT_EQ(notes.size(), static_cast<std::size_t>(kClients * kEach));
    std::vector<int> next(kClients, 0);
    for (const std::string& n : notes) {
        int c = std::stoi(n.substr(0, n.find(':')));
        EXPECT_EQ(std::stoi(n.substr(n.find(':') + 1)), next[c]++) << n;
    }
    std::lock_guard lock(recorded().mutex);
    for (std::thread::id id : recorded().threads)
        EXPECT_EQ(id, h.runnerId);
}

TEST_F(ServeCommands, TwoHundredTogglesInARowLeaveTheConfigOfInOrderApplication) {
    HostUnderTest h(commandTable());
    writeText(h.root() + "/server.cfg", "sv_hostname Test\n");
    std::vector<std::string> expected;
    for (int i = 0; i < 200; ++i) {
        bool enable = i % 4 != 3;
        std::string name = "r" + std::to_string(enable ? i : i - 2);
        ASSERT_EQ(h.post("{\"cmd\":\"toggleResource\",\"name\":\"" + name +
                         "\",\"enabled\":" + (enable ? "true" : "false") + "}")
                      .status,
                  204);
        auto at = std::find(expected.begin(), expected.end(), name);
        if (enable && at == expected.end()) expected.push_back(name);
        if (!enable && at != expected.end()) expected.erase(at);
    }
    std::string want = "sv_hostname Test\n";
    for (const std::string& name : expected)
        want += "load " + name + "\n";
    auto deadline = Clock::now() + 20s;
    std::string have;
    while (Clock::now() < deadline) {
        have = readText(h.root() + "/server.cfg");
        // The file keeps the line ends of the server's own platform.
        std::erase(have, '\r');
        if (have == want) break;
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(have, want);
}

// --------------------------------------------------------------------------------- files

class ServeFolders : public ServeHostTest {
  protected:
    // The assets folder with a model, a texture, a folder and links in and out; a secret
    // beside it that no request may read.
    static void fillAssets(const HostUnderTest& h) {
        fs::create_directories(h.assets() + "/models");
        fs::create_directories(h.assets() + "/sub");
        writeText(h.assets() + "/models/wolf.glb", "GLB");
        writeText(h.assets() + "/tex.png", "PNG");
        writeText(h.assets() + "/my file.json", "{}");
        writeText(h.assets() + "/sub/inner.png", "INNER");
        writeText(h.appData() + "/secret.txt", "SECRET");
        fs::create_symlink(h.appData() + "/secret.txt", h.assets() + "/out.png");
        fs::create_directory_symlink(h.appData(), h.assets() + "/outdir");
        fs::create_symlink("models/wolf.glb", h.assets() + "/alias.glb");
    }
};

TEST_F(ServeFolders, AssetsAreServedWithTheirType) {
    HostUnderTest h(kTestCommands);
    fillAssets(h);
    Reply reply = h.get("/assets/models/wolf.glb");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "GLB");
    EXPECT_EQ(reply.header("Content-Type"), "model/gltf-binary");
    EXPECT_EQ(reply.header("Cache-Control"), "no-cache");
    EXPECT_EQ(reply.header("X-Content-Type-Options"), "nosniff");
    // Opened as a document, a folder file runs sandboxed, away from the page's origin.
    EXPECT_EQ(reply.header("Content-Security-Policy"), "sandbox; default-src 'none'");

    reply = h.get("/assets/tex.png");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.header("Content-Type"), "image/png");
    reply = h.get("/assets/my%20file.json");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.header("Content-Type"), "application/json");
    reply = h.get("/assets/sub/inner.png?v=3");
    EXPECT_EQ(reply.body, "INNER");
    // A link that stays inside the folder is fine.
    reply = h.get("/assets/alias.glb");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "GLB");
}

TEST_F(ServeFolders, NoPathLeadsOutOfTheAssetsFolder) {
    HostUnderTest h(kTestCommands);
    fillAssets(h);
    for (std::string target : {
             "/assets/../secret.txt",
             "/assets/%2e%2e/secret.txt",
             "/assets/%2E%2E/secret.txt",
             "/assets/.%2e/secret.txt",
             "/assets/..%2fsecret.txt",
             "/assets/..%2Fsecret.txt",
             "/assets/%2e%2e%2fsecret.txt",
             "/assets/..%5csecret.txt",
             "/assets/..\\secret.txt",
             "/assets/models/../../secret.txt",
             "/assets/models/%2e%2e/%2e%2e/secret.txt",
             "/assets/%2fsecret.txt",
             "/assets//secret.txt",
             "/assets/out.png",
             "/assets/outdir/secret.txt",
         }) {
        Reply reply = h.get(target);
        EXPECT_TRUE(reply.status == 403 || reply.status == 404) << target << " " << reply.status;
        EXPECT_EQ(reply.body.find("SECRET"), std::string::npos) << target;
    }
}

TEST_F(ServeFolders, FoldersAndOddNamesAreNotServed) {
    HostUnderTest h(kTestCommands);
    fillAssets(h);
    for (std::string target : {"/assets/sub", "/assets/sub/", "/assets/", "/assets/models",
                               "/assets/./tex.png", "/assets/tex.png%00.txt", "/assets/tex%2Epng",
                               "/assets/sub%2Finner.png", "/assets/missing.png"}) {
        Reply reply = h.get(target);
        EXPECT_TRUE(reply.status == 403 || reply.status == 404) << target << " " << reply.status;
        EXPECT_EQ(reply.body.find("INNER"), std::string::npos) << target;
        EXPECT_EQ(reply.body.find("PNG"), std::string::npos) << target;
    }
}

TEST_F(ServeFolders, SpeciesFilesComeFromTheServerFolderOnly) {
    HostUnderTest h(kTestCommands);
    fs::create_directories(h.root() + "/species/wolf");
    writeText(h.root() + "/species/wolf/wolf.fbx", "FBX");
    writeText(h.root() + "/species/wolf/species.json", "{\"name\":\"wolf\"}");
    writeText(h.root() + "/server.cfg", "rcon_password SECRET\n");
    fs::create_symlink(h.root() + "/server.cfg", h.root() + "/species/cfg.png");
    Reply reply = h.get("/species/wolf/wolf.fbx");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "FBX");
    EXPECT_EQ(reply.header("Content-Type"), "application/octet-stream");
    reply = h.get("/species/wolf/species.json");
    EXPECT_EQ(reply.header("Content-Type"), "application/json");
    for (std::string target : {"/species/../server.cfg", "/species/%2e%2e/server.cfg",
                               "/species/wolf/..%2f..%2fserver.cfg", "/species/..%5cserver.cfg",
                               "/species/cfg.png", "/species/wolf"}) {
        reply = h.get(target);
        EXPECT_TRUE(reply.status == 403 || reply.status == 404) << target << " " << reply.status;
        EXPECT_EQ(reply.body.find("SECRET"), std::string::npos) << target;
    }
}

TEST_F(ServeFolders, WithoutAServerFolderTheSpeciesPathServesNothing) {
    HostUnderTest h(kTestCommands);
    fs::create_directories(h.root() + "/species");
    writeText(h.root() + "/species/x.png", "X");
    EXPECT_EQ(h.get("/species/x.png").body, "X");
    ASSERT_EQ(h.post("{\"cmd\":\"forgetRoot\"}").status, 204);
    // The host follows the root after each command; the answer to the next one shows it.
    ASSERT_EQ(h.post(note("after")).status, 204);
    recorded().waitFor(1);
    EXPECT_EQ(h.get("/species/x.png").status, 404);
}

// ------------------------------------------------------------------------------ the page

using ServePage = ServeHostTest;

TEST_F(ServePage, EmbeddedFilesCarryTheirTypeAndNoCache) {
    HostUnderTest h(kTestCommands);
    Reply reply = h.get("/app.js");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.header("Content-Type"), "text/javascript");
    EXPECT_EQ(reply.header("Cache-Control"), "no-cache");
    EXPECT_EQ(reply.header("X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(reply.count("Content-Type"), 1u);
    EXPECT_EQ(reply.body, std::string(embeddedBytes(findRoute("/app.js"))));
    reply = h.get("/app.css");
    EXPECT_EQ(reply.header("Content-Type"), "text/css");
    EXPECT_EQ(reply.header("Cache-Control"), "no-cache");
    EXPECT_EQ(h.get("/APP.JS?v=2").body, std::string(embeddedBytes(findRoute("/app.js"))));
    reply = h.get("/addons/loaders/GLTFLoader.js");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.header("Content-Type"), "text/javascript");
}

TEST_F(ServePage, ThePageGetsTheShimBeforeItsFirstScriptUnderAPolicyWithItsNonce) {
    HostUnderTest h(kTestCommands);
    std::set<std::string> nonces;
    for (std::string target : {"/", "/index.html", "/?x=1"}) {
        Reply reply = h.get(target);
        ASSERT_EQ(reply.status, 200) << target;
        EXPECT_EQ(reply.header("Content-Type"), "text/html");
        EXPECT_EQ(reply.header("Cache-Control"), "no-cache");
        const std::string& page = reply.body;
        std::size_t firstScript = page.find("<script");
        ASSERT_NE(firstScript, std::string::npos);
        EXPECT_LT(page.find("window.chrome.webview ="), page.find("</script>", firstScript));
        EXPECT_LT(page.find("<head>"), firstScript);

        std::smatch match;
        std::string policy = reply.header("Content-Security-Policy");
        ASSERT_TRUE(std::regex_search(policy, match, std::regex("'nonce-([0-9a-f]{32})'")))
            << policy;
        std::string nonce = match[1];
        nonces.insert(nonce);
        std::size_t scripts = 0, withNonce = 0;
        for (std::size_t at = page.find("<script"); at != std::string::npos;
             at = page.find("<script", at + 1)) {
            ++scripts;
            std::string tag = "<script nonce=\"" + nonce + "\"";
            if (page.compare(at, tag.size(), tag) == 0) ++withNonce;
        }
        EXPECT_GT(scripts, 2u);
        EXPECT_EQ(withNonce, scripts);
        // The page itself is all there.
        EXPECT_NE(page.find("</html>"), std::string::npos);
    }
    EXPECT_EQ(nonces.size(), 3u) << "a nonce is fresh for every load";
}

TEST_F(ServePage, EveryAnswerKeepsThePageToItself) {
    HostUnderTest h(kTestCommands);
    writeText(h.assets() + "/x.png", "PNG");
    for (std::string target : {"/", "/app.js", "/assets/x.png", "/missing.js"}) {
        Reply reply = h.get(target);
        EXPECT_EQ(reply.header("X-Content-Type-Options"), "nosniff") << target;
        EXPECT_EQ(reply.header("X-Frame-Options"), "DENY") << target;
        EXPECT_EQ(reply.header("Referrer-Policy"), "no-referrer") << target;
        EXPECT_EQ(reply.header("Cross-Origin-Resource-Policy"), "same-origin") << target;
    }
    // So does a refusal.
    Reply reply = roundTrip(h.port(), requestText("GET", "/", {h.hostHeader()}));
    EXPECT_EQ(reply.header("X-Frame-Options"), "DENY");
}

TEST_F(ServePage, OnlyPathsAreAcceptedAsTargets) {
    HostUnderTest h(kTestCommands);
    for (std::string target :
         {"http://" + h.authority() + "/app.js", std::string("app.js"), std::string("*")}) {
        Reply reply = roundTrip(h.port(), requestText("GET", target, h.page()));
        EXPECT_NE(reply.status, 200) << target;
        EXPECT_EQ(reply.body.find("function"), std::string::npos) << target;
    }
}

TEST_F(ServePage, UnknownPathsAreNotFound) {
    HostUnderTest h(kTestCommands);
    for (std::string target : {"/missing.js", "/%61pp.js", "/app.js/", "/assets", "/species",
                               "/_host/eventsx", "/_host/command", "/favicon.ico"}) {
        EXPECT_EQ(h.get(target).status, 404) << target;
    }
    Reply reply =
        roundTrip(h.port(), requestText("POST", "/_host/other",
                                        {h.hostHeader(), h.cookieHeader(), h.keyHeader(),
                                         h.originHeader(), "Content-Type: application/json"},
                                        note("x")));
    EXPECT_EQ(reply.status, 404);
}

// ------------------------------------------------------------------------ the event stream

using ServeEvents = ServeHostTest;

TEST_F(ServeEvents, TheStreamIsAnUncachedEventStreamForThePageOnly) {
    HostUnderTest h(kTestCommands);
    EventReader stranger(h.port(), {h.hostHeader()});
    EXPECT_EQ(stranger.reply().status, 403);
    EventReader page(h.port(), h.page());
    ASSERT_TRUE(page.connected());
    EXPECT_EQ(page.reply().header("Content-Type"), "text/event-stream");
    EXPECT_EQ(page.reply().header("Cache-Control"), "no-cache");
    h.outbox.post("{\"type\":\"hello\"}");
    auto event = page.next();
    ASSERT_TRUE(event);
    EXPECT_EQ(event->type, "message");
    EXPECT_EQ(event->data, "{\"type\":\"hello\"}");
}

TEST_F(ServeEvents, MessagesAreDroppedWhileNoPageIsConnected) {
    HostUnderTest h(kTestCommands);
    for (int i = 0; i < 50; ++i)
        h.outbox.post("{\"type\":\"early\"}");
    // The writer takes them at once; this only leaves it ample time to drop them.
    std::this_thread::sleep_for(300ms);
    EventReader page(h.port(), h.page());
    ASSERT_TRUE(page.connected());
    h.outbox.post("{\"type\":\"late\"}");
    auto event = page.next();
    ASSERT_TRUE(event);
    EXPECT_EQ(event->data, "{\"type\":\"late\"}");
}

TEST_F(ServeEvents, TenThousandMessagesFromFourThreadsArriveInPostingOrder) {
    HostUnderTest h(kTestCommands);
    EventReader page(h.port(), h.page());
    ASSERT_TRUE(page.connected());
    constexpr int kThreads = 4, kEach = 2500;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                h.outbox.post("{\"type\":\"load\",\"thread\":\"" + std::to_string(t) +
                              "\",\"seq\":\"" + std::to_string(i) + "\"}");
            }
        });
    }
    for (auto& poster : posters)
        poster.join();
    std::vector<int> next(kThreads, 0);
    int received = 0;
    while (received < kThreads * kEach) {
        auto event = page.next();
        ASSERT_TRUE(event) << "after " << received << " messages";
        json message = json::parse(event->data);
        int t = std::stoi(message["thread"].get<std::string>());
        ASSERT_EQ(std::stoi(message["seq"].get<std::string>()), next[t]) << event->data;
        ++next[t];
        ++received;
    }
    EXPECT_EQ(next, std::vector<int>(kThreads, kEach));
}

TEST_F(ServeEvents, AMessageWithLineBreaksStaysOneEvent) {
    HostUnderTest h(kTestCommands);
    EventReader page(h.port(), h.page());
    ASSERT_TRUE(page.connected());
    h.outbox.post("{\"type\":\"skins\",\r\n\"text\":\"a\\nb\"}");
    auto event = page.next();
    ASSERT_TRUE(event);
    json message = json::parse(event->data);
    EXPECT_EQ(message["type"], "skins");
    EXPECT_EQ(message["text"], "a\nb");
}

TEST_F(ServeEvents, EveryConnectedPageGetsEveryMessage) {
    HostUnderTest h(kTestCommands);
    EventReader first(h.port(), h.page());
    EventReader second(h.port(), h.page());
    ASSERT_TRUE(first.connected() && second.connected());
    for (int i = 0; i < 3; ++i)
        h.outbox.post("{\"type\":\"m\",\"i\":" + std::to_string(i) + "}");
    for (EventReader* page : {&first, &second}) {
        for (int i = 0; i < 3; ++i) {
            auto event = page->next();
            ASSERT_TRUE(event);
            EXPECT_EQ(event->data, "{\"type\":\"m\",\"i\":" + std::to_string(i) + "}");
        }
    }
}

TEST_F(ServeEvents, AnswersToCommandsComeBackInCommandOrder) {
    HostUnderTest h(kTestCommands);
    EventReader page(h.port(), h.page());
    ASSERT_TRUE(page.connected());
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(h.post("{\"cmd\":\"echo\",\"n\":\"" + std::to_string(i) + "\"}").status, 204);
    for (int i = 0; i < 100; ++i) {
        auto event = page.next();
        ASSERT_TRUE(event);
        EXPECT_EQ(event->data, "{\"type\":\"echo\",\"n\":\"" + std::to_string(i) + "\"}");
    }
}

TEST_F(ServeEvents, AChangedServerFolderReloadsThePageAndMovesTheSpeciesFolder) {
    TempDir other;
    HostUnderTest h(kTestCommands, {other.path()});
    fs::create_directories(h.root() + "/species");
    fs::create_directories(other.path() + "/species");
    writeText(h.root() + "/species/old.png", "OLD");
    writeText(other.path() + "/species/new.png", "NEW");
    EXPECT_EQ(h.get("/species/old.png").body, "OLD");

    EventReader page(h.port(), h.page());
    ASSERT_TRUE(page.connected());
    ASSERT_EQ(h.post("{\"cmd\":\"pickFolder\"}").status, 204);
    auto event = page.next();
    ASSERT_TRUE(event);
    EXPECT_EQ(event->type, "reload");
    EXPECT_EQ(h.get("/species/new.png").body, "NEW");
    EXPECT_EQ(h.get("/species/old.png").status, 404);
}

TEST_F(ServeEvents, TheSameServerFolderAgainOnlyRefreshesTheState) {
    HostUnderTest h(kTestCommands, {"@root"});
    EventReader page(h.port(), h.page());
    ASSERT_TRUE(page.connected());
    ASSERT_EQ(h.post("{\"cmd\":\"pickFolder\"}").status, 204);
    auto event = page.next();
    ASSERT_TRUE(event);
    EXPECT_EQ(event->type, "message");
    EXPECT_EQ(json::parse(event->data)["type"], "state");
}

// ------------------------------------------------------------------------------- the end

using ServeClose = ServeHostTest;

TEST_F(ServeClose, WinCloseEndsTheHostAfterDeliveringWhatWasPosted) {
    HostUnderTest h(kTestCommands);
    EventReader page(h.port(), h.page());
    ASSERT_TRUE(page.connected());
    ASSERT_EQ(h.post("{\"cmd\":\"echo\",\"n\":\"last\"}").status, 204);
    ASSERT_EQ(h.post("{\"cmd\":\"winClose\"}").status, 204);
    ASSERT_TRUE(h.waitRunEnded(10s));
    auto event = page.next();
    ASSERT_TRUE(event);
    EXPECT_EQ(event->data, "{\"type\":\"echo\",\"n\":\"last\"}");
    EXPECT_TRUE(page.endsWithin(5s));
    // Nothing listens any more.
    EXPECT_EQ(h.get("/").status, 0);
}

// The port number of a socket bound to a free port and closed again.
int freePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

class ServeTool : public ::testing::Test {
  protected:
    std::string dataHome() const { return dir / "data"; }
    std::string errFile() const { return dir / "stderr.txt"; }
    TempDir dir;
};

TEST_F(ServeTool, PrintsOnlyTheAddressAndEndsWithZeroOnWinClose) {
    ServeProcess tool({"--serve"}, dataHome(), errFile());
    std::string line = tool.firstLine(20s);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match,
                                 std::regex(R"(http://127\.0\.0\.1:(\d+)/\?token=([0-9a-f]{32}))")))
        << line << "\n"
        << readText(errFile());
    int port = std::stoi(match[1]);
    std::string host = "Host: 127.0.0.1:" + match[1].str();
    Reply reply = roundTrip(port, requestText("GET", "/?token=" + match[2].str(), {host}));
    ASSERT_EQ(reply.status, 303);
    std::string setCookie = reply.header("Set-Cookie");
    std::string cookie = "Cookie: " + setCookie.substr(0, setCookie.find(';'));
    EXPECT_EQ(roundTrip(port, requestText("GET", "/", {host, cookie})).status, 200);
    reply = roundTrip(port, requestText("POST", "/_host/command",
                                        {host, cookie, "X-Forgeset-Token: " + match[2].str(),
                                         "Origin: http://127.0.0.1:" + match[1].str(),
                                         "Content-Type: application/json"},
                                        "{\"cmd\":\"winClose\"}"));
    EXPECT_EQ(reply.status, 204);
    EXPECT_EQ(tool.waitExit(20s), 0);
    EXPECT_EQ(tool.readOutput(5s), line + "\n");
}

TEST_F(ServeTool, TerminationAndInterruptEndItWithZero) {
    for (int number : {SIGTERM, SIGINT}) {
        ServeProcess tool({"--serve"}, dataHome(), errFile());
        ASSERT_FALSE(tool.firstLine(20s).empty()) << readText(errFile());
        tool.signal(number);
        EXPECT_EQ(tool.waitExit(20s), 0) << number;
    }
}

TEST_F(ServeTool, UsesTheGivenPortAndWillNotShareIt) {
    int port = freePort();
    ServeProcess first({"--serve", "--port", std::to_string(port)}, dataHome(), errFile());
    std::string line = first.firstLine(20s);
    EXPECT_EQ(line.rfind("http://127.0.0.1:" + std::to_string(port) + "/?token=", 0), 0u) << line;
    std::string secondErr = dir / "second.txt";
    ServeProcess second({"--serve", "--port", std::to_string(port)}, dataHome(), secondErr);
    EXPECT_EQ(second.waitExit(20s), 1);
    EXPECT_EQ(second.readOutput(1s), "");
    EXPECT_NE(readText(secondErr).find("cannot listen"), std::string::npos);
}

}  // namespace
