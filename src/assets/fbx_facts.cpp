#include "assets/fbx_facts.h"

#include <assimp/config.h>
#include <assimp/scene.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <cfloat>
#include <set>

namespace assets {

namespace {

// FBX stores its unit as centimetres per file unit; files without it are in centimetres.
double centimetresPerUnit(const aiScene& scene) {
    if (scene.mMetaData == nullptr) return 1;
    const aiMetadata& meta = *scene.mMetaData;
    for (unsigned i = 0; i < meta.mNumProperties; ++i) {
        if (std::string(meta.mKeys[i].C_Str()) != "UnitScaleFactor") continue;
        const aiMetadataEntry& entry = meta.mValues[i];
        double value = entry.mType == AI_FLOAT    ? *static_cast<const float*>(entry.mData)
                       : entry.mType == AI_DOUBLE ? *static_cast<const double*>(entry.mData)
                       : entry.mType == AI_INT32  ? *static_cast<const int32_t*>(entry.mData)
                                                  : 1.0;
        return value > 0 ? value : 1;
    }
    return 1;
}

struct Bounds {
    aiVector3D min{FLT_MAX, FLT_MAX, FLT_MAX};
    aiVector3D max{-FLT_MAX, -FLT_MAX, -FLT_MAX};
    void add(const aiVector3D& p) {
        min = aiVector3D(std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z));
        max = aiVector3D(std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z));
    }
    bool empty() const { return min.x > max.x; }
};

// The bounds of the model as placed in the scene: each mesh moved by the transforms of the
// nodes above it, as the model stands in its bind pose.
void addNodeBounds(const aiScene& scene, const aiNode& node, const aiMatrix4x4& parent,
                   Bounds& bounds) {
    aiMatrix4x4 world = parent * node.mTransformation;
    for (unsigned i = 0; i < node.mNumMeshes; ++i) {
        const aiMesh& mesh = *scene.mMeshes[node.mMeshes[i]];
        for (unsigned v = 0; v < mesh.mNumVertices; ++v)
            bounds.add(world * mesh.mVertices[v]);
    }
    for (unsigned i = 0; i < node.mNumChildren; ++i)
        addNodeBounds(scene, *node.mChildren[i], world, bounds);
}

std::string textureTypeName(aiTextureType type) {
    switch (type) {
        case aiTextureType_DIFFUSE:
        case aiTextureType_BASE_COLOR:
            return "diffuse";
        case aiTextureType_NORMALS:
        case aiTextureType_NORMAL_CAMERA:
        case aiTextureType_HEIGHT:
            return "normal";
        case aiTextureType_EMISSIVE:
        case aiTextureType_EMISSION_COLOR:
            return "emissive";
        case aiTextureType_DIFFUSE_ROUGHNESS:
        case aiTextureType_SHININESS:
            return "roughness";
        case aiTextureType_AMBIENT_OCCLUSION:
        case aiTextureType_LIGHTMAP:
            return "ao";
        default:
            return "mask";
    }
}

MaterialFacts materialFacts(const aiScene& scene, const aiMaterial& material) {
    MaterialFacts facts;
    facts.name = material.GetName().C_Str();
    for (int t = aiTextureType_DIFFUSE; t <= AI_TEXTURE_TYPE_MAX; ++t) {
        auto type = static_cast<aiTextureType>(t);
        for (unsigned i = 0; i < material.GetTextureCount(type); ++i) {
            aiString path;
            if (material.GetTexture(type, i, &path) != AI_SUCCESS) continue;
            // A texture embedded in the file (named "*0", or by its original file name) needs
            // nothing on disk.
            if (path.length == 0 || scene.GetEmbeddedTexture(path.C_Str()) != nullptr) continue;
            facts.textures.push_back({path.C_Str(), textureTypeName(type)});
        }
    }
    return facts;
}

void collectMeshFacts(const aiScene& scene, FbxFacts& facts) {
    std::set<std::string> bones;
    std::vector<unsigned> usedMaterials;
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        const aiMesh& mesh = *scene.mMeshes[m];
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            unsigned corners = mesh.mFaces[f].mNumIndices;
            if (corners >= 3) facts.triangles += corners - 2;
        }
        for (unsigned b = 0; b < mesh.mNumBones; ++b)
            bones.insert(mesh.mBones[b]->mName.C_Str());
        if (std::find(usedMaterials.begin(), usedMaterials.end(), mesh.mMaterialIndex) ==
            usedMaterials.end())
            usedMaterials.push_back(mesh.mMaterialIndex);
    }
    facts.bones = static_cast<int>(bones.size());
    std::sort(usedMaterials.begin(), usedMaterials.end());
    for (unsigned index : usedMaterials) {
        if (index >= scene.mNumMaterials) continue;
        const aiMaterial& material = *scene.mMaterials[index];
        // assimp gives meshes without a material one of its own; it is no slot of the model.
        if (material.GetName() == aiString(AI_DEFAULT_MATERIAL_NAME)) continue;
        facts.materials.push_back(materialFacts(scene, material));
    }
    Bounds bounds;
    if (scene.mRootNode != nullptr) addNodeBounds(scene, *scene.mRootNode, aiMatrix4x4(), bounds);
    if (!bounds.empty()) {
        aiVector3D size = bounds.max - bounds.min;
        facts.lengthCm = std::max({size.x, size.y, size.z}) * centimetresPerUnit(scene);
    }
}

void collectClips(const aiScene& scene, FbxFacts& facts) {
    for (unsigned a = 0; a < scene.mNumAnimations; ++a) {
        const aiAnimation& anim = *scene.mAnimations[a];
        // Exporters leave empty takes behind; a clip that moves nothing is no animation.
        if (anim.mNumChannels + anim.mNumMeshChannels + anim.mNumMorphMeshChannels == 0) continue;
        // assimp's own default when a file gives no frame rate.
        double ticksPerSecond = anim.mTicksPerSecond > 0 ? anim.mTicksPerSecond : 25.0;
        facts.clips.push_back({anim.mName.C_Str(), anim.mDuration / ticksPerSecond});
    }
}

}  // namespace

FbxFacts readFbxFacts(const fs::path& file) {
    FbxFacts facts;
    try {
        Assimp::Importer importer;
        // Cameras and lights are of no use to a species and cost reading time.
        importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_READ_CAMERAS, false);
        importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_READ_LIGHTS, false);
        // No post-processing: every fact wanted here is in the scene as read, and a large mesh
        // would spend most of its time in steps whose results are thrown away.
        const aiScene* scene = importer.ReadFile(file.string(), 0);
        if (scene == nullptr) {
            facts.error = importer.GetErrorString();
            if (facts.error.empty()) facts.error = "not a model file assimp can read";
            return facts;
        }
        collectMeshFacts(*scene, facts);
        collectClips(*scene, facts);
        facts.read = true;
    } catch (const std::exception& e) {
        facts = {};
        facts.error = e.what();
    }
    return facts;
}

}  // namespace assets
