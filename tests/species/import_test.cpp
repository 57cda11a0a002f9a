#include <filesystem>
#include <string>
#include <vector>

#include "bridge/app.h"
#include "platform/symlinks.h"
#include "species/busy.h"
#include "species_fixture.h"

namespace species {

namespace fs = std::filesystem;

namespace {

const std::string kModels = "/usr/share/assimp/models/FBX";
const Notices kFinished = {{false, "Copying model, animations and textures..."},
                           {false, "Reading 2 files..."},
                           {false, "Import finished."}};

class ImportTest : public SpeciesTest {
  protected:
    // Imports `folder` into the species and returns everything up to the worker's end.
    std::vector<nlohmann::json> import(const std::string& folder,
                                       const std::string& name = "dino") {
        t.dialogs = platform::ScriptedDialogs({folder});
        t.send(cmd("importSpecies", "name", name));
        return untilWorkerEnds();
    }

    // The chosen folder of the import: an upper-case FBX model, a texture in a sub-folder, a
    // text file, and a sub-folder without anything to import.
    std::string modelFolder() {
        const std::string chosen = t.home / "download";
        fs::create_directories(chosen + "/Textures");
        fs::create_directories(chosen + "/docs");
        fs::copy_file(kModels + "/boxWithCompressedCTypeArray.FBX", chosen + "/Dino.FBX");
        writeText(chosen + "/Textures/Dino_Body_D.png", "\x89PNG not really");
        writeText(chosen + "/readme.txt", "hello");
        writeText(chosen + "/docs/notes.txt", "notes");
        return chosen;
    }
};

TEST_F(ImportTest, CopiesModelAndTexturesThenReportsTheInspection) {
    const std::string chosen = modelFolder();
    auto messages = import(chosen);
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages.front()["type"], "species");
    EXPECT_EQ(messages.front()["busy"], true);
    EXPECT_EQ(notices(messages), kFinished);
    EXPECT_EQ(types(messages).back(), "species");

    const std::string source = ws("dino") + "/source";
    EXPECT_EQ(readText(source + "/Dino.FBX"), readText(chosen + "/Dino.FBX"));
    EXPECT_EQ(readText(source + "/Textures/Dino_Body_D.png"), "\x89PNG not really");
    EXPECT_FALSE(exists(source + "/readme.txt"));
    EXPECT_FALSE(exists(source + "/docs")) << "no folder without a file to receive";

    // The helper looked at the copied files: the model and the texture are in its result.
    nlohmann::json inspect =
        nlohmann::json::parse(item(messages.back(), "dino")["inspect"].get<std::string>());
    EXPECT_EQ(inspect["mesh"]["file"], "Dino.FBX");
    EXPECT_EQ(inspect["textures"][0]["file"], "Textures/Dino_Body_D.png");

    // Again, with the helper failing: the earlier result still counts.
    ScopedEnv failing("FAKE_ASSETS_INSPECT", "fail");
    EXPECT_EQ(notices(import(chosen)), kFinished);
    fs::remove(source + "/inspect.json");
    EXPECT_EQ(notices(import(chosen)),
              (Notices{kFinished[0],
                       kFinished[1],
                       {true, "The files were copied, but reading them failed."}}));
    EXPECT_TRUE(exists(source + "/Dino.FBX")) << "the copied files stay";
}

TEST_F(ImportTest, RefusalsCancelsAndEmptyFolders) {
    const std::string chosen = modelFolder();
    // A cancelled picker sends nothing and frees the flag: the next import starts at once.
    t.dialogs = platform::ScriptedDialogs({""});
    t.send(cmd("importSpecies", "name", "dino"));
    EXPECT_TRUE(t.takeRaw().empty());
    EXPECT_EQ(notices(import(chosen)), kFinished);

    // Busy: refused before any dialog.
    ASSERT_TRUE(tryClaimBusy(t.app));
    t.dialogs = platform::ScriptedDialogs({chosen});
    t.send(cmd("importSpecies", "name", "dino"));
    t.send(cmd("buildSpecies", "name", "dino"));
    EXPECT_EQ(notices(t.take()), (Notices{{true, "Another import or build is still running."},
                                          {true, "Another import or build is still running."}}));
    EXPECT_TRUE(t.app.speciesBusy) << "the running job keeps its flag";
    releaseBusy(t.app);
    EXPECT_EQ(t.dialogs.pickFolder(""), chosen) << "the refused import showed no dialog";

    // With a bad name, then without the helper: the flag is never touched.
    t.send(cmd("importSpecies", "name", "Dino"));
    EXPECT_TRUE(t.takeRaw().empty());
    fs::remove(program() + "/tools/forgeset-assets" + kProgramSuffix);
    t.send(cmd("importSpecies", "name", "dino"));
    EXPECT_EQ(notices(t.take()),
              (Notices{{true, "forgeset-assets.exe not found next to the tool."}}));
    EXPECT_FALSE(t.app.speciesBusy);
    placeProgram(FORGESET_FAKE_ASSETS_PATH, program() + "/tools/forgeset-assets");

    // Nothing to import, and a folder that does not exist.
    for (const std::string& folder : {chosen + "/docs", t.home / "gone"}) {
        EXPECT_EQ(notices(import(folder, "rex")),
                  (Notices{{false, "Copying model, animations and textures..."},
                           {true, "No FBX or texture files found in that folder."}}));
    }
}

TEST_F(ImportTest, LinksNeverLeadOutOfTheChosenFolderOrTheWorkspace) {
    const std::string chosen = t.home / "chosen";
    const std::string outside = t.home / "outside";
    writeText(outside + "/secret.png", "secret");
    writeText(outside + "/deep/inside.png", "deep");
    writeText(outside + "/victim.fbx", "victim");
    writeText(chosen + "/model.fbx", "model");
    writeText(chosen + "/real.png", "real");
    writeText(chosen + "/sub/t.png", "t");
    MAKE_SYMLINK_OR_SKIP(chosen + "/real.png", chosen + "/alias.PNG");  // inside: copied
    makeSymlink(outside + "/secret.png", chosen + "/secret.png");       // outside: not
    makeSymlink(t.home / "gone.png", chosen + "/dangling.png");         // broken: not
    makeSymlink(chosen, chosen + "/loop", true);                        // never entered
    makeSymlink(outside + "/deep", chosen + "/deep", true);             // never entered
    // Links already in the workspace where the copy would write.
    const std::string source = ws("dino") + "/source";
    fs::create_directories(source);
    makeSymlink(outside + "/victim.fbx", source + "/model.fbx");
    makeSymlink(outside, source + "/sub", true);

    auto messages = import(chosen);
    EXPECT_EQ(notices(messages)[1], (Notice{false, "Reading 3 files..."}));
    EXPECT_EQ(readText(source + "/model.fbx"), "model");
    EXPECT_FALSE(fs::is_symlink(source + "/model.fbx"));
    EXPECT_EQ(readText(source + "/alias.PNG"), "real");
    EXPECT_EQ(readText(source + "/real.png"), "real");
    EXPECT_FALSE(exists(source + "/secret.png"));
    EXPECT_FALSE(exists(source + "/dangling.png"));
    EXPECT_FALSE(exists(source + "/loop"));
    EXPECT_FALSE(exists(source + "/deep"));
    // Outside the workspace nothing changed.
    EXPECT_EQ(readText(outside + "/victim.fbx"), "victim");
    EXPECT_FALSE(exists(outside + "/t.png"));
    std::size_t outsideFiles = 0;
    for (auto it = fs::recursive_directory_iterator(outside);
         it != fs::recursive_directory_iterator(); ++it)
        outsideFiles += it->is_regular_file();
    EXPECT_EQ(outsideFiles, 3u);
}

// The source folder is the import's target: a folder that holds it would be copied into
// itself (source/source/...), the source folder itself onto itself. A folder beside it is
// an ordinary import.
TEST_F(ImportTest, AFolderThatHoldsOrLiesInsideTheSourceFolderIsRefused) {
    const std::string source = ws("dino") + "/source";
    writeText(source + "/Dino.fbx", "model");
    writeText(source + "/Textures/skin.png", "skin");
    std::vector<std::string> folders = {
        ws("dino"), t.root() + "/species", t.root(),
        source,     source + "/Textures",  ws("dino") + "/../dino/source"};
    // Where links can be made (not under Wine), one that leads to the source folder too.
    if (makeSymlink(source, t.home / "shortcut", true)) folders.push_back(t.home / "shortcut");
    const Notices refused = {
        {true,
         "That folder holds or lies inside this species' source folder, so the import would "
         "copy it into itself. Choose the folder the model files came from."}};
    for (const std::string& folder : folders) {
        SCOPED_TRACE(folder);
        t.dialogs = platform::ScriptedDialogs({folder});
        t.send(cmd("importSpecies", "name", "dino"));
        EXPECT_EQ(notices(t.take()), refused);
        EXPECT_FALSE(t.app.speciesBusy);
        EXPECT_TRUE(t.app.workers.idle());
    }
    EXPECT_FALSE(exists(source + "/source"));
    EXPECT_FALSE(exists(source + "/Textures/Textures"));

    writeText(t.root() + "/species/dino_models/Other.fbx", "other");
    writeText(t.root() + "/species/dino_models/a.png", "a");
    EXPECT_EQ(notices(import(t.root() + "/species/dino_models")), kFinished);
    EXPECT_EQ(readText(source + "/Other.fbx"), "other");
}

}  // namespace

}  // namespace species
