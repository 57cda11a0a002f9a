// Result archives from a hostile or broken service: whatever they hold, nothing is written
// outside the download folder and only regular files the archive brought are installed.
#include <sys/stat.h>

#include <cstdlib>

#include "remote_fixture.h"

namespace remote {

namespace {

class InstallTest : public RemoteTest {
  protected:
    InstallTest() {
        signIn();
        makeSpecies("dino", {});
        writeText(ws("dino") + "/build/build.log", "the old log");
        writeText(secret(), "the owner's secret");
    }

    std::string secret() const { return t.home / "secret.txt"; }
    std::string staging() const { return t.home / "archive"; }

    // Packs the staging folder as `name` with bsdtar (extra options before the entries).
    std::string pack(const std::string& name, const std::string& options = "") {
        const std::string archive = t.home / name;
        std::filesystem::remove(archive);
        const std::string line = "cd '" + staging() + "' && /usr/bin/bsdtar " + options + " -cf '" +
                                 archive + "' * 2>/dev/null";
        EXPECT_EQ(std::system(line.c_str()), 0) << line;
        return archive;
    }

    void stageGoodFiles(const std::vector<std::string>& extensions = {".pak", ".utoc", ".ucas"}) {
        std::filesystem::remove_all(staging());
        std::filesystem::create_directories(staging());
        for (const std::string& ext : extensions)
            writeText(staging() + "/species_dino" + ext, ext + " bytes");
    }

    std::vector<json> installFrom(const std::string& archive) {
        for (const char* folder : {"/client-mods", "/server-mods"})
            std::filesystem::remove_all(t.root() + folder);
        service.script({{"jobs",
                         {{{"id", "j1"},
                           {"species", "dino"},
                           {"stages", {{{"state", "done"}}}},
                           {"result", archive}}}}});
        writeText(jobFile("dino"), "j1");
        t.send(cmd("buildResume", "name", "dino"));
        return untilIdle();
    }

    // The installed files that are regular files holding what the archive brought.
    int installedGood() const {
        int count = 0;
        for (const char* folder : {"/client-mods/", "/server-mods/"}) {
            for (const char* ext : {".pak", ".utoc", ".ucas"}) {
                const std::string path = t.root() + folder + "species_dino" + ext;
                struct stat st {};
                if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                    readText(path) == std::string(ext) + " bytes") {
                    ++count;
                }
            }
        }
        return count;
    }

    // No installed file holds the secret or links anywhere.
    void expectNothingOfTheSecret() {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(t.root())) {
            if (entry.is_symlink()) ADD_FAILURE() << "a link was installed: " << entry.path();
            if (entry.is_regular_file()) {
                EXPECT_NE(readText(entry.path()), "the owner's secret") << entry.path();
            }
        }
        EXPECT_EQ(readText(secret()), "the owner's secret");
    }
};

TEST_F(InstallTest, EntriesThatLeaveTheFolderAreNotWritten) {
    stageGoodFiles();
    writeText(staging() + "/escape.txt", "escaped");
    writeText(staging() + "/abs.txt", "absolute");
    const std::string outside = t.home / "abs.txt";
    const std::string archive =
        pack("dots.zip", "--format zip -P -s ',^escape.txt$,../../escape.txt,' -s ',^abs.txt$," +
                             outside + ",'");
    std::vector<json> seen = installFrom(archive);
    EXPECT_EQ(installedGood(), 6);
    EXPECT_EQ(notices(seen).back().second.substr(0, 14), "Build finished");
    EXPECT_FALSE(exists(outside));
    EXPECT_FALSE(exists(t.appData() + "/escape.txt"));
    EXPECT_FALSE(exists(t.appData() + "/build-download/escape.txt"));
}

TEST_F(InstallTest, LinksAndSpecialFilesAreNeverInstalled) {
    struct Case {
        std::string name;
        std::function<void()> arrange;
        std::string format;
        int good;
    } cases[] = {
        {"the .pak is a link to a file elsewhere",
         [this] {
             stageGoodFiles({".utoc", ".ucas"});
             std::filesystem::create_symlink(secret(), staging() + "/species_dino.pak");
         },
         "--format zip", 4},
        {"the .utoc is a FIFO",
         [this] {
             stageGoodFiles({".pak", ".ucas"});
             ASSERT_EQ(::mkfifo((staging() + "/species_dino.utoc").c_str(), 0644), 0);
         },
         "--format pax", 4},
        {"the .ucas is a second name of another file",
         [this] {
             stageGoodFiles({".pak", ".utoc"});
             writeText(staging() + "/other", ".ucas bytes");
             std::filesystem::create_hard_link(staging() + "/other",
                                               staging() + "/species_dino.ucas");
         },
         "--format pax", 4},
        {"a folder link with a file written through it",
         [this] {
             stageGoodFiles();
             std::filesystem::create_directory_symlink(t.home.path(), staging() + "/d");
         },
         "--format pax -s ',^species_dino.pak$,d/planted.pak,'", 4},
        {"build.log links to the secret",
         [this] {
             stageGoodFiles();
             std::filesystem::create_symlink(secret(), staging() + "/build.log");
         },
         "--format zip", 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        std::vector<json> seen = installFrom(pack("result.zip", c.format));
        EXPECT_EQ(installedGood(), c.good);
        EXPECT_EQ(remote(seen).back(),
                  c.good == 6 ? "done|Pak downloaded" : "failed|Result incomplete");
        expectNothingOfTheSecret();
        EXPECT_FALSE(exists(t.home / "planted.pak"));
        EXPECT_EQ(readText(ws("dino") + "/build/build.log"), "the old log");
        EXPECT_FALSE(exists(jobFile("dino")));
    }
}

}  // namespace

}  // namespace remote
