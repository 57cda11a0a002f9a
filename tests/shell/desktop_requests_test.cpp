// What the desktop window serves the page, and the resize band around it: the parts that need
// no display.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/desktop.h"
#include "support/test_app.h"

namespace {

namespace fs = std::filesystem;
using platform::ResizeEdge;
using platform::resizeEdgeAt;

// The open file, or an empty handle; `error` gets 0 or the failure's code.
platform::FileHandle openReporting(const std::string& folder, const std::string& relative,
                                   int* error) {
    platform::Result<platform::FileHandle> file = platform::openInsideFolder(folder, relative);
    *error = file ? 0 : file.error().code;
    return file ? std::move(*file) : platform::FileHandle();
}

const std::string kApp = "forgeset://app.varraforgeset.invalid";
const std::string kAssets = "forgeset://assets.varraforgeset.invalid";
const std::string kSpecies = "forgeset://species.varraforgeset.invalid";

std::string readAll(int fd) {
    std::string bytes;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, static_cast<std::size_t>(n));
    return bytes;
}

std::string header(const platform::PageAnswer& answer, const std::string& name) {
    for (const auto& [key, value] : answer.headers) {
        if (key == name) return value;
    }
    return "<absent>";
}

// ---------------------------------------------------------------- resize band

TEST(DesktopResizeBand, CornersAndEdgesOfAnEightPixelBand) {
    const int w = 1280, h = 860;
    EXPECT_EQ(resizeEdgeAt(0, 0, w, h, false), ResizeEdge::topLeft);
    EXPECT_EQ(resizeEdgeAt(7, 7, w, h, false), ResizeEdge::topLeft);
    EXPECT_EQ(resizeEdgeAt(1279, 0, w, h, false), ResizeEdge::topRight);
    EXPECT_EQ(resizeEdgeAt(0, 859, w, h, false), ResizeEdge::bottomLeft);
    EXPECT_EQ(resizeEdgeAt(1272, 852, w, h, false), ResizeEdge::bottomRight);
    EXPECT_EQ(resizeEdgeAt(640, 0, w, h, false), ResizeEdge::top);
    EXPECT_EQ(resizeEdgeAt(640, 859, w, h, false), ResizeEdge::bottom);
    EXPECT_EQ(resizeEdgeAt(0, 400, w, h, false), ResizeEdge::left);
    EXPECT_EQ(resizeEdgeAt(1279, 400, w, h, false), ResizeEdge::right);
}

TEST(DesktopResizeBand, TheBandEndsAfterEightPixels) {
    const int w = 1280, h = 860;
    EXPECT_EQ(resizeEdgeAt(8, 400, w, h, false), ResizeEdge::none);
    EXPECT_EQ(resizeEdgeAt(7, 400, w, h, false), ResizeEdge::left);
    EXPECT_EQ(resizeEdgeAt(1271, 400, w, h, false), ResizeEdge::none);
    EXPECT_EQ(resizeEdgeAt(1272, 400, w, h, false), ResizeEdge::right);
    EXPECT_EQ(resizeEdgeAt(640, 8, w, h, false), ResizeEdge::none);
    EXPECT_EQ(resizeEdgeAt(640, 851, w, h, false), ResizeEdge::none);
    EXPECT_EQ(resizeEdgeAt(640, 852, w, h, false), ResizeEdge::bottom);
    // A corner needs both coordinates inside the band.
    EXPECT_EQ(resizeEdgeAt(8, 7, w, h, false), ResizeEdge::top);
    EXPECT_EQ(resizeEdgeAt(7, 8, w, h, false), ResizeEdge::left);
    EXPECT_EQ(resizeEdgeAt(400, 300, w, h, false), ResizeEdge::none);
}

TEST(DesktopResizeBand, LeftWinsOverRightAndTopOverBottomInATinyWindow) {
    // Ten pixels square: every point is in both opposite bands.
    EXPECT_EQ(resizeEdgeAt(5, 5, 10, 10, false), ResizeEdge::topLeft);
    // Narrow only: left before right.
    EXPECT_EQ(resizeEdgeAt(5, 300, 10, 600, false), ResizeEdge::left);
    EXPECT_EQ(resizeEdgeAt(5, 595, 10, 600, false), ResizeEdge::bottomLeft);
    // Low only: top before bottom.
    EXPECT_EQ(resizeEdgeAt(300, 5, 600, 10, false), ResizeEdge::top);
    EXPECT_EQ(resizeEdgeAt(595, 5, 600, 10, false), ResizeEdge::topRight);
}

TEST(DesktopResizeBand, AMaximisedWindowHasNoBand) {
    EXPECT_EQ(resizeEdgeAt(0, 0, 1280, 860, true), ResizeEdge::none);
    EXPECT_EQ(resizeEdgeAt(1279, 400, 1280, 860, true), ResizeEdge::none);
    EXPECT_EQ(resizeEdgeAt(640, 859, 1280, 860, true), ResizeEdge::none);
}

TEST(DesktopResizeBand, OutsideTheWindowCountsAsTheNearestBand) {
    // A press can be reported just outside the window while a drag crosses its edge.
    EXPECT_EQ(resizeEdgeAt(-3, 400, 1280, 860, false), ResizeEdge::left);
    EXPECT_EQ(resizeEdgeAt(1300, 900, 1280, 860, false), ResizeEdge::bottomRight);
}

// ---------------------------------------------------------------- addresses

TEST(DesktopPageUri, SplitsHostAndPath) {
    auto parts = platform::splitPageUri(kAssets + "/models/a.glb?v=1#x");
    EXPECT_EQ(parts.host, "assets.varraforgeset.invalid");
    EXPECT_EQ(parts.path, "/models/a.glb");
    parts = platform::splitPageUri("forgeset://APP.VarraForgeset.Invalid");
    EXPECT_EQ(parts.host, "app.varraforgeset.invalid");
    EXPECT_EQ(parts.path, "/");
    parts = platform::splitPageUri("forgeset://species.varraforgeset.invalid#/a");
    EXPECT_EQ(parts.path, "/");
    // Nothing is decoded here.
    EXPECT_EQ(platform::splitPageUri(kSpecies + "/a%20b/c").path, "/a%20b/c");
}

TEST(DesktopPageUri, HostUrlsAndOriginUseThePrivateScheme) {
    EXPECT_EQ(platform::pageHostUrl(platform::kAssetsHost), kAssets + "/");
    EXPECT_EQ(platform::pageHostUrl(platform::kSpeciesHost), kSpecies + "/");
    EXPECT_EQ(platform::pageOrigin(), kApp);
}

// ---------------------------------------------------------------- confinement

TEST(DesktopConfinement, DecodesEachSegmentOnce) {
    EXPECT_EQ(platform::confinedRelativePath("/a.png"), "a.png");
    EXPECT_EQ(platform::confinedRelativePath("/Wolf%20Pack/species.json"),
              "Wolf Pack/species.json");
    EXPECT_EQ(platform::confinedRelativePath("/%C3%BCber/x"),
              "\xC3\xBC"
              "ber/x");
    // A doubly encoded dot stays a name with a percent sign in it.
    EXPECT_EQ(platform::confinedRelativePath("/%252e%252e/x"), "%2e%2e/x");
    EXPECT_EQ(platform::confinedRelativePath("/...."), "....");
    EXPECT_EQ(platform::confinedRelativePath("/.hidden"), ".hidden");
}

TEST(DesktopConfinement, RefusesEveryWayUpOrOut) {
    for (const char* path : {
             "/../secret",
             "/a/../../secret",
             "/%2e%2e/secret",
             "/%2E%2e/secret",
             "/.%2e/secret",
             "/a/%2E/b",
             "/./a",
             "/..%2Fsecret",
             "/..%2fsecret",
             "/a%5C..%5Csecret",
             "/a\\..\\secret",
             "/a%00.png",
             "/a%",
             "/a%2",
             "/a%zz",
             "/a//b",
             "/a/",
             "/",
             "",
             "relative/path",
         }) {
        EXPECT_EQ(platform::confinedRelativePath(path), std::nullopt) << path;
    }
}

class DesktopFolderFiles : public ::testing::Test {
  protected:
    DesktopFolderFiles() {
        fs::create_directories(folder() + "/sub");
        writeText(folder() + "/a.txt", "alpha");
        writeText(folder() + "/sub/b.json", "{\"b\":1}");
        writeText(dir.path() + "/secret.txt", "secret");
    }
    std::string folder() const { return dir.path() + "/assets"; }

    platform::FileHandle open(const std::string& relative, int* error) {
        return openReporting(folder(), relative, error);
    }

    TempDir dir;
};

TEST_F(DesktopFolderFiles, OpensRegularFilesInside) {
    int error = -1;
    platform::FileHandle file = open("sub/b.json", &error);
    ASSERT_TRUE(file);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(readAll(file.get()), "{\"b\":1}");
}

TEST_F(DesktopFolderFiles, MissingFilesAreNotFound) {
    int error = 0;
    EXPECT_FALSE(open("none.txt", &error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_FALSE(open("a.txt/x", &error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_FALSE(openReporting(dir.path() + "/nowhere", "a.txt", &error));
    EXPECT_EQ(error, ENOENT);
}

TEST_F(DesktopFolderFiles, RefusesFoldersAndPipes) {
    int error = 0;
    EXPECT_FALSE(open("sub", &error));
    EXPECT_EQ(error, EACCES);
    ASSERT_EQ(::mkfifo((folder() + "/pipe").c_str(), 0600), 0);
    // Must return at once instead of waiting for a writer.
    EXPECT_FALSE(open("pipe", &error));
    EXPECT_EQ(error, EACCES);
}

TEST_F(DesktopFolderFiles, LinksMayPointInsideButNeverOut) {
    fs::create_symlink("sub/b.json", folder() + "/inside-link.json");
    fs::create_symlink("../secret.txt", folder() + "/outside-link.txt");
    fs::create_symlink(dir.path(), folder() + "/up");
    int error = 0;
    platform::FileHandle inside = open("inside-link.json", &error);
    ASSERT_TRUE(inside);
    EXPECT_EQ(readAll(inside.get()), "{\"b\":1}");
    EXPECT_FALSE(open("outside-link.txt", &error));
    EXPECT_EQ(error, EACCES);
    EXPECT_FALSE(open("up/secret.txt", &error));
    EXPECT_EQ(error, EACCES);
}

TEST_F(DesktopFolderFiles, AFolderThatIsItselfALinkServesItsOwnFiles) {
    // The species folder may be linked from elsewhere; its files are still its own.
    fs::create_directory_symlink(folder(), dir.path() + "/linked");
    int error = 0;
    platform::FileHandle file = openReporting(dir.path() + "/linked", "a.txt", &error);
    ASSERT_TRUE(file);
    EXPECT_EQ(readAll(file.get()), "alpha");
    // A sibling whose name starts like the folder's is still outside it.
    fs::create_directories(dir.path() + "/assets-other");
    writeText(dir.path() + "/assets-other/x.txt", "x");
    fs::create_symlink("../assets-other/x.txt", folder() + "/sibling.txt");
    EXPECT_FALSE(open("sibling.txt", &error));
}

// ---------------------------------------------------------------- answers

class DesktopPageRequests : public DesktopFolderFiles {
  protected:
    DesktopPageRequests() {
        fs::create_directories(speciesRoot + "/Wolf Pack");
        writeText(speciesRoot + "/Wolf Pack/species.json", "{\"name\":\"Wolf Pack\"}");
        sources.embedded = [](std::string_view uri) -> std::optional<platform::PageFile> {
            auto path = platform::splitPageUri(uri).path;
            if (path == "/" || path == "/index.html")
                return platform::PageFile{"<!doctype html>", "text/html"};
            return std::nullopt;
        };
        sources.assetsFolder = [this] { return folder(); };
        sources.speciesFolder = [this] { return species; };
    }

    platform::PageAnswer get(const std::string& uri, std::string_view method = "GET") {
        return platform::answerPageRequest(sources, method, uri);
    }

    std::string speciesRoot = dir.path() + "/server/species";
    std::string species = speciesRoot;
    platform::PageSources sources;
};

TEST_F(DesktopPageRequests, ThePageComesFromTheAppHostWithoutCaching) {
    platform::PageAnswer answer = get(kApp + "/index.html");
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "<!doctype html>");
    EXPECT_EQ(answer.contentType, "text/html");
    EXPECT_EQ(header(answer, "Cache-Control"), "no-cache");
    EXPECT_EQ(header(answer, "Access-Control-Allow-Origin"), "<absent>");
    EXPECT_FALSE(answer.file);
}

TEST_F(DesktopPageRequests, UnknownPathsAndHostsAreNotFound) {
    EXPECT_EQ(get(kApp + "/missing.js").status, 404);
    // The app host never serves a folder.
    EXPECT_EQ(get(kApp + "/a.txt").status, 404);
    EXPECT_EQ(get("forgeset://elsewhere.invalid/index.html").status, 404);
    EXPECT_EQ(get(kAssets + "/none.txt").status, 404);
}

TEST_F(DesktopPageRequests, ThePagesOwnFilesAnswerOnEveryHost) {
    platform::PageAnswer answer = get(kSpecies + "/index.html");
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "<!doctype html>");
}

TEST_F(DesktopPageRequests, FolderFilesCarryTheirTypeAndOpenThemToThePageOnly) {
    platform::PageAnswer answer = get(kAssets + "/sub/b.json");
    ASSERT_EQ(answer.status, 200);
    ASSERT_TRUE(answer.file);
    EXPECT_EQ(answer.fileSize, 7u);
    EXPECT_EQ(readAll(answer.file.get()), "{\"b\":1}");
    EXPECT_EQ(answer.contentType, "application/json");
    EXPECT_EQ(header(answer, "Access-Control-Allow-Origin"), kApp);
    EXPECT_EQ(header(answer, "Cache-Control"), "no-cache");
    EXPECT_EQ(header(answer, "Content-Security-Policy"), "sandbox; default-src 'none'");

    answer = get(kSpecies + "/Wolf%20Pack/species.json?t=5");
    ASSERT_EQ(answer.status, 200);
    EXPECT_EQ(readAll(answer.file.get()), "{\"name\":\"Wolf Pack\"}");
}

TEST_F(DesktopPageRequests, TheSpeciesHostFollowsTheServerFolder) {
    species.clear();
    EXPECT_EQ(get(kSpecies + "/Wolf%20Pack/species.json").status, 404);
    // A new folder is seen by the very next request.
    const std::string other = dir.path() + "/other/species";
    fs::create_directories(other + "/Wolf Pack");
    writeText(other + "/Wolf Pack/species.json", "other");
    species = other;
    platform::PageAnswer answer = get(kSpecies + "/Wolf%20Pack/species.json");
    ASSERT_EQ(answer.status, 200);
    EXPECT_EQ(readAll(answer.file.get()), "other");
}

TEST_F(DesktopPageRequests, EscapesAreRefusedAndServeNothing) {
    fs::create_symlink("../secret.txt", folder() + "/outside-link.txt");
    for (std::string path : {"/%2e%2e/secret.txt", "/..%2Fsecret.txt", "/sub/..%2F..%2Fsecret.txt",
                             "/outside-link.txt", "/sub", "/sub/"}) {
        platform::PageAnswer answer = get(kAssets + path);
        EXPECT_EQ(answer.status, 403) << path;
        EXPECT_FALSE(answer.file) << path;
        // The page may learn that it was refused, and nothing more.
        EXPECT_EQ(header(answer, "Access-Control-Allow-Origin"), kApp) << path;
        EXPECT_EQ(answer.body, "Forbidden") << path;
    }
}

TEST_F(DesktopPageRequests, OnlyReadsAreAnswered) {
    EXPECT_EQ(get(kAssets + "/a.txt", "HEAD").status, 200);
    platform::PageAnswer answer = get(kAssets + "/a.txt", "POST");
    EXPECT_EQ(answer.status, 405);
    EXPECT_FALSE(answer.file);
    EXPECT_EQ(get(kApp + "/index.html", "DELETE").status, 405);
}

TEST(DesktopFolderFileType, ByEndingWithoutRegardToCase) {
    EXPECT_EQ(platform::folderFileType("a/B.PNG"), "image/png");
    EXPECT_EQ(platform::folderFileType("model.glb"), "model/gltf-binary");
    EXPECT_EQ(platform::folderFileType("species.json"), "application/json");
    EXPECT_EQ(platform::folderFileType("howl.Ogg"), "audio/ogg");
    EXPECT_EQ(platform::folderFileType("rig.fbx"), "application/octet-stream");
    EXPECT_EQ(platform::folderFileType("json"), "application/octet-stream");
}

TEST(DesktopFileDialogPattern, MatchesEitherCase) {
    EXPECT_EQ(platform::caseInsensitivePattern("*.wav"), "*.[wW][aA][vV]");
    EXPECT_EQ(platform::caseInsensitivePattern("*.Mp3"), "*.[mM][pP]3");
    EXPECT_EQ(platform::caseInsensitivePattern("*"), "*");
}

}  // namespace
