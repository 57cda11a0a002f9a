// The desktop window with a real web view on a private X server: a small test page talks to
// the window exactly as the real page does, through window.chrome.webview.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/desktop.h"
#include "shell/embedded_content.h"
#include "shell/virtual_display.h"
#include "support/test_app.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

// The window with the page's own bridge script, or nothing and the reason in `error`.
std::unique_ptr<platform::DesktopWindow> createWindow(platform::DesktopSettings settings,
                                                      std::string* error) {
    settings.pageShim = std::string(embeddedBytes(findRoute("/host/desktop_shim.js")));
    auto created = platform::DesktopWindow::create(settings);
    if (!created) {
        *error = created.error().what;
        return nullptr;
    }
    return std::move(*created);
}

// The page probes the two folder hosts, says hello with what it found, echoes what the
// window sends and, when asked, reports which other messages it has seen.
constexpr char kTestPage[] = R"HTML(<!doctype html>
<meta charset="utf-8">
<body style="background:#203040">
<script>
  const wv = window.chrome.webview;
  const seen = [];
  wv.addEventListener('message', (event) => {
    const m = event.data;
    if (m.type === 'seq') wv.postMessage({ cmd: 'echo', i: m.i });
    else if (m.type === 'text') wv.postMessage({ cmd: 'text', text: m.text });
    else {
      seen.push(m.type);
      if (m.type === 'report') wv.postMessage({ cmd: 'report', seen: seen.join(',') });
    }
  });
  const ignored = () => {};
  wv.addEventListener('message', ignored);
  wv.removeEventListener('message', ignored);
  async function probe(url) {
    try {
      const response = await fetch(url);
      return response.ok ? '200:' + (await response.text()) : String(response.status);
    } catch (error) {
      return 'failed';
    }
  }
  (async () => {
    const urls = wv.hostUrls;
    const hello = {
      cmd: 'hello',
      assetsUrl: urls.assets,
      speciesUrl: urls.species,
      assets: await probe(urls.assets + 'a.txt'),
      species: await probe(urls.species + 'Wolf%20Pack/b.txt'),
      encodedSlash: await probe(urls.assets + '..%2Fsecret.txt'),
      dotDot: await probe(urls.assets + '%2e%2e/secret.txt'),
      linkOut: await probe(urls.assets + 'outside-link.txt'),
      folder: await probe(urls.assets + 'sub'),
      missing: await probe(urls.assets + 'none.txt'),
    };
    wv.postMessage('just text');
    wv.postMessage(hello);
  })();
</script>
)HTML";

constexpr int kEchoes = 300;
const std::string kAwkwardText =
    "quote \" backslash \\ line\nfeed tab\t sep\u2028ar\u2029 </script> \xC3\xBC \xF0\x9F\x98\x80";

class DesktopWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(display.name().empty()) << display.error();
        ::setenv("DISPLAY", display.name().c_str(), 1);
        ::unsetenv("WAYLAND_DISPLAY");
        ::setenv("GDK_BACKEND", "x11", 1);
        // No accessibility bus in a test.
        ::setenv("NO_AT_BRIDGE", "1", 1);
        ::setenv("XDG_DATA_HOME", (dir.path() + "/xdg-data").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (dir.path() + "/xdg-cache").c_str(), 1);

        fs::create_directories(assets() + "/sub");
        writeText(assets() + "/a.txt", "alpha");
        writeText(dir.path() + "/secret.txt", "secret");
        writeText(assets() + "/sub/c.txt", "c");
        fs::create_symlink("../secret.txt", assets() + "/outside-link.txt");
        fs::create_directories(dir.path() + "/root1/species/Wolf Pack");
        writeText(dir.path() + "/root1/species/Wolf Pack/b.txt", "beta");
        fs::create_directories(dir.path() + "/root2/species/Wolf Pack");
        writeText(dir.path() + "/root2/species/Wolf Pack/b.txt", "gamma");
        speciesFolder = dir.path() + "/root1/species";
    }

    std::string assets() const { return dir.path() + "/assets"; }

    platform::PageHooks hooks(std::function<void(const std::string&)> onMessage) {
        platform::PageHooks result;
        result.sources.embedded = [](std::string_view uri) -> std::optional<platform::PageFile> {
            if (platform::splitPageUri(uri).path != "/index.html") return std::nullopt;
            return platform::PageFile{kTestPage, "text/html"};
        };
        result.sources.assetsFolder = [this] { return assets(); };
        result.sources.speciesFolder = [this] { return speciesFolder; };
        result.onMessage = std::move(onMessage);
        return result;
    }

    // Ends the run after `seconds` should the page never finish; a test that hangs tells
    // nothing.
    void startWatchdog(platform::DesktopWindow& window, int seconds) {
        watchdog = std::thread([this, &window, seconds] {
            std::unique_lock<std::mutex> lock(mutex);
            if (!finishedCv.wait_for(lock, std::chrono::seconds(seconds),
                                     [&] { return finished; })) {
                timedOut = true;
                window.close();
            }
        });
    }
    void stopWatchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            finished = true;
        }
        finishedCv.notify_all();
        if (watchdog.joinable()) watchdog.join();
    }

    VirtualDisplay& display = VirtualDisplay::shared();
    TempDir dir;
    std::string speciesFolder;
    std::mutex mutex;
    std::condition_variable finishedCv;
    bool finished = false;
    bool timedOut = false;
    std::thread watchdog;
};

TEST_F(DesktopWindowTest, ThePageAndTheWindowTalkBothWaysAndReadOnlyTheirFolders) {
    ASSERT_TRUE(platform::desktopAvailable());
    platform::DesktopSettings settings;
    settings.title = "Test window";
    std::string error;
    auto window = createWindow(settings, &error);
    ASSERT_TRUE(window) << error;

    // Nobody is there yet to hear this one.
    window->postToPage(R"({"type":"early"})");

    const std::thread::id loopThread = std::this_thread::get_id();
    bool everyMessageOnTheLoop = true;
    std::vector<std::string> texts;
    std::vector<json> hellos;
    std::vector<int> echoes;
    std::string echoedText;
    std::vector<std::string> reports;
    std::thread poster;

    startWatchdog(*window, 60);
    window->run(hooks([&](const std::string& text) {
        if (std::this_thread::get_id() != loopThread) everyMessageOnTheLoop = false;
        texts.push_back(text);
        json message = json::parse(text, nullptr, false);
        if (!message.is_object()) return;
        const std::string cmd = message.value("cmd", "");
        if (cmd == "hello") {
            hellos.push_back(message);
            if (hellos.size() == 1) {
                // Workers post from their own threads; the page must see their order.
                poster = std::thread([&] {
                    for (int i = 0; i < kEchoes; ++i)
                        window->postToPage(R"({"type":"seq","i":)" + std::to_string(i) + "}");
                    window->postToPage(json{{"type", "text"}, {"text", kAwkwardText}}.dump());
                    window->postToPage(R"({"type":"report"})");
                });
            } else {
                window->postToPage(R"({"type":"report"})");
            }
        } else if (cmd == "echo") {
            echoes.push_back(message.value("i", -1));
        } else if (cmd == "text") {
            echoedText = message.value("text", "");
        } else if (cmd == "report") {
            reports.push_back(message.value("seen", ""));
            if (reports.size() == 1) {
                // As after a new server folder: the species host now shows the new one.
                speciesFolder = dir.path() + "/root2/species";
                window->reloadForNewRoot();
            } else {
                window->close();
            }
        }
    }));
    stopWatchdog();
    if (poster.joinable()) poster.join();

    ASSERT_FALSE(timedOut) << "the page did not finish; it sent " << texts.size() << " messages";
    EXPECT_TRUE(everyMessageOnTheLoop);

    ASSERT_EQ(hellos.size(), 2u);
    const json& hello = hellos[0];
    EXPECT_EQ(hello["assetsUrl"], "forgeset://assets.varraforgeset.invalid/");
    EXPECT_EQ(hello["speciesUrl"], "forgeset://species.varraforgeset.invalid/");
    EXPECT_EQ(hello["assets"], "200:alpha");
    EXPECT_EQ(hello["species"], "200:beta");
    EXPECT_EQ(hello["encodedSlash"], "403");
    // The web view resolves the dots before asking: what it asks for is not there.
    EXPECT_EQ(hello["dotDot"], "404");
    EXPECT_EQ(hello["linkOut"], "403");
    EXPECT_EQ(hello["folder"], "403");
    EXPECT_EQ(hello["missing"], "404");
    EXPECT_EQ(hellos[1]["species"], "200:gamma");

    // A string the page posts arrives as JSON text of a string, which names no command.
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "\"just text\""), 2);
    // The page's object arrives as its JSON text, members in the page's order.
    EXPECT_EQ(texts.back().rfind(R"({"cmd":"report")", 0), 0u) << texts.back();

    std::vector<int> expected(kEchoes);
    for (int i = 0; i < kEchoes; ++i)
        expected[i] = i;
    EXPECT_EQ(echoes, expected);
    EXPECT_EQ(echoedText, kAwkwardText);
    // The message posted before the page existed was dropped, not held back.
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0], "report");
    EXPECT_EQ(reports[1], "report");
}

TEST_F(DesktopWindowTest, CloseFromAnotherThreadEndsTheRun) {
    std::string error;
    auto window = createWindow(platform::DesktopSettings{}, &error);
    ASSERT_TRUE(window) << error;
    std::thread closer;
    startWatchdog(*window, 60);
    window->run(hooks([&](const std::string& text) {
        if (text.rfind(R"({"cmd":"hello")", 0) == 0 && !closer.joinable())
            closer = std::thread([&] { window->close(); });
    }));
    stopWatchdog();
    if (closer.joinable()) closer.join();
    EXPECT_FALSE(timedOut);
}

TEST(DesktopAvailable, NeedsADisplay) {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const std::optional<std::string> savedX11 =
        x11 ? std::optional<std::string>(x11) : std::nullopt;
    const std::optional<std::string> savedWayland =
        wayland ? std::optional<std::string>(wayland) : std::nullopt;
    ::setenv("DISPLAY", "", 1);
    ::unsetenv("WAYLAND_DISPLAY");
    EXPECT_FALSE(platform::desktopAvailable());
    ::unsetenv("DISPLAY");
    EXPECT_FALSE(platform::desktopAvailable());
    if (savedX11) ::setenv("DISPLAY", savedX11->c_str(), 1);
    if (savedWayland) ::setenv("WAYLAND_DISPLAY", savedWayland->c_str(), 1);
}

}  // namespace
