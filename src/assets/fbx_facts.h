#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace assets {

namespace fs = std::filesystem;

// A material of a model and the texture files it names, as the file stores them (often a path
// on the artist's machine; only the file name part is meaningful here).
struct MaterialFacts {
    std::string name;
    struct Texture {
        std::string reference;
        std::string type;  // diffuse, normal, emissive, roughness, ao, mask
    };
    std::vector<Texture> textures;
};

struct ClipFacts {
    std::string name;
    double seconds = 0;
};

// What one FBX file holds, as assimp reads it.
struct FbxFacts {
    bool read = false;
    std::string error;                     // assimp's reason when the file could not be read
    long long triangles = 0;               // polygons counted as the triangles they split into
    int bones = 0;                         // distinct bones that skin the meshes
    double lengthCm = 0;                   // longest side of the posed bounds, in centimetres
    std::vector<MaterialFacts> materials;  // the materials the meshes use, in file order
    std::vector<ClipFacts> clips;          // animations that move something
};

FbxFacts readFbxFacts(const fs::path& file);

}  // namespace assets
