// The dialogs the page draws: a command thread asks and waits, the answer comes from another
// thread, and a page that is gone never leaves the asker waiting.
#include "shell/page_dialogs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "support/scoped_env.h"
#include "support/test_app.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// One page's stream, read message by message.
class Page {
  public:
    explicit Page(PageChannel& channel) : channel_(channel), stream(channel.connect()) {}

    // The next message, parsed; null when none came within `limit`.
    json next(std::chrono::milliseconds limit = 5000ms) {
        auto deadline = Clock::now() + limit;
        while (true) {
            std::size_t at = buffered_.find("data: ");
            std::size_t end = at == std::string::npos ? at : buffered_.find("\n\n", at);
            if (end != std::string::npos) {
                std::string data = buffered_.substr(at + 6, end - at - 6);
                buffered_.erase(0, end + 2);
                EXPECT_TRUE(json::accept(data)) << data;
                return json::parse(data, nullptr, false);
            }
            if (Clock::now() >= deadline) return nullptr;
            auto text = channel_.next(stream, 100ms);
            if (!text) return nullptr;
            buffered_ += *text;
        }
    }

    void leave() { channel_.disconnect(stream); }

  private:
    PageChannel& channel_;
    std::string buffered_;

  public:
    PageChannel::StreamPtr stream;
};

class PageDialogsTest : public ::testing::Test {
  protected:
    PageDialogsTest() : home_("HOME", dir / "home") {
        fs::create_directories(dir / "home");
        fs::create_directories(dir / "server");
        fs::create_directories(dir / "sounds");
        std::ofstream(dir / "sounds/roar.wav") << "RIFF";
        std::ofstream(dir / "sounds/step.ogg") << "OggS";
    }

    // Asks for a folder on a thread of its own, as the host's command thread does.
    std::future<std::optional<std::string>> askFolder() {
        return std::async(std::launch::async, [this] { return dialogs.pickFolder("Server"); });
    }

    TempDir dir;
    ScopedEnv home_;
    std::string root = dir / "server";
    PageChannel channel;
    PageDialogs dialogs{channel, [this] { return root; }};
};

TEST_F(PageDialogsTest, AFolderChosenInThePageIsTheAnswerAndThePagesHearTheEnd) {
    Page page(channel);
    auto asked = askFolder();
    json shown = page.next();
    ASSERT_EQ(shown["type"], "dialog");
    EXPECT_EQ(shown["kind"], "folder");
    EXPECT_EQ(shown["title"], "Server");
    EXPECT_EQ(shown["start"], root);
    EXPECT_EQ(shown["home"], dir / "home");
    EXPECT_EQ(shown["filters"], json::array());
    const std::uint64_t id = shown["id"];
    ASSERT_TRUE(dialogs.open(id));
    EXPECT_FALSE(dialogs.open(id + 1));

    EXPECT_EQ(dialogs.answer(id, std::vector<std::string>{dir / "sounds"}), DialogAnswer::taken);
    EXPECT_EQ(asked.get(), dir / "sounds");
    json end = page.next();
    EXPECT_EQ(end, (json{{"type", "dialogEnd"}, {"id", id}}));
    // Over: neither a listing nor a late answer is taken any more.
    EXPECT_FALSE(dialogs.open(id));
    EXPECT_EQ(dialogs.answer(id, std::nullopt), DialogAnswer::notOpen);
}

TEST_F(PageDialogsTest, FilesComeBackInTheOrderChosenWithTheFilterShown) {
    Page page(channel);
    auto asked = std::async(std::launch::async, [this] {
        return dialogs.pickFiles("Sound files for this species",
                                 {{"Sounds (WAV, OGG)", {"*.wav", "*.ogg"}}});
    });
    json shown = page.next();
    EXPECT_EQ(shown["kind"], "files");
    EXPECT_EQ(shown["filters"],
              json::parse(R"j([{"label":"Sounds (WAV, OGG)","patterns":["*.wav","*.ogg"]}])j"));
    std::vector<std::string> chosen{dir / "sounds/step.ogg", dir / "sounds/roar.wav"};
    EXPECT_EQ(dialogs.answer(shown["id"], chosen), DialogAnswer::taken);
    EXPECT_EQ(asked.get(), chosen);
}

TEST_F(PageDialogsTest, AnswersThatDoNotFitAreTurnedDownAndTheDialogStaysOpen) {
    ::mkfifo((dir / "sounds/pipe.wav").c_str(), 0600);
    fs::create_directory_symlink(dir / "sounds", dir / "link-to-sounds");
    struct Case {
        bool files;
        std::vector<std::string> paths;
        bool fits;
    };
    const Case cases[] = {
        {false, {dir / "sounds"}, true},
        {false, {dir / "link-to-sounds"}, true},
        {false, {dir / "sounds/roar.wav"}, false},
        {false, {dir / "missing"}, false},
        {false, {"sounds"}, false},
        {false, {dir / "sounds", dir / "server"}, false},
        {false, {}, false},
        {true, {dir / "sounds/roar.wav", dir / "link-to-sounds/step.ogg"}, true},
        {true, {dir / "sounds/roar.wav", dir / "sounds"}, false},
        {true, {dir / "sounds/pipe.wav"}, false},
        {true, {dir / "sounds/roar.wav", "roar.wav"}, false},
        {true, {}, false},
    };
    for (const Case& c : cases) {
        PageDialog dialog{.id = 1, .files = c.files, .title = "", .filters = {}};
        EXPECT_EQ(fitsDialog(dialog, c.paths), c.fits)
            << c.files << " " << (c.paths.empty() ? "" : c.paths.front());
    }
    Page page(channel);
    auto asked = askFolder();
    const std::uint64_t id = page.next()["id"];
    EXPECT_EQ(dialogs.answer(id, std::vector<std::string>{dir / "sounds/roar.wav"}),
              DialogAnswer::rejected);
    EXPECT_EQ(asked.wait_for(300ms), std::future_status::timeout);
    EXPECT_EQ(dialogs.answer(id, std::nullopt), DialogAnswer::taken);
    EXPECT_EQ(asked.get(), std::nullopt);
}

TEST_F(PageDialogsTest, WithoutAPageTheDialogIsCancelledAtOnce) {
    auto start = Clock::now();
    EXPECT_EQ(dialogs.pickFolder("Server"), std::nullopt);
    EXPECT_LT(Clock::now() - start, 1s);
}

TEST_F(PageDialogsTest, APageThatGoesAwayOrReloadsCancelsIt) {
    struct Case {
        const char* what;
        bool reconnect;
    };
    for (const Case c : {Case{"closed", false}, Case{"reloaded", true}}) {
        Page page(channel);
        auto asked = askFolder();
        ASSERT_EQ(page.next()["type"], "dialog") << c.what;
        auto start = Clock::now();
        page.leave();
        // A reloaded page connects again at once, but it never saw the dialog.
        std::optional<Page> fresh;
        if (c.reconnect) fresh.emplace(channel);
        EXPECT_EQ(asked.get(), std::nullopt) << c.what;
        EXPECT_LT(Clock::now() - start, 1s) << c.what;
        if (fresh) {
            EXPECT_EQ(fresh->next()["type"], "dialogEnd") << c.what;
            fresh->leave();
        }
    }
}

TEST_F(PageDialogsTest, OneOfTwoTabsGoingKeepsItOpenForTheOther) {
    Page first(channel);
    Page second(channel);
    auto asked = askFolder();
    const std::uint64_t id = first.next()["id"];
    first.leave();
    EXPECT_EQ(asked.wait_for(500ms), std::future_status::timeout);
    EXPECT_EQ(dialogs.answer(id, std::vector<std::string>{root}), DialogAnswer::taken);
    EXPECT_EQ(asked.get(), root);
}

TEST_F(PageDialogsTest, AStreamShowingADialogWritesKeepAlivesEverySecond) {
    Page page(channel);
    auto asked = askFolder();
    const std::uint64_t id = page.next()["id"];
    // With nothing to say, a stream waits for its full idle time; one showing the dialog
    // speaks up after a second, which is how a closed connection is found out so soon.
    auto start = Clock::now();
    EXPECT_EQ(channel.next(page.stream, 15000ms), std::string());
    // Far below the idle time, with room for a slow machine.
    EXPECT_LT(Clock::now() - start, PageChannel::kMarkedKeepAlive + 3000ms);
    dialogs.answer(id, std::nullopt);
    asked.get();
    EXPECT_EQ(page.next()["type"], "dialogEnd");
    start = Clock::now();
    EXPECT_EQ(channel.next(page.stream, 2500ms), std::string());
    EXPECT_GE(Clock::now() - start, 2000ms);
}

TEST_F(PageDialogsTest, AGoneServerFolderStartsAtHomeAndShuttingDownCancels) {
    root = dir / "deleted";
    Page page(channel);
    auto asked = askFolder();
    EXPECT_EQ(page.next()["start"], dir / "home");
    dialogs.shutDown();
    EXPECT_EQ(asked.get(), std::nullopt);
    // Later dialogs are cancelled without being shown.
    EXPECT_EQ(dialogs.pickFolder("again"), std::nullopt);
    EXPECT_EQ(page.next(300ms)["type"], "dialogEnd");
    EXPECT_TRUE(page.next(300ms).is_null());
}

}  // namespace
