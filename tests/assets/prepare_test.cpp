// prepare-textures run as the real program: a species definition naming generated textures of
// odd sizes and formats, and definitions that name files it must refuse.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "assets/helper_process.h"
#include "assets/test_images.h"

namespace assets_test {
namespace {

using nlohmann::json;

// A species workspace (species.json and source/) and an upload work folder beside it.
struct Workspace {
    TempDir dir;
    fs::path ws = dir / "rex";
    fs::path source = ws / "source";
    fs::path out = dir / "upload/build/textures";

    void define(const json& textures, const json& maxTextureSize = nullptr) {
        json definition = {{"version", 1}, {"name", "rex"}, {"source", {{"textures", textures}}}};
        if (!maxTextureSize.is_null()) definition["source"]["maxTextureSize"] = maxTextureSize;
        writeText(ws / "species.json", definition.dump(2));
    }
    HelperRun prepare() const {
        return runHelper(
            {"prepare-textures", (ws / "species.json").string(), source.string(), out.string()});
    }
};

TEST(PrepareTextures, ScalesEachTextureDownToTheLimitAndNeverUp) {
    struct Case {
        const char* file;
        int width, height, channels;
        const char* type;
        int limit;  // 0: the definition names none
        int outWidth, outHeight;
        const char* written;
    };
    const Case cases[] = {
        {"T_Body_D.png", 4096, 2048, 3, "diffuse", 2048, 2048, 1024, "T_Body_D.png"},
        {"Maps/T_Body_N.tga", 3000, 1000, 4, "normal", 1024, 1024, 341, "Maps/T_Body_N.png"},
        {"T_Eyes_D.jpg", 300, 200, 3, "diffuse", 1024, 300, 200, "T_Eyes_D.png"},
        {"T_Tall_M.png", 1000, 3000, 1, "mask", 0, 683, 2048, "T_Tall_M.png"},
        {"T_Fins_D.png", 5000, 5000, 2, "diffuse", 4096, 4096, 4096, "T_Fins_D.png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Workspace w;
        ASSERT_TRUE(writeSolidImage(w.source / c.file, c.width, c.height, c.channels));
        json limit = c.limit == 0 ? json(nullptr) : json(c.limit);
        w.define(json::array({{{"slot", "Body"}, {c.type, c.file}}}), limit);
        // A manifest left by an earlier run must not survive into this one's result.
        writeText(w.out / "manifest.json", "{}");
        HelperRun run = w.prepare();
        EXPECT_EQ(run.exitCode, 0) << run.out;
        EXPECT_EQ(run.err, "");

        json manifest = json::parse(readText(w.out / "manifest.json"));
        EXPECT_EQ(manifest["maxTextureSize"], c.limit == 0 ? 2048 : c.limit);
        ASSERT_EQ(manifest["textures"].size(), 1u);
        json expected = {{"slot", "Body"},    {"type", c.type},      {"source", c.file},
                         {"file", c.written}, {"width", c.outWidth}, {"height", c.outHeight}};
        EXPECT_EQ(manifest["textures"][0], expected);

        ReadImage image = readImage(w.out / c.written);
        EXPECT_EQ(image.width, c.outWidth);
        EXPECT_EQ(image.height, c.outHeight);
        EXPECT_EQ(image.channels, c.channels);
        // A flat colour stays that colour through the filter, in sRGB and linear alike (JPEG
        // may wander a little).
        std::array<int, 4> colour = {200, 100, 50, 255};
        for (int ch = 0; ch < c.channels; ++ch)
            EXPECT_NEAR(image.pixels[ch], colour[ch], 3) << "channel " << ch;
    }
}

TEST(PrepareTextures, EveryTypeOfEverySlotIsPreparedOnce) {
    Workspace w;
    for (const char* file :
         {"T_Body_D.png", "T_Body_N.png", "T_Body_ORM.png", "T_Eyes_D.png", "T_Eyes.tga"})
        ASSERT_TRUE(writeSolidImage(w.source / file, 64, 32, 3));
    w.define(json::array({
        {{"slot", "Body"},
         {"diffuse", "T_Body_D.png"},
         {"normal", "T_Body_N.png"},
         {"rac", "T_Body_ORM.png"}},
        {{"slot", "Eyes"}, {"diffuse", "T_Eyes_D.png"}, {"mask", "T_Eyes.tga"}, {"normal", ""}},
    }));
    HelperRun run = w.prepare();
    ASSERT_EQ(run.exitCode, 0) << run.out;
    json manifest = json::parse(readText(w.out / "manifest.json"));
    std::vector<std::string> written;
    for (const json& t : manifest["textures"]) {
        written.push_back(t["slot"].get<std::string>() + " " + t["type"].get<std::string>() + " " +
                          t["file"].get<std::string>());
        EXPECT_TRUE(fs::is_regular_file(w.out / t["file"].get<std::string>()));
    }
    EXPECT_EQ(written,
              (std::vector<std::string>{"Body diffuse T_Body_D.png", "Body normal T_Body_N.png",
                                        "Body rac T_Body_ORM.png", "Eyes diffuse T_Eyes_D.png",
                                        "Eyes mask T_Eyes.png"}));
}

TEST(PrepareTextures, ABadTextureFailsWithOneLineNamingIt) {
    TempDir outside;
    ASSERT_TRUE(writeSolidImage(outside / "Stolen.png", 8, 8, 3));
    struct Case {
        const char* name;  // as the definition names it
        const char* says;
    };
    const Case cases[] = {
        {"T_Gone_D.png",
         "\"T_Gone_D.png\" (slot Body, diffuse) is missing from the source folder."},
        {"../Stolen.png", "\"../Stolen.png\" (slot Body, diffuse) lies outside the source folder"},
        {"Maps/../../Stolen.png", "lies outside the source folder"},
        {"/etc/hostname", "\"/etc/hostname\" (slot Body, diffuse) lies outside the source folder"},
        {"C:\\Art\\Rex.png", "lies outside the source folder"},
        {"Linked.png", "\"Linked.png\" (slot Body, diffuse) lies outside the source folder"},
        // stb declines even to report a PNG header's size this large; the TGA's it reports.
        {"Huge.png",
         "\"Huge.png\" (slot Body, diffuse) cannot be read as a PNG, TGA or JPEG image (damaged, "
         "or too large)."},
        {"Huge.tga",
         "\"Huge.tga\" (slot Body, diffuse) is 30000 x 30000, larger than the 16384 pixels a side"},
        {"Noise.png", "\"Noise.png\" (slot Body, diffuse) cannot be read as a PNG, TGA or JPEG"},
        {"Maps", "\"Maps\" (slot Body, diffuse) is missing from the source folder."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Workspace w;
        ASSERT_TRUE(writeSolidImage(w.source / "T_Good_D.png", 16, 16, 3));
        fs::create_directories(w.source / "Maps");
        fs::create_symlink(outside / "Stolen.png", w.source / "Linked.png");
        writePngClaimingSize(w.source / "Huge.png", 30000, 30000);
        writeTgaHeaderOnly(w.source / "Huge.tga", 30000, 30000);
        writeText(w.source / "Noise.png", std::string(512, 'x'));
        w.define(json::array({{{"slot", "Body"}, {"diffuse", "T_Good_D.png"}},
                              {{"slot", "Body"}, {"diffuse", c.name}}}));
        writeText(w.out / "manifest.json", "{}");

        HelperRun run = w.prepare();
        EXPECT_NE(run.exitCode, 0);
        EXPECT_EQ(run.err, "");
        EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
        EXPECT_LT(run.out.size(), 300u) << "the owner sees only the first 300 bytes";
        EXPECT_FALSE(fs::exists(w.out / "manifest.json"));
        EXPECT_FALSE(fs::exists(w.out / "Stolen.png"));
    }
}

TEST(PrepareTextures, AnUnreadableDefinitionFailsAndNoTexturesIsASuccess) {
    const std::pair<const char*, const char*> broken[] = {
        {"{\"source\": {\"textures\": [", "is not valid JSON"},
        {nullptr, "Cannot read the species definition"},
    };
    for (const auto& [text, says] : broken) {
        SCOPED_TRACE(says);
        Workspace w;
        fs::create_directories(w.source);
        if (text != nullptr) writeText(w.ws / "species.json", text);
        HelperRun run = w.prepare();
        EXPECT_NE(run.exitCode, 0);
        EXPECT_NE(run.out.find(says), std::string::npos) << run.out;
        EXPECT_FALSE(fs::exists(w.out / "manifest.json"));
    }

    Workspace w;
    writeText(w.ws / "species.json", R"({"name": "rex", "source": {"mesh": ""}})");
    HelperRun run = w.prepare();
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(json::parse(readText(w.out / "manifest.json"))["textures"], json::array());
}

TEST(GameFileCommands, SayInOneLineThatTheGameExtractorIsNeeded) {
    const std::vector<std::vector<std::string>> calls = {
        {"species"},
        {"export", "Rex", "/tmp/never-written/Rex"},
    };
    for (const auto& args : calls) {
        SCOPED_TRACE(args[0]);
        HelperRun run = runHelper(args);
        EXPECT_NE(run.out.find("needs the game's own asset extractor"), std::string::npos)
            << run.out;
        EXPECT_NE(run.out.find("tools/forgeset-assets"), std::string::npos);
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
        // The tool reads a bracketed span as a species list and "done" as an extraction.
        EXPECT_EQ(run.out.find_first_of("[]"), std::string::npos);
        EXPECT_EQ(run.out.find("done"), std::string::npos);
        EXPECT_LT(run.out.size(), 200u) << "an extraction failure shows 200 bytes";
    }
    EXPECT_FALSE(fs::exists("/tmp/never-written"));
}

}  // namespace
}  // namespace assets_test
