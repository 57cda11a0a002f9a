// The browser host over real loopback connections: commands in their order, the folders it
// serves files from, and the page itself.
#include "shell/serve_host_fixture.h"

namespace {

using namespace serve_host_test;

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

}  // namespace
