// buildRemote through the real dispatcher: its guards, the packing worker's failures, the
// size limit, and a whole build from the command to the installed files.
#include <iostream>

#include "platform/symlinks.h"
#include "remote/remote_paths.h"
#include "remote/staging.h"
#include "remote_fixture.h"
#include "species/busy.h"
#include "support/file_facts.h"
#include "support/recording_tar.h"

namespace remote {

namespace {

class BuildRemoteTest : public RemoteTest {
  protected:
    BuildRemoteTest() { signIn(); }

    std::string kept() const { return t.home / "kept.zip"; }

    // Why the case at hand cannot be arranged on this system; empty when it can.
    std::string skipped_;

    std::string remoteCommand(const std::string& name, const std::string& files) {
        return nlohmann::ordered_json{{"cmd", "buildRemote"}, {"name", name}, {"files", files}}
            .dump();
    }

    // The staging folder and the archive never outlive the worker.
    void expectNoStagingLeft(const std::string& name) {
        EXPECT_FALSE(exists(t.appData() + "/build-upload/" + name));
        EXPECT_FALSE(exists(t.appData() + "/build-upload/" + name + ".zip"));
    }

    // Keeps a copy of each archive the tool packs.
    RecordingTar tar_{t.home.path(), kept()};
};

TEST_F(BuildRemoteTest, GuardsInTheirOrder) {
    makeSpecies("dino", {{"Dino.fbx", "mesh"}});
    struct Case {
        std::string name;
        std::function<void()> arrange;
        std::string message;
        Notices notices;
    } cases[] = {
        {"no server folder",
         [this] { t.app.serverRoot.set(""); },
         remoteCommand("dino", "Dino.fbx"),
         {}},
        {"a name against the rule", [] {}, remoteCommand("Dino", "Dino.fbx"), {}},
        {"not signed in",
         [] { ASSERT_TRUE(bridge::deleteCredentials()); },
         remoteCommand("dino", "Dino.fbx"),
         {{true, "Sign in with Steam first."}}},
        {"no asset helper",
         [this] {
             std::filesystem::remove(t.app.programFolder + "/tools/forgeset-assets" +
                                     kProgramSuffix);
         },
         remoteCommand("dino", "Dino.fbx"),
         {{true, "forgeset-assets.exe not found next to the tool."}}},
        {"no bsdtar",
         [this] {
             if (!tar_.hide()) skipped_ = "tar.exe is taken from the shared system folder";
         },
         remoteCommand("dino", "Dino.fbx"),
         {{true,
           "bsdtar was not found on PATH. The remote build packs and unpacks with it: install "
           "the Debian package libarchive-tools."}}},
        {"no files", [] {}, remoteCommand("dino", "||"), {{true, "Import a model first."}}},
        {"another job holds the busy flag",
         [this] { species::tryClaimBusy(t.app); },
         remoteCommand("dino", "Dino.fbx"),
         {{true, "Another import or build is still running."}}},
        {"the species' build is being followed",
         [this] { t.app.followedSpecies.tryClaim(ws("dino")); },
         remoteCommand("dino", "Dino.fbx"),
         {{true,
           "A remote build of this species is already running. Wait for it to end or cancel "
           "it."}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = t.app.programFolder;
        skipped_.clear();
        c.arrange();
        if (skipped_.empty()) {
            t.send(c.message);
            std::vector<json> seen = t.take();
            EXPECT_EQ(notices(seen), c.notices);
            EXPECT_EQ(seen.size(), c.notices.size()) << "nothing but the notice";
            EXPECT_TRUE(service.requests().empty());
            const bool busyCase = c.name == "another job holds the busy flag";
            EXPECT_EQ(t.app.speciesBusy.load(), busyCase) << "the flag is left as it was";
        } else {
            std::cout << "case \"" << c.name << "\" skipped: " << skipped_ << "\n";
        }
        // Put back what the case took away.
        t.app.serverRoot.set(t.root());
        species::releaseBusy(t.app);
        t.app.followedSpecies.release(ws("dino"));
        signIn();
        if (!exists(folder + "/tools/forgeset-assets" + kProgramSuffix))
            placeProgram(FORGESET_FAKE_ASSETS_PATH, folder + "/tools/forgeset-assets");
        tar_.restore();
    }
}

TEST_F(BuildRemoteTest, PackingFailuresAreReportedTwiceAndCleanedUp) {
    struct Case {
        std::string name;
        std::map<std::string, std::string> files;
        bool definition;
        std::string list;
        const char* prepare;
        std::string error;
    } cases[] = {
        {"no species.json",
         {{"a.fbx", "x"}},
         false,
         "a.fbx",
         "ok",
         "species.json is missing. Save first."},
        {"dots",
         {{"a.fbx", "x"}},
         true,
         "a.fbx|../secret.fbx",
         "ok",
         "A file path in species.json is not allowed: ../secret.fbx"},
        {"a drive letter",
         {{"a.fbx", "x"}},
         true,
         "C:/a.fbx",
         "ok",
         "A file path in species.json is not allowed: C:/a.fbx"},
        {"a leading slash",
         {{"a.fbx", "x"}},
         true,
         "/etc/passwd",
         "ok",
         "A file path in species.json is not allowed: /etc/passwd"},
        {"a leading backslash",
         {{"a.fbx", "x"}},
         true,
         "\\a.fbx",
         "ok",
         "A file path in species.json is not allowed: \\a.fbx"},
        {"a missing file", {{"a.fbx", "x"}}, true, "a.fbx|b.fbx", "ok", "Missing file: b.fbx"},
        {"a folder", {{"anims/a.fbx", "x"}}, true, "anims", "ok", "Missing file: anims"},
        {"the textures fail",
         {{"a.fbx", "x"}},
         true,
         "a.fbx",
         "fail",
         "Preparing the textures failed: error: texture conversion failed\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(ws("dino"));
        makeSpecies("dino", c.files);
        if (!c.definition) std::filesystem::remove(ws("dino") + "/species.json");
        ScopedEnv prepare("FAKE_ASSETS_PREPARE", c.prepare);
        t.send(remoteCommand("dino", c.list));
        std::vector<json> seen = untilIdle();
        ASSERT_GE(seen.size(), 4u);
        EXPECT_EQ(seen.front()["type"], "species");
        EXPECT_EQ(seen.front()["busy"], true);
        ASSERT_EQ(notices(seen).size(), 1u);
        EXPECT_TRUE(notices(seen)[0].first);
        EXPECT_TRUE(notices(seen)[0].second.starts_with(c.error)) << notices(seen)[0].second;
        if (c.prepare == std::string("fail")) {
            // The helper's first 300 bytes after the sentence's own 31.
            EXPECT_EQ(notices(seen)[0].second.size(), 331u);
        }
        EXPECT_EQ(remote(seen).front(), "preparing|Collecting files");
        EXPECT_EQ(remote(seen).back(), "failed|" + notices(seen)[0].second);
        EXPECT_EQ(seen.back()["type"], "species");
        EXPECT_EQ(seen.back()["busy"], false);
        EXPECT_FALSE(t.app.speciesBusy.load());
        expectNoStagingLeft("dino");
        EXPECT_TRUE(service.requests().empty());
    }
}

TEST_F(BuildRemoteTest, TheSizeLimitTakesExactlyOneGibibyte) {
    makeSpecies("dino", {{"a.fbx", "x"}});
    // The service stops an accepted upload at once, so no gibibyte travels.
    service.script(
        {{"rules",
          {{{"path", "/api/uploads"}, {"status", 503}, {"json", {{"error", "Stop here."}}}}}}});
    struct Case {
        const char* size;
        std::string error;
    } cases[] = {
        {"1073741824", "Stop here."},
        {"1073741825",
         "The upload is larger than 1 GB. Remove unused animations or lower the texture size."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        ScopedEnv size("FAKE_TAR_SIZE", c.size);
        t.send(remoteCommand("dino", "a.fbx"));
        std::vector<json> seen = untilIdle();
        EXPECT_EQ(notices(seen), (Notices{{true, c.error}}));
        expectNoStagingLeft("dino");
    }
    std::vector<json> starts = requestsTo("/api/uploads");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0]["body"], R"({"size":1073741824})");
}

TEST_F(BuildRemoteTest, AWholeBuildFromTheCommandToTheInstalledFiles) {
    makeSpecies("dino", {{"Dino.fbx", "mesh"},
                         {"anims/Run.fbx", "run"},
                         {"Sounds/roar.ogg", "roar"},
                         {"Textures/Dino_D.png", "png"}});
    writeText(ws("dino") + "/build/build.log", "old log");
    service.script({{"expectArchive", kept()}});
    t.send(remoteCommand("dino", "Dino.fbx|anims/Run.fbx|anims\\Run.fbx|Sounds/roar.ogg"));
    std::vector<json> seen = untilIdle();
    EXPECT_EQ(remote(seen),
              (std::vector<std::string>{
                  "preparing|Collecting files", "preparing|Preparing textures", "preparing|Packing",
                  "uploading|Uploading 100 %", "uploading|Checking the upload",
                  "queued|Waiting, position 2", "queued|Waiting, position 1", "running|running",
                  "done|done", "done|Pak downloaded"}));
    EXPECT_EQ(notices(seen),
              (Notices{{false, "Uploaded. The build server takes it from here."},
                       {false,
                        "Build finished. The species is in client-mods and server-mods. Restart "
                        "the server to load it."}}));
    EXPECT_EQ(logLines(seen),
              (std::vector<std::string>{"Queued for dino.", "Building species dino.",
                                        "Cooking assets.", "Build finished."}));
    for (const char* folder : {"/client-mods/", "/server-mods/"}) {
        for (const char* ext : {"pak", "utoc", "ucas"}) {
            EXPECT_EQ(readText(t.root() + folder + "species_dino." + ext),
                      std::string(ext) + " of dino");
        }
    }
    EXPECT_EQ(readText(ws("dino") + "/build/build.log"),
              "Queued for dino.\nBuilding species dino.\nCooking assets.\nBuild finished.\n");
    EXPECT_FALSE(exists(jobFile("dino")));
    EXPECT_FALSE(exists(downloadFolder(t.root(), "dino")));
    expectNoStagingLeft("dino");
    EXPECT_EQ(waits(), std::vector<std::uint32_t>(5, 2000)) << "one 2-second wait per poll";
    EXPECT_EQ(service.state()["uploads"]["up-1"]["matchesArchive"], true);
    // The archive holds the definition, the listed files and the prepared textures.
    const std::string listing = RecordingTar::listing(kept());
    for (const char* entry : {"species.json", "source/Dino.fbx", "source/anims/Run.fbx",
                              "source/Sounds/roar.ogg", "build/textures/manifest.json"}) {
        EXPECT_NE(listing.find(entry), std::string::npos) << entry << " in\n" << listing;
    }
    // The species message after the upload showed the job; the last one shows it gone.
    bool sawJob = false;
    for (const json& m : seen) {
        if (m["type"] == "species" && !m["items"].empty())
            sawJob |= m["items"][0]["remoteJob"] == true;
    }
    EXPECT_TRUE(sawJob);
    EXPECT_EQ(seen.back()["type"], "species");
    EXPECT_EQ(seen.back()["items"][0]["remoteJob"], false);
    EXPECT_EQ(seen.back()["items"][0]["pak"], true);
}

TEST(Staging, LinksFilesAndKeepsTheirFolders) {
    TempDir dir;
    const std::string ws = dir / "ws", work = dir / "work";
    writeText(ws + "/species.json", "{}");
    writeText(ws + "/source/a.fbx", "a");
    writeText(ws + "/source/anims/run.fbx", "run");
    writeText(dir / "outside.fbx", "outside");
    std::filesystem::create_directories(work + "/source");
    // Where links can be made (not under Wine), one in the workspace goes as the file it names.
    const bool linked = makeSymlink(dir / "outside.fbx", ws + "/source/linked.fbx");
    EXPECT_EQ(splitFileList("a.fbx||anims/run.fbx|"),
              (std::vector<std::string>{"a.fbx", "anims/run.fbx"}));
    std::vector<std::string> files = {"a.fbx", "anims/run.fbx", "anims\\run.fbx"};
    if (linked) files.push_back("linked.fbx");
    EXPECT_EQ(stageSpecies(ws, work, files), "");
    EXPECT_EQ(hardLinkCount(work + "/source/a.fbx"), 2u) << "a hard link, not a copy";
    EXPECT_EQ(readText(work + "/source/anims/run.fbx"), "run");
    EXPECT_EQ(readText(work + "/species.json"), "{}");
    if (!linked) return;
    EXPECT_TRUE(std::filesystem::is_regular_file(
        std::filesystem::symlink_status(work + "/source/linked.fbx")));
    EXPECT_EQ(readText(work + "/source/linked.fbx"), "outside");
}

}  // namespace

}  // namespace remote
