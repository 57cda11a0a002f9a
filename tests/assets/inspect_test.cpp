// inspect-fbx run as the real program on folders of real files: Debian's assimp test models,
// copies of them under species-like names, broken files, generated textures and links.

#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <cfloat>
#include <nlohmann/json.hpp>
#include <set>

#include "assets/helper_process.h"
#include "assets/test_images.h"

namespace assets_test {
namespace {

using nlohmann::json;

const fs::path kModels = ASSIMP_TEST_MODELS;

// What assimp reports for a model when asked its own way: triangulated by assimp, and posed by
// its own pre-transform step, rather than by the helper's counting and walking.
struct AssimpView {
    long long triangles = 0;
    size_t bones = 0;
    std::vector<std::string> materials;
    std::vector<double> seconds;
    double longestSideCm = 0;
};

double unitScale(const aiScene& scene) {
    float scale = 1;
    if (scene.mMetaData != nullptr && scene.mMetaData->Get("UnitScaleFactor", scale) && scale > 0)
        return scale;
    return 1;
}

AssimpView viewWithAssimp(const fs::path& file) {
    AssimpView view;
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(file.string(), aiProcess_Triangulate);
    if (scene == nullptr) return view;
    std::set<std::string> bones, materials;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh& mesh = *scene->mMeshes[m];
        for (unsigned f = 0; f < mesh.mNumFaces; ++f)
            view.triangles += mesh.mFaces[f].mNumIndices == 3;
        for (unsigned b = 0; b < mesh.mNumBones; ++b)
            bones.insert(mesh.mBones[b]->mName.C_Str());
        std::string name = scene->mMaterials[mesh.mMaterialIndex]->GetName().C_Str();
        if (name != AI_DEFAULT_MATERIAL_NAME) materials.insert(name);
    }
    view.bones = bones.size();
    view.materials.assign(materials.begin(), materials.end());
    for (unsigned a = 0; a < scene->mNumAnimations; ++a) {
        const aiAnimation& anim = *scene->mAnimations[a];
        view.seconds.push_back(anim.mDuration / anim.mTicksPerSecond);
    }
    double scale = unitScale(*scene);

    Assimp::Importer posed;
    scene =
        posed.ReadFile(file.string(), aiProcess_PreTransformVertices | aiProcess_GenBoundingBoxes);
    aiVector3D low(FLT_MAX, FLT_MAX, FLT_MAX), high(-FLT_MAX, -FLT_MAX, -FLT_MAX);
    for (unsigned m = 0; scene != nullptr && m < scene->mNumMeshes; ++m) {
        const aiAABB& box = scene->mMeshes[m]->mAABB;
        low = aiVector3D(std::min(low.x, box.mMin.x), std::min(low.y, box.mMin.y),
                         std::min(low.z, box.mMin.z));
        high = aiVector3D(std::max(high.x, box.mMax.x), std::max(high.y, box.mMax.y),
                          std::max(high.z, box.mMax.z));
    }
    aiVector3D size = high - low;
    view.longestSideCm = std::max({size.x, size.y, size.z}) * scale;
    return view;
}

// Runs inspect-fbx on `source` and returns inspect.json; the helper must print nothing on its
// error stream (a sanitizer would) and say what it did in one line.
json inspect(const fs::path& source) {
    HelperRun run = runHelper({"inspect-fbx", source.string(), (source / "inspect.json").string()});
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
    return json::parse(readText(source / "inspect.json"));
}

bool hasWarning(const json& result, const std::string& part) {
    for (const json& w : result["warnings"]) {
        if (w.get<std::string>().find(part) != std::string::npos) return true;
    }
    return false;
}

TEST(InspectFbx, ReportsWhatAssimpReadsFromTheTestModels) {
    struct Case {
        const char* model;
        bool skinned;
        size_t clips;
    };
    const Case cases[] = {
        {"animation_with_skeleton.fbx", true, 1},
        {"huesitos.fbx", true, 1},
        {"spider.fbx", false, 0},
        {"box.fbx", false, 0},
        {"global_settings.fbx", false, 0},
        {"phong_cube.fbx", false, 0},
        {"boxWithCompressedCTypeArray.FBX", false, 0},
        {"embedded_ascii/box.FBX", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        TempDir source;
        fs::path name = fs::path(c.model).filename();
        fs::copy_file(kModels / c.model, source / name.string());
        json result = inspect(source.path());
        AssimpView expected = viewWithAssimp(kModels / c.model);

        const json& mesh = result["mesh"];
        EXPECT_EQ(mesh["file"], name.string());
        EXPECT_GT(expected.triangles, 0);
        EXPECT_EQ(mesh["triangles"], expected.triangles);
        EXPECT_EQ(mesh["bones"], expected.bones);
        EXPECT_EQ(mesh["bones"].get<int>() > 0, c.skinned);
        EXPECT_NEAR(mesh["lengthCm"].get<double>(), expected.longestSideCm,
                    expected.longestSideCm * 1e-4);
        std::vector<std::string> materials = mesh["materials"];
        std::sort(materials.begin(), materials.end());
        EXPECT_EQ(materials, expected.materials);
        EXPECT_EQ(hasWarning(result, "without bones"), !c.skinned);

        ASSERT_EQ(result["animations"].size(), c.clips);
        ASSERT_EQ(expected.seconds.size(), c.clips);
        for (size_t i = 0; i < c.clips; ++i) {
            EXPECT_EQ(result["animations"][i]["file"], name.string());
            EXPECT_NEAR(result["animations"][i]["seconds"].get<double>(), expected.seconds[i],
                        0.0005);
        }
    }
}

TEST(InspectFbx, PicksTheSkinnedModelAndNamesEachAnimationByItsFile) {
    TempDir source;
    const fs::path rig = kModels / "huesitos.fbx";
    fs::copy_file(rig, source / "Rex.fbx");
    // A static prop with more triangles than the creature: the skinned mesh is the model.
    fs::copy_file(kModels / "spider.fbx", source / "Rock.fbx");
    for (const char* anim : {"Anims/Rex_Walk_Left.fbx", "Anims/Rex_AttackRight90.fbx",
                             "Anims/Rex_Idle.fbx", "More/rex_idle.FBX", "Anims/Take_Two.fbx"}) {
        fs::create_directories((source / anim).parent_path());
        fs::copy_file(rig, source / anim);
    }
    json result = inspect(source.path());
    EXPECT_EQ(result["mesh"]["file"], "Rex.fbx");

    struct Expected {
        const char* file;
        const char* id;
        const char* role;  // nullptr: no suggestion
        double x;
    };
    const Expected expected[] = {
        {"Anims/Rex_AttackRight90.fbx", "rex_attack_right90", "attack", 1},
        {"Anims/Rex_Idle.fbx", "rex_idle", "idle", 0},
        {"Anims/Rex_Walk_Left.fbx", "rex_walk_left", "walk", -0.5},
        {"Anims/Take_Two.fbx", "take_two", nullptr, 0},
        {"More/rex_idle.FBX", "rex_idle_2", "idle", 0},
        {"Rex.fbx", "rex", nullptr, 0},
    };
    const json& animations = result["animations"];
    ASSERT_EQ(animations.size(), std::size(expected)) << animations.dump(2);
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].file);
        EXPECT_EQ(animations[i]["file"], expected[i].file);
        EXPECT_EQ(animations[i]["id"], expected[i].id);
        ASSERT_EQ(animations[i].contains("suggest"), expected[i].role != nullptr);
        if (expected[i].role == nullptr) continue;
        EXPECT_EQ(animations[i]["suggest"]["role"], expected[i].role);
        EXPECT_EQ(animations[i]["suggest"]["x"], expected[i].x);
        EXPECT_EQ(animations[i]["suggest"]["y"], 0);
    }
}

TEST(InspectFbx, BrokenModelsBecomeWarningsAndTheRestIsStillRead) {
    TempDir source;
    fs::copy_file(kModels / "huesitos.fbx", source / "Rex.fbx");
    std::string good = readText(kModels / "animation_with_skeleton.fbx");
    const std::pair<const char*, std::string> broken[] = {
        {"Empty.fbx", ""},
        {"Noise.fbx", std::string(4096, '\x5a')},
        {"Truncated.fbx", good.substr(0, good.size() / 3)},
        {"HeaderOnly.fbx", good.substr(0, 27)},
    };
    for (const auto& [file, bytes] : broken)
        writeText(source / file, bytes);
    fs::copy_file(kModels / "transparentTest.fbx", source / "Cursed.fbx");

    json result = inspect(source.path());
    EXPECT_EQ(result["mesh"]["file"], "Rex.fbx");
    for (const char* file :
         {"Empty.fbx", "Noise.fbx", "Truncated.fbx", "HeaderOnly.fbx", "Cursed.fbx"})
        EXPECT_TRUE(hasWarning(result, std::string(file) + " could not be read")) << file;
}

TEST(InspectFbx, TexturesGetSizesSlotsTypesAndWarnings) {
    TempDir source;
    // This model's material names albedo.png and normal.png, which are first missing, then
    // present; its emission.png stays missing.
    fs::copy_file(kModels / "maxPbrMaterial_metalRough.fbx", source / "Crate.fbx");
    json before = inspect(source.path());
    EXPECT_TRUE(hasWarning(before, "\"PBR Material\" uses albedo.png, which is not in the folder"));
    EXPECT_TRUE(hasWarning(before, "\"PBR Material\" uses normal.png, which is not in the folder"));

    struct Case {
        const char* file;
        int width, height, channels;
        const char* slot;
        const char* type;
        const char* warning;  // nullptr: none about this file
    };
    const Case cases[] = {
        {"Textures/albedo.png", 256, 256, 3, "PBR Material", "diffuse", nullptr},
        {"Textures/Normal.png", 128, 128, 3, "PBR Material", "normal", nullptr},
        {"T_Body_D.png", 300, 200, 4, "Body", "diffuse",
         "T_Body_D.png is 300 x 200, not a power of two"},
        {"T_Body_N.tga", 512, 512, 3, "Body", "normal", nullptr},
        {"Eyes_ORM.jpg", 8192, 16, 3, "Eyes", "rac",
         "Eyes_ORM.jpg is 8192 x 16, larger than the game's 4096"},
        {"skin.JPEG", 64, 48, 1, "Skin", "diffuse", "not a power of two"},
    };
    for (const Case& c : cases)
        ASSERT_TRUE(writeSolidImage(source / c.file, c.width, c.height, c.channels)) << c.file;
    // Only the header is read: a file claiming 30,000 pixels a side is reported, not decoded.
    writeTgaHeaderOnly(source / "Huge_D.tga", 30000, 30000);

    json result = inspect(source.path());
    EXPECT_FALSE(hasWarning(result, "albedo.png, which is not in the folder"));
    EXPECT_FALSE(hasWarning(result, "normal.png, which is not in the folder"));
    EXPECT_TRUE(hasWarning(result, "emission.png, which is not in the folder"));
    EXPECT_TRUE(hasWarning(result, "Huge_D.tga is 30000 x 30000, larger than the game's 4096"));
    std::map<std::string, json> byFile;
    for (const json& t : result["textures"])
        byFile[t["file"]] = t;
    ASSERT_EQ(byFile.size(), std::size(cases) + 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const json& t = byFile[c.file];
        EXPECT_EQ(t["width"], c.width);
        EXPECT_EQ(t["height"], c.height);
        EXPECT_EQ(t["slot"], c.slot);
        EXPECT_EQ(t["type"], c.type);
        std::string anyWarning =
            c.warning != nullptr ? c.warning : fs::path(c.file).filename().string();
        EXPECT_EQ(hasWarning(result, anyWarning), c.warning != nullptr);
    }
}

TEST(InspectFbx, LinksAreNotFollowedOutOfTheFolder) {
    TempDir outside, source;
    fs::copy_file(kModels / "animation_with_skeleton.fbx", outside / "Big.fbx");
    ASSERT_TRUE(writeSolidImage(outside / "Textures/T_Secret_D.png", 8, 8, 3));
    fs::copy_file(kModels / "huesitos.fbx", source / "Rex.fbx");
    fs::create_symlink(outside / "Big.fbx", source / "Linked.fbx");
    fs::create_directory_symlink(outside / "Textures", source / "Textures");

    json result = inspect(source.path());
    EXPECT_EQ(result["mesh"]["file"], "Rex.fbx");
    EXPECT_EQ(result["animations"].size(), 1u);
    EXPECT_EQ(result["textures"].size(), 0u);
    EXPECT_TRUE(hasWarning(result, "Linked.fbx is a link"));
    EXPECT_TRUE(hasWarning(result, "Textures is a link"));
}

TEST(InspectFbx, ReplacesInspectJsonWholeAndWritesNothingForAMissingFolder) {
    TempDir source;
    fs::copy_file(kModels / "box.fbx", source / "Box.fbx");
    writeText(source / "inspect.json", "{\"left\": \"from an earlier import\"");
    json result = inspect(source.path());
    EXPECT_EQ(result["mesh"]["file"], "Box.fbx");
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(source.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Box.fbx", "inspect.json"}));

    HelperRun run =
        runHelper({"inspect-fbx", (source / "gone").string(), (source / "gone.json").string()});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_FALSE(fs::exists(source / "gone.json"));
}

}  // namespace
}  // namespace assets_test
