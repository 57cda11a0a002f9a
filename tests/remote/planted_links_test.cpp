// Someone who may write into the server folder plants links where the tool writes its own
// files: the tool must never write through them to the files they point at. The owner's own
// link at a document's name, server.cfg, keeps being followed.
#include <filesystem>
#include <functional>
#include <string>

#include "platform/symlinks.h"
#include "remote_fixture.h"

namespace remote {

namespace fs = std::filesystem;

namespace {

using Ordered = nlohmann::ordered_json;

class PlantedLinksTest : public RemoteTest {
  protected:
    PlantedLinksTest() {
        signIn();
        makeSpecies("dino", {{"Dino.fbx", "model"}});
        writeText(victim(), "victim");
        writeText(t.home / "models/Other.fbx", "other");
        service.script({{"job", {{"stages", {{{"state", "failed"}}}}}}});
    }

    std::string victim() const { return t.home / "outside/victim.txt"; }
    // False where no link can be made.
    bool plant(const std::string& link) {
        writeText(victim(), "victim");
        fs::create_directories(fs::path(link).parent_path());
        fs::remove(link);
        return makeSymlink(victim(), link);
    }
};

TEST_F(PlantedLinksTest, TheToolsOwnFilesAreNeverWrittenThroughALink) {
    const std::string png(200, 'p');
    struct Case {
        const char* what;
        std::string link;  // planted before the command
        std::string message;
        std::string written;  // the tool's file, a plain file afterwards ("" when gone)
        std::string content;
        std::string notice;  // the first one, that of success
    } cases[] = {
        {"saveSpecies", ws("dino") + "/species.json.tmp",
         Ordered{{"cmd", "saveSpecies"}, {"name", "dino"}, {"data", base64Encode("{\"v\":2}")}}
             .dump(),
         ws("dino") + "/species.json", "{\"v\":2}",
         "Saved. Values and attacks reach a running server within a few seconds."},
        {"saveAi", t.root() + "/data/ai/brains.json.tmp",
         Ordered{{"cmd", "saveAi"}, {"file", "brains"}, {"data", base64Encode("[1]")}}.dump(),
         t.root() + "/data/ai/brains.json", "[1]",
         "Saved. A running server picks it up within a few seconds."},
        {"studioSaveTexture", t.root() + "/resources/skins/textures/stripes.png",
         Ordered{{"cmd", "studioSaveTexture"}, {"name", "stripes"}, {"png", base64Encode(png)}}
             .dump(),
         t.root() + "/resources/skins/textures/stripes.png", png,
         "Texture saved as textures\\stripes.png"},
        // The job file is written after the upload; the failed job then removes it.
        {"buildRemote", jobFile("dino"),
         Ordered{{"cmd", "buildRemote"}, {"name", "dino"}, {"files", "Dino.fbx"}}.dump(), "", "",
         "Uploaded. The build server takes it from here."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!plant(c.link)) GTEST_SKIP() << kNoSymlinks;
        t.send(c.message);
        std::vector<json> seen = untilIdle();
        EXPECT_EQ(readText(victim()), "victim");
        EXPECT_EQ(notices(seen).front(), (Notice{false, c.notice}));
        if (!c.written.empty()) {
            EXPECT_FALSE(fs::is_symlink(c.written));
            EXPECT_EQ(readText(c.written), c.content);
        }
    }
}

TEST_F(PlantedLinksTest, ALinkedSourceFolderIsNotImportedIntoAndTheOwnersConfigLinkStays) {
    // The source folder leads outside: nothing is copied there.
    const std::string outside = t.home / "outside/models";
    fs::create_directories(outside);
    fs::remove_all(ws("dino") + "/source");
    MAKE_SYMLINK_OR_SKIP(outside, ws("dino") + "/source", true);
    t.dialogs = platform::ScriptedDialogs({t.home / "models"});
    t.send(cmd("importSpecies", "name", "dino"));
    EXPECT_EQ(notices(untilIdle()),
              (Notices{{true,
                        "This species' source folder is a link. The import copies only into a "
                        "real folder inside the workspace: replace the link with a folder."}}));
    EXPECT_TRUE(fs::is_empty(outside));
    EXPECT_FALSE(t.app.speciesBusy);

    // server.cfg kept elsewhere by the owner, linked into the server folder.
    const std::string kept = t.home / "owner/server.cfg";
    writeText(kept, "sv_hostname Old\n");
    makeSymlink(kept, t.root() + "/server.cfg");
    t.send(Ordered{{"cmd", "saveCfg"}, {"sv_hostname", "New"}}.dump());
    untilIdle();
    EXPECT_TRUE(fs::is_symlink(t.root() + "/server.cfg"));
    EXPECT_EQ(readText(kept), "sv_hostname New\r\n");
}

}  // namespace

}  // namespace remote
