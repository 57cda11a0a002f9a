// What the page's picker is told of a folder: names and kinds only, sorted, filtered, capped,
// and a plain refusal for every path that cannot be listed.
#include "shell/dialog_listing.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "support/test_app.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

void touch(const std::string& path) {
    std::ofstream(path) << "x";
}

const PageDialog kFolderDialog{.id = 1, .files = false, .title = "t", .filters = {}};
const PageDialog kSoundDialog{
    .id = 2,
    .files = true,
    .title = "Sound files for this species",
    .filters = {{"Sounds (WAV, OGG)", {"*.wav", "*.ogg"}}, {"Everything", {"*"}}}};

// The listing parsed (a test fails on anything that is not JSON).
json listed(const PageDialog& dialog, const std::string& path, bool hidden = false,
            std::size_t filter = 0) {
    std::string text = listingJson(dialog, {.path = path, .hidden = hidden, .filter = filter});
    EXPECT_TRUE(json::accept(text)) << text;
    return json::parse(text, nullptr, false);
}

std::vector<std::string> names(const json& listing) {
    std::vector<std::string> out;
    for (const json& entry : listing.value("entries", json::array()))
        out.push_back(entry["name"].get<std::string>() + (entry["folder"] ? "/" : ""));
    return out;
}

class DialogListing : public ::testing::Test {
  protected:
    DialogListing() {
        for (const char* folder : {"b-folder", "A-folder", ".hidden-folder", "c"})
            fs::create_directories(dir / folder);
        for (const char* file : {"Roar.WAV", "step.ogg", "notes.txt", ".secret.wav", "a.wav"})
            touch(dir / file);
        fs::create_directory_symlink(dir / "c", dir / "link-to-c");
        fs::create_symlink(dir / "a.wav", dir / "link.wav");
        fs::create_symlink(dir / "gone", dir / "dangling.wav");
        fs::create_symlink(dir / "loop1.wav", dir / "loop2.wav");
        fs::create_symlink(dir / "loop2.wav", dir / "loop1.wav");
        ::mkfifo((dir / "pipe.wav").c_str(), 0600);
    }
    TempDir dir;
};

TEST_F(DialogListing, ShowsWhatEachDialogAsksForInOrder) {
    struct Case {
        const char* what;
        const PageDialog& dialog;
        bool hidden;
        std::size_t filter;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"folder dialog: folders only, links to folders too, case folded",
         kFolderDialog,
         false,
         0,
         {"A-folder/", "b-folder/", "c/", "link-to-c/"}},
        {"hidden folders behind the toggle",
         kFolderDialog,
         true,
         0,
         {".hidden-folder/", "A-folder/", "b-folder/", "c/", "link-to-c/"}},
        {"file dialog: folders, then matching regular files, any letter case; no dangling or "
         "looping link, no pipe",
         kSoundDialog,
         false,
         0,
         {"A-folder/", "b-folder/", "c/", "link-to-c/", "a.wav", "link.wav", "Roar.WAV",
          "step.ogg"}},
        {"the second filter",
         kSoundDialog,
         false,
         1,
         {"A-folder/", "b-folder/", "c/", "link-to-c/", "a.wav", "link.wav", "notes.txt",
          "Roar.WAV", "step.ogg"}},
        {"a filter past the last is the last",
         kSoundDialog,
         false,
         7,
         {"A-folder/", "b-folder/", "c/", "link-to-c/", "a.wav", "link.wav", "notes.txt",
          "Roar.WAV", "step.ogg"}},
        {"hidden files too",
         kSoundDialog,
         true,
         0,
         {".hidden-folder/", "A-folder/", "b-folder/", "c/", "link-to-c/", ".secret.wav", "a.wav",
          "link.wav", "Roar.WAV", "step.ogg"}},
    };
    for (const Case& c : cases) {
        json listing = listed(c.dialog, dir.path(), c.hidden, c.filter);
        EXPECT_EQ(names(listing), c.expected) << c.what;
        EXPECT_EQ(listing["path"], dir.path()) << c.what;
        EXPECT_EQ(listing["more"], 0) << c.what;
        for (const json& entry : listing["entries"])
            EXPECT_EQ(entry.size(), 2u) << c.what << ": names and kinds only, " << entry;
    }
}

TEST_F(DialogListing, RefusesPathsItCannotList) {
    fs::create_directory_symlink(dir / "ring-b", dir / "ring-a");
    fs::create_directory_symlink(dir / "ring-a", dir / "ring-b");
    const std::string longName(300, 'n');
    // 4,000 characters of short names that are not there.
    std::string deep = dir.path();
    while (deep.size() < 4000)
        deep += "/segment";
    struct Case {
        std::string path;
        std::string reason;
    };
    const Case cases[] = {
        {dir / "missing", "missing"},
        {dir / "notes.txt", "file"},
        {dir / "notes.txt/below", "file"},
        {"relative/path", "relative"},
        {"", "relative"},
        {dir / "ring-a", "loop"},
        {dir / longName, "long"},
        {deep, "missing"},
        {std::string(5000, '/'), "long"},
        {dir.path() + std::string("/a\0b", 4), "missing"},
        {dir / "bad\xff\xfe-name", "missing"},
    };
    for (const Case& c : cases) {
        json listing = listed(kFolderDialog, c.path);
        EXPECT_EQ(listing.value("reason", ""), c.reason) << c.path.size() << " " << c.path;
        EXPECT_FALSE(listing.value("error", "").empty()) << c.path;
        EXPECT_FALSE(listing.contains("entries")) << c.path;
    }
    // A path too long to list is not sent back.
    EXPECT_EQ(listed(kFolderDialog, std::string(5000, '/'))["path"], "");
}

TEST_F(DialogListing, AnUnreadableFolderIsRefused) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every folder";
    fs::create_directories(dir / "locked");
    fs::permissions(dir / "locked", fs::perms::none);
    EXPECT_EQ(listed(kFolderDialog, dir / "locked")["reason"], "unreadable");
    fs::permissions(dir / "locked", fs::perms::owner_all);
}

TEST_F(DialogListing, ANameThatIsNotUtf8IsShownButMarkedBroken) {
    fs::create_directories(dir / "caf\xe9");
    json listing = listed(kFolderDialog, dir.path());
    std::vector<std::string> got = names(listing);
    ASSERT_EQ(got.size(), 5u);
    const json& odd = listing["entries"][3];
    EXPECT_EQ(odd["name"], "caf\xef\xbf\xbd");
    EXPECT_EQ(odd["broken"], true);
    EXPECT_FALSE(listing["entries"][0].contains("broken"));
}

TEST(DialogListingLarge, AHundredThousandEntriesQuicklyFirstFiveThousandShown) {
    TempDir dir;
    for (int i = 0; i < 100000; ++i) {
        std::string name = "f" + std::to_string(100000 + i) + (i % 2 ? ".wav" : ".txt");
        ::close(::creat((dir / name).c_str(), 0600));
    }
    auto start = std::chrono::steady_clock::now();
    std::string text = listingJson(kSoundDialog, {.path = dir.path()});
    auto took = std::chrono::steady_clock::now() - start;
    // About 0.1 s here; the bound only catches a listing gone quadratic, and holds on a slow
    // machine under a sanitizer.
    EXPECT_LT(took, std::chrono::seconds(4));
    json listing = json::parse(text);
    ASSERT_EQ(listing["entries"].size(), kListedEntries);
    EXPECT_EQ(listing["more"], 50000 - kListedEntries);
    EXPECT_EQ(listing["entries"][0]["name"], "f100001.wav");
    EXPECT_EQ(listing["entries"][4999]["name"], "f109999.wav");
}

}  // namespace
