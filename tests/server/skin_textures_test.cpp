#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "server/skins_resource_fixture.h"
#include "server/templates.h"
#include "support/test_app.h"

namespace server {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;
using namespace std::string_literals;

class SkinTexturesTest : public SkinsResourceTest {
  protected:
    void saveTexture(const std::string& name, const std::string& png) {
        t.send(OrderedJson{{"cmd", "studioSaveTexture"}, {"name", name}, {"png", base64Encode(png)}}
                   .dump());
    }
};

TEST_F(SkinTexturesTest, TextureIsSavedWithoutEnablingTheSkinsResource) {
    const std::string png(100, '\x89');
    saveTexture("Stripes-2_x", png);
    EXPECT_EQ(readText(skins("textures/Stripes-2_x.png")), png);
    EXPECT_EQ(readText(skins("manifest.lua")), templates::skinsManifest);
    EXPECT_FALSE(exists(t.root() + "/server.cfg"));
    Json state = expectNoticeThenState(false, "Texture saved as textures\\Stripes-2_x.png");
    EXPECT_EQ(state["textures"], Json::parse(R"(["Stripes-2_x.png"])"));

    // The same name replaces the texture.
    saveTexture("Stripes-2_x", std::string(120, 'z'));
    EXPECT_EQ(readText(skins("textures/Stripes-2_x.png")), std::string(120, 'z'));
    t.take();
}

TEST_F(SkinTexturesTest, TextureNameAndSizeAreCheckedFirst) {
    for (std::string name : {""s, "a.b"s, "../x"s, "a/b"s, "a\\b"s, "a b"s, std::string(41, 'a')}) {
        SCOPED_TRACE(name);
        saveTexture(name, std::string(200, 'x'));
        expectOnlyNotice("Texture name: letters, digits, _ and -.");
    }
    saveTexture("stripes", std::string(99, 'x'));
    expectOnlyNotice("Empty texture.");
    t.send(R"({"cmd":"studioSaveTexture","name":"stripes"})");
    expectOnlyNotice("Empty texture.");
    EXPECT_TRUE(fs::is_empty(t.root()));
}

TEST_F(SkinTexturesTest, TextureWriteFailureIsReported) {
    fs::create_directories(skins("textures/stripes.png"));
    saveTexture("stripes", std::string(100, 'x'));
    expectNoticeThenState(true, "Could not write textures\\stripes.png.");
}

TEST_F(SkinTexturesTest, NothingHappensWithoutAServerRoot) {
    t.app.serverRoot.set("");
    saveTexture("stripes", std::string(100, 'x'));
    saveTexture("a.b", "");
    EXPECT_TRUE(t.takeRaw().empty());
    EXPECT_TRUE(fs::is_empty(t.root()));
}

}  // namespace

}  // namespace server
