#include "platform/folder_access.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <filesystem>

#include "support/test_app.h"
#include "symlinks.h"

namespace fs = std::filesystem;

namespace {

// Requests name folder files below a prefix such as "/assets": the tail after it.
std::optional<std::string> folderRelativePath(const std::string& tail) {
    return platform::confinedRelativePath("/" + tail);
}

// The descriptor is the C runtime's on every system.
long long readAll(int fd, std::string& bytes) {
#ifdef _WIN32
    return ::_read(fd, bytes.data(), static_cast<unsigned>(bytes.size()));
#else
    return ::read(fd, bytes.data(), bytes.size());
#endif
}

// The bytes of the file that would be served, or nothing.
std::optional<std::string> servedBytes(const std::string& folder, const std::string& relative) {
    platform::Result<platform::FileHandle> file = platform::openInsideFolder(folder, relative);
    if (!file) return std::nullopt;
    platform::Result<std::uint64_t> size = platform::openFileSize(*file);
    if (!size) return std::nullopt;
    std::string bytes(*size, '\0');
    if (readAll(file->get(), bytes) != static_cast<long long>(bytes.size())) return std::nullopt;
    return bytes;
}

}  // namespace

TEST(ServedFolderPaths, PlainPathsAreDecodedOnce) {
    EXPECT_EQ(folderRelativePath("models/wolf.glb"), "models/wolf.glb");
    EXPECT_EQ(folderRelativePath("my%20model.fbx"), "my model.fbx");
    EXPECT_EQ(folderRelativePath("%C3%A9t%C3%A9.png"), "\xC3\xA9t\xC3\xA9.png");
    // Decoded once only: what was an escape stays text.
    EXPECT_EQ(folderRelativePath("%252e%252e/x"), "%2e%2e/x");
    // Names may hold dots, just not be made of one or two.
    EXPECT_EQ(folderRelativePath("a..b/.hidden/...png"), "a..b/.hidden/...png");
}

TEST(ServedFolderPaths, DotSegmentsAreRefused) {
    EXPECT_EQ(folderRelativePath(".."), std::nullopt);
    EXPECT_EQ(folderRelativePath("../secret.txt"), std::nullopt);
    EXPECT_EQ(folderRelativePath("models/../../secret.txt"), std::nullopt);
    EXPECT_EQ(folderRelativePath("models/.."), std::nullopt);
    EXPECT_EQ(folderRelativePath("./x.png"), std::nullopt);
    EXPECT_EQ(folderRelativePath("models/./x.png"), std::nullopt);
}

TEST(ServedFolderPaths, EmptySegmentsAreRefused) {
    EXPECT_EQ(folderRelativePath(""), std::nullopt);
    EXPECT_EQ(folderRelativePath("/etc/passwd"), std::nullopt);
    EXPECT_EQ(folderRelativePath("models//x.png"), std::nullopt);
    EXPECT_EQ(folderRelativePath("models/"), std::nullopt);
}

TEST(ServedFolderPaths, EscapedSeparatorsAndDotsAreRefused) {
    // Each of these would be a plain, harmless name once decoded; only the escape gives them
    // away, and nobody but a trick escapes these characters.
    EXPECT_EQ(folderRelativePath("models%2Fx.png"), std::nullopt);
    EXPECT_EQ(folderRelativePath("models%2fx.png"), std::nullopt);
    EXPECT_EQ(folderRelativePath("x%2Epng"), std::nullopt);
    EXPECT_EQ(folderRelativePath("%2e%2e/secret.txt"), std::nullopt);
    EXPECT_EQ(folderRelativePath("%2E%2E%2Fsecret.txt"), std::nullopt);
}

TEST(ServedFolderPaths, BackslashesInAnyFormAreRefused) {
    EXPECT_EQ(folderRelativePath("models\\x.png"), std::nullopt);
    EXPECT_EQ(folderRelativePath("..\\secret.txt"), std::nullopt);
    EXPECT_EQ(folderRelativePath("..%5csecret.txt"), std::nullopt);
    EXPECT_EQ(folderRelativePath("models%5Cx.png"), std::nullopt);
}

TEST(ServedFolderPaths, NulAndControlCharactersAreRefused) {
    EXPECT_EQ(folderRelativePath("x.png%00.txt"), std::nullopt);
    EXPECT_EQ(folderRelativePath(std::string("x.png\0.txt", 10)), std::nullopt);
    EXPECT_EQ(folderRelativePath("x%0A.png"), std::nullopt);
    EXPECT_EQ(folderRelativePath("x%0d.png"), std::nullopt);
    EXPECT_EQ(folderRelativePath("x\t.png"), std::nullopt);
    EXPECT_EQ(folderRelativePath("x%7F.png"), std::nullopt);
}

TEST(ServedFolderPaths, MalformedEscapesAreRefused) {
    EXPECT_EQ(folderRelativePath("x%"), std::nullopt);
    EXPECT_EQ(folderRelativePath("x%4"), std::nullopt);
    EXPECT_EQ(folderRelativePath("x%zz.png"), std::nullopt);
    EXPECT_EQ(folderRelativePath("x%4g.png"), std::nullopt);
}

class ServedFolderFiles : public ::testing::Test {
  protected:
    ServedFolderFiles() {
        fs::create_directories(folder() + "/models");
        writeText(folder() + "/models/wolf.glb", "GLB");
        writeText(dir / "secret.txt", "SECRET");
        fs::create_directories(dir / "outside");
        writeText(dir / "outside/other.png", "OTHER");
    }
    std::string folder() const { return dir / "assets"; }
    TempDir dir;
};

TEST_F(ServedFolderFiles, FilesInsideAreFound) {
    EXPECT_EQ(servedBytes(folder(), "models/wolf.glb"), "GLB");
}

TEST_F(ServedFolderFiles, MissingFilesAndFoldersAreNotServed) {
    EXPECT_EQ(servedBytes(folder(), "models/missing.glb"), std::nullopt);
    EXPECT_EQ(servedBytes(folder(), "models"), std::nullopt);
    EXPECT_EQ(servedBytes(dir / "no-such-folder", "x.png"), std::nullopt);
    EXPECT_EQ(servedBytes("", "x.png"), std::nullopt);
}

TEST_F(ServedFolderFiles, DotSegmentsThatGetThisFarAreResolvedBeforeTheCheck) {
    // Dot segments never get here, but should one, it is resolved before the check.
    EXPECT_EQ(servedBytes(folder(), "../secret.txt"), std::nullopt);
    EXPECT_EQ(servedBytes(folder(), "models/../../secret.txt"), std::nullopt);
    EXPECT_EQ(servedBytes(folder(), "models/../models/wolf.glb"), "GLB");
#ifdef _WIN32
    // Windows takes a backslash as a separator too.
    EXPECT_EQ(servedBytes(folder(), "..\\secret.txt"), std::nullopt);
    EXPECT_EQ(servedBytes(folder(), "models\\wolf.glb"), "GLB");
#endif
}

TEST_F(ServedFolderFiles, LinksOutOfTheFolderAreNotFollowed) {
    MAKE_SYMLINK_OR_SKIP(dir / "secret.txt", folder() + "/secret.png");
    ASSERT_TRUE(makeSymlink(dir / "outside", folder() + "/linked", true));
    ASSERT_TRUE(makeSymlink("../../secret.txt", folder() + "/models/relative.png"));
    EXPECT_EQ(servedBytes(folder(), "secret.png"), std::nullopt);
    EXPECT_EQ(servedBytes(folder(), "linked/other.png"), std::nullopt);
    EXPECT_EQ(servedBytes(folder(), "models/relative.png"), std::nullopt);
}

TEST_F(ServedFolderFiles, AFolderNamedLikeThePrefixOfAnotherIsOutside) {
    fs::create_directories(dir / "assets2");
    writeText(dir / "assets2/x.png", "X");
    MAKE_SYMLINK_OR_SKIP(dir / "assets2/x.png", folder() + "/x.png");
    EXPECT_EQ(servedBytes(folder(), "x.png"), std::nullopt);
}

TEST_F(ServedFolderFiles, LinksThatStayInsideAreServed) {
    MAKE_SYMLINK_OR_SKIP("models/wolf.glb", folder() + "/alias.glb");
    EXPECT_EQ(servedBytes(folder(), "alias.glb"), "GLB");
}

TEST_F(ServedFolderFiles, TheFolderItselfMayBeALink) {
    MAKE_SYMLINK_OR_SKIP(folder(), dir / "assets-link", true);
    EXPECT_EQ(servedBytes(dir / "assets-link", "models/wolf.glb"), "GLB");
}

TEST(ServedFolderTypes, ByEndingWithoutRegardToCase) {
    EXPECT_EQ(platform::folderFileType("a/b.html"), "text/html");
    EXPECT_EQ(platform::folderFileType("b.css"), "text/css");
    EXPECT_EQ(platform::folderFileType("b.js"), "text/javascript");
    EXPECT_EQ(platform::folderFileType("b.PNG"), "image/png");
    EXPECT_EQ(platform::folderFileType("b.svg"), "image/svg+xml");
    EXPECT_EQ(platform::folderFileType("species.json"), "application/json");
    EXPECT_EQ(platform::folderFileType("wolf.glb"), "model/gltf-binary");
    EXPECT_EQ(platform::folderFileType("wolf.fbx"), "application/octet-stream");
    EXPECT_EQ(platform::folderFileType("howl.wav"), "audio/wav");
    EXPECT_EQ(platform::folderFileType("howl.ogg"), "audio/ogg");
    EXPECT_EQ(platform::folderFileType("howl.mp3"), "audio/mpeg");
    EXPECT_EQ(platform::folderFileType("skin.jpg"), "image/jpeg");
    EXPECT_EQ(platform::folderFileType("skin.jpeg"), "image/jpeg");
    EXPECT_EQ(platform::folderFileType("notes"), "application/octet-stream");
    EXPECT_EQ(platform::folderFileType("x.glb.exe"), "application/octet-stream");
}
