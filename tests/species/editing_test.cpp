#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "species_fixture.h"

namespace species {

namespace fs = std::filesystem;

namespace {

const std::string kSaved = "Saved. Values and attacks reach a running server within a few seconds.";
const std::string kNameRule = "Species names use 1 to 32 characters of a-z, 0-9 and _.";

std::string save(const std::string& name, const std::string& bytes) {
    return nlohmann::ordered_json{
        {"cmd", "saveSpecies"}, {"name", name}, {"data", base64Encode(bytes)}}
        .dump();
}

class EditingTest : public SpeciesTest {
  protected:
    EditingTest() : log_("FAKE_XDG_OPEN_LOG", t.home / "opened.log") {}

  private:
    ScopedEnv log_;
};

TEST_F(EditingTest, SaveCreatesTheWorkspaceAndStoresTheBytesUnchanged) {
    // Bytes the host must not touch: a BOM, CR LF, a NUL and a byte that is not UTF-8.
    const std::string bytes = std::string("\xEF\xBB\xBF{\r\n  \"name\": \"dino\"\0\xFF}\n", 26);
    t.send(save("dino", bytes));
    auto messages = t.take();
    ASSERT_EQ(types(messages), (std::vector<std::string>{"notice", "species"}));
    EXPECT_EQ(notices(messages), (Notices{{false, kSaved}}));
    EXPECT_EQ(readText(ws("dino") + "/species.json"), bytes);
    EXPECT_TRUE(fs::is_directory(ws("dino") + "/source"));
    EXPECT_TRUE(fs::is_directory(ws("dino") + "/build"));
    EXPECT_FALSE(exists(ws("dino") + "/species.json.tmp"));
    EXPECT_EQ(item(messages[1], "dino")["json"],
              "\xEF\xBB\xBF{\r\n  \"name\": \"dino\"" + std::string(1, '\0') + "\xEF\xBF\xBD}\n");

    // A second save replaces the definition; a stray temporary file of an earlier failure is
    // overwritten, not appended to.
    writeText(ws("dino") + "/species.json.tmp", std::string(1000, 'z'));
    t.send(save("dino", "{}"));
    EXPECT_EQ(notices(t.take()), (Notices{{false, kSaved}}));
    EXPECT_EQ(readText(ws("dino") + "/species.json"), "{}");
}

TEST_F(EditingTest, BadInputAnswersWithTheRightNoticeOrNothing) {
    struct Case {
        std::string message;
        Notices expected;
    };
    const std::string big(20 * 1024 * 1024, 'A');
    const std::vector<Case> cases = {
        {save("Dino", "{}"), {{true, kNameRule}}},
        {save("_x", "{}"), {{true, kNameRule}}},
        {save("../escape", "{}"), {{true, kNameRule}}},
        {save(std::string(33, 'a'), "{}"), {{true, kNameRule}}},
        {R"({"cmd":"saveSpecies","data":"e30="})", {{true, kNameRule}}},
        {"{\"cmd\":\"saveSpecies\",\"name\":\"d\xFFino\",\"data\":\"e30=\"}", {{true, kNameRule}}},
        {R"({"cmd":"saveSpecies","name":"dino"})", {{true, "Nothing to save."}}},
        {R"({"cmd":"saveSpecies","name":"dino","data":""})", {{true, "Nothing to save."}}},
        {R"({"cmd":"saveSpecies","name":"dino","data":"!!!"})", {{true, "Nothing to save."}}},
        {R"({"cmd":"saveSpecies","name":"dino","data":true})", {{true, "Nothing to save."}}},
        {R"({"cmd":"deleteSpecies","name":"Dino"})", {}},
        {R"({"cmd":"deleteSpecies"})", {}},
        {R"({"cmd":"deleteSpecies","name":false})", {}},
        {R"({"cmd":"openSpecies","name":"_x"})", {}},
    };
    for (const Case& c : cases) {
        t.send(c.message);
        auto messages = t.take();
        EXPECT_EQ(notices(messages), c.expected) << c.message.substr(0, 80);
        EXPECT_EQ(messages.size(), c.expected.size()) << c.message.substr(0, 80);
    }
    EXPECT_FALSE(exists(t.root() + "/species"));

    // 20 MB of data is stored whole.
    t.send(R"({"cmd":"saveSpecies","name":"big","data":")" + big + "\"}");
    EXPECT_EQ(notices(t.take()), (Notices{{false, kSaved}}));
    EXPECT_EQ(fs::file_size(ws("big") + "/species.json"), big.size() / 4 * 3);

    // Without a server folder nothing happens at all.
    t.app.serverRoot.set("");
    for (const char* c : {"saveSpecies", "deleteSpecies", "openSpecies", "importSpecies",
                          "addSpeciesSounds", "buildSpecies"}) {
        t.send(nlohmann::ordered_json{{"cmd", c}, {"name", "big"}, {"data", "e30="}}.dump());
        EXPECT_TRUE(t.takeRaw().empty()) << c;
    }
}

TEST_F(EditingTest, SaveThatCannotWriteKeepsTheOldDefinition) {
    t.send(save("dino", "old"));
    t.take();
    // A folder where the temporary file goes, then where the definition goes.
    fs::create_directories(ws("dino") + "/species.json.tmp");
    t.send(save("dino", "new"));
    EXPECT_EQ(notices(t.take()), (Notices{{true, "Could not write species.json."}}));
    EXPECT_EQ(readText(ws("dino") + "/species.json"), "old");
    fs::remove(ws("dino") + "/species.json.tmp");
    fs::remove(ws("dino") + "/species.json");
    fs::create_directories(ws("dino") + "/species.json/inner");
    t.send(save("dino", "new"));
    EXPECT_EQ(notices(t.take()), (Notices{{true, "Could not write species.json."}}));
    // A workspace that is a file.
    writeText(ws("flat"), "not a folder");
    t.send(save("flat", "new"));
    EXPECT_EQ(notices(t.take()), (Notices{{true, "Could not write species.json."}}));
    EXPECT_EQ(readText(ws("flat")), "not a folder");
}

TEST_F(EditingTest, DeleteKeepsTheFolderUnderAStampedName) {
    t.send(save("dino", "{}"));
    t.take();
    t.send(cmd("deleteSpecies", "name", "dino"));
    auto messages = t.take();
    ASSERT_EQ(types(messages), (std::vector<std::string>{"notice", "species"}));
    const std::string text = messages[0]["text"];
    const std::string prefix = "Removed. The folder was kept as _deleted_dino_";
    ASSERT_TRUE(text.starts_with(prefix) && text.ends_with(".")) << text;
    const std::string ticks = text.substr(prefix.size(), text.size() - prefix.size() - 1);
    EXPECT_FALSE(ticks.empty());
    EXPECT_EQ(ticks.find_first_not_of("0123456789"), std::string::npos) << ticks;
    EXPECT_NE(ticks[0], '0');
    EXPECT_EQ(readText(t.root() + "/species/_deleted_dino_" + ticks + "/species.json"), "{}");
    EXPECT_EQ(item(messages[1], "dino"), nullptr);

    // A second removal of the same name later gets its own stamp.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    t.send(save("dino", "{}"));
    t.take();
    t.send(cmd("deleteSpecies", "name", "dino"));
    EXPECT_FALSE(t.take()[0]["text"].get<std::string>().ends_with(ticks + "."));
    std::size_t kept = 0;
    for (const auto& e : fs::directory_iterator(t.root() + "/species"))
        kept += e.path().filename().string().starts_with("_deleted_dino_");
    EXPECT_EQ(kept, 2u);

    // No workspace, or a file in its place: nothing is moved.
    writeText(ws("flat"), "x");
    for (const char* name : {"ghost", "flat"}) {
        t.send(cmd("deleteSpecies", "name", name));
        EXPECT_EQ(notices(t.take()), (Notices{{true, "Could not remove the species folder."}}));
    }
    EXPECT_EQ(readText(ws("flat")), "x");
}

TEST_F(EditingTest, OpenShowsTheWorkspaceFolderAndAnswersNothing) {
    // Windows' shell opens only what exists; xdg-open is handed the path either way.
    if (kOpensOnlyWhatExists) fs::create_directories(ws("dino"));
    t.send(cmd("openSpecies", "name", "dino"));
    EXPECT_TRUE(t.takeRaw().empty());
    // The opener runs detached; wait for its record.
    const std::string log = t.home / "opened.log";
    for (int i = 0; i < 500 && !exists(log); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(exists(log)) << "nothing was opened";
    std::string opened = readText(log);
    std::replace(opened.begin(), opened.end(), '\\', '/');
    EXPECT_EQ(opened, ws("dino") + "\n");
    if (!kOpensOnlyWhatExists) {
        EXPECT_FALSE(exists(ws("dino"))) << "the folder is not created for the opener";
    }
}

}  // namespace

}  // namespace species
