#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "bridge/app.h"
#include "bridge/dispatcher.h"
#include "shell/commands.h"
#include "species_fixture.h"
#include "support/file_facts.h"

namespace species {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kLimit = 20971520;

// Answers like the scripted dialogs and remembers how it was asked.
class RecordingDialogs : public platform::ScriptedDialogs {
  public:
    using ScriptedDialogs::ScriptedDialogs;
    std::vector<std::string> pickFiles(const std::string& title,
                                       const std::vector<platform::FileFilter>& filters) override {
        askedTitle = title;
        askedFilters = filters;
        return ScriptedDialogs::pickFiles(title, filters);
    }
    std::string askedTitle;
    std::vector<platform::FileFilter> askedFilters;
};

class SoundsTest : public SpeciesTest {
  protected:
    // A file of the given size; sparse, so 25 MB cost nothing.
    std::string sound(const std::string& name, std::uintmax_t size) {
        const std::string path = t.home / ("picked/" + name);
        writeText(path, "");
        fs::resize_file(utf8Path(path), size);
        return path;
    }

    std::vector<nlohmann::json> add(const std::vector<std::string>& paths) {
        std::string answer;
        for (const std::string& p : paths)
            answer += (answer.empty() ? "" : "|") + p;
        t.dialogs = platform::ScriptedDialogs({answer});
        t.send(cmd("addSpeciesSounds", "name", "dino"));
        raw = t.takeRaw();
        std::vector<nlohmann::json> messages;
        for (const std::string& text : raw)
            messages.push_back(nlohmann::json::parse(text));
        return messages;
    }

    std::vector<std::string> raw;

    std::string sounds() const { return ws("dino") + "/source/Sounds/"; }
};

TEST_F(SoundsTest, CopiesWavAndOggUpToTwentyMegabytesInTheOrderPicked) {
    const std::string voice = sound("voice.WAV", 1000);
    writeText(voice, std::string(1000, 'v'));
    auto messages = add({sound("song.mp3", 10), sound("big.wav", 25 * 1048576), voice,
                         sound("exact.ogg", kLimit), sound("over.ogg", kLimit + 1),
                         t.home / "picked/missing.wav", sound("noextension", 5)});
    EXPECT_EQ(notices(messages),
              (Notices{{true, "big.wav is larger than 20 MB and was left out."},
                       {true, "over.ogg is larger than 20 MB and was left out."}}));
    ASSERT_EQ(types(messages).back(), "speciesSounds");
    EXPECT_EQ(raw.back(), R"({"type":"speciesSounds","name":"dino","files":["Sounds/voice.WAV",)"
                          R"("Sounds/exact.ogg"]})");
    EXPECT_EQ(readText(sounds() + "voice.WAV"), std::string(1000, 'v'));
    EXPECT_EQ(fs::file_size(sounds() + "exact.ogg"), kLimit);
    EXPECT_FALSE(exists(sounds() + "big.wav"));
    EXPECT_FALSE(exists(sounds() + "song.mp3"));

    // The same file again replaces the copy.
    writeText(voice, "new");
    EXPECT_EQ(types(add({voice})), std::vector<std::string>{"speciesSounds"});
    EXPECT_EQ(readText(sounds() + "voice.WAV"), "new");
}

TEST_F(SoundsTest, NothingCopiedSendsNoSoundsMessage) {
    fs::create_directories(t.home / "picked/folder.wav");
    const std::vector<std::vector<std::string>> picks = {
        {},  // cancelled
        {sound("a.mp3", 1)},
        {t.home / "picked/folder.wav"},
        {sound("huge.ogg", kLimit + 1)},
    };
    for (const auto& pick : picks) {
        for (const auto& m : add(pick))
            EXPECT_NE(m["type"], "speciesSounds");
    }
    // A folder in the way of the copy.
    fs::create_directories(sounds() + "blocked.wav");
    EXPECT_EQ(
        add({sound("blocked.wav", 3)}),
        std::vector<nlohmann::json>(
            {{{"type", "notice"}, {"error", true}, {"text", "Could not copy blocked.wav."}}}));
    // A bad name shows no dialog.
    t.dialogs = platform::ScriptedDialogs({sound("x.wav", 1)});
    t.send(cmd("addSpeciesSounds", "name", "Dino"));
    EXPECT_TRUE(t.takeRaw().empty());
    EXPECT_EQ(t.dialogs.pickFiles("", {}).size(), 1u);
}

TEST_F(SoundsTest, AsksWithTheTitleAndTheSoundFilter) {
    RecordingDialogs dialogs({""});
    bridge::App app(t.outbox, dialogs, t.window, commandTable());
    app.serverRoot.set(t.root());
    bridge::dispatchCommand(app, cmd("addSpeciesSounds", "name", "dino"));
    EXPECT_EQ(dialogs.askedTitle, "Sound files for this species");
    ASSERT_EQ(dialogs.askedFilters.size(), 1u);
    EXPECT_EQ(dialogs.askedFilters[0].label, "Sounds (WAV, OGG)");
    EXPECT_EQ(dialogs.askedFilters[0].patterns, (std::vector<std::string>{"*.wav", "*.ogg"}));
    EXPECT_TRUE(t.takeRaw().empty());
}

// The page takes names that differ only in A to Z for one sound and says its file was
// replaced, so the host must replace it under the name it already has; names that differ in
// any other way are two sounds and two files.
TEST_F(SoundsTest, ANameDifferingOnlyInLetterCaseReplacesTheFileThere) {
    struct Case {
        const char* present;
        const char* picked;
        std::vector<std::string> files;  // in Sounds/ afterwards
        std::string reported;
    } cases[] = {
        {"roar.wav", "Roar.WAV", {"roar.wav"}, "Sounds/roar.wav"},
        {"ROAR.ogg", "roar.ogg", {"ROAR.ogg"}, "Sounds/ROAR.ogg"},
        // Été and été: two names, though a file system that folds every letter (Windows')
        // keeps one file under the first.
        {"\xC3\x89t\xC3\xA9.wav", "\xC3\xA9t\xC3\xA9.wav",
         kNamesFoldEveryLetter
             ? std::vector<std::string>{"\xC3\x89t\xC3\xA9.wav"}
             : std::vector<std::string>{"\xC3\x89t\xC3\xA9.wav", "\xC3\xA9t\xC3\xA9.wav"},
         "Sounds/\xC3\xA9t\xC3\xA9.wav"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picked);
        fs::remove_all(sounds());
        writeText(sounds() + c.present, "old");
        const std::string picked = sound(c.picked, 0);
        writeText(picked, "new");
        auto messages = add({picked});
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0]["files"], nlohmann::json::array({c.reported}));
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(utf8Path(sounds())))
            names.push_back(utf8Text(entry.path().filename()));
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, c.files);
        EXPECT_EQ(readText(sounds() + c.reported.substr(7)), "new");
    }
}

}  // namespace

}  // namespace species
