#include "forgeset_assets/fake_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <tuple>
#include <vector>

#include "assets/json_document.h"

namespace fake_assets {

namespace {

using assets::Json;

// The body is a closed tube of elliptic rings capped at tail and snout, with smooth normals.

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

Vec3 sub(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

struct Ring {
    float t, halfWidth, halfHeight, centerY;
};

// Tail to snout, in metres; the body is 4.2 m long and stands about 1 m off the ground.
constexpr std::array<Ring, 10> kRings{{
    {0.04f, 0.05f, 0.06f, 1.05f},
    {0.15f, 0.12f, 0.14f, 1.05f},
    {0.30f, 0.26f, 0.32f, 1.00f},
    {0.45f, 0.40f, 0.50f, 0.95f},
    {0.58f, 0.42f, 0.52f, 1.00f},
    {0.70f, 0.32f, 0.40f, 1.10f},
    {0.80f, 0.16f, 0.20f, 1.35f},
    {0.86f, 0.16f, 0.20f, 1.50f},
    {0.92f, 0.20f, 0.22f, 1.55f},
    {0.98f, 0.08f, 0.08f, 1.50f},
}};
constexpr float kLength = 4.2f;
constexpr int kSides = 12;

struct Mesh {
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;
    std::vector<std::array<float, 2>> uvs;
    std::vector<uint16_t> indices;
};

Mesh buildBody() {
    Mesh mesh;
    const float pi = 3.14159265358979f;
    auto zAt = [](float t) { return (t - 0.5f) * kLength; };
    // Rings carry one extra column so the texture seam under the belly can close at v = 1.
    for (const Ring& ring : kRings) {
        for (int k = 0; k <= kSides; ++k) {
            float angle = 2.0f * pi * static_cast<float>(k % kSides) / kSides;
            mesh.positions.push_back({ring.halfWidth * std::sin(angle),
                                      ring.centerY - ring.halfHeight * std::cos(angle),
                                      zAt(ring.t)});
            mesh.uvs.push_back({ring.t, static_cast<float>(k) / kSides});
        }
    }
    auto ringVertex = [](int ring, int k) {
        return static_cast<uint16_t>(ring * (kSides + 1) + k);
    };
    for (int i = 0; i + 1 < static_cast<int>(kRings.size()); ++i) {
        for (int k = 0; k < kSides; ++k) {
            uint16_t a = ringVertex(i, k), b = ringVertex(i, k + 1);
            uint16_t c = ringVertex(i + 1, k + 1), d = ringVertex(i + 1, k);
            mesh.indices.insert(mesh.indices.end(), {a, b, c, a, c, d});
        }
    }
    // Caps: one tip vertex per segment, all at the same point, so each fan triangle gets the
    // UV of its own strip while the surface stays closed.
    const Ring& tail = kRings.front();
    const Ring& snout = kRings.back();
    int last = static_cast<int>(kRings.size()) - 1;
    for (int k = 0; k < kSides; ++k) {
        float v = (static_cast<float>(k) + 0.5f) / kSides;
        auto tip = static_cast<uint16_t>(mesh.positions.size());
        mesh.positions.push_back({0.0f, tail.centerY, zAt(0.0f)});
        mesh.uvs.push_back({0.0f, v});
        mesh.indices.insert(mesh.indices.end(), {tip, ringVertex(0, k + 1), ringVertex(0, k)});
        tip = static_cast<uint16_t>(mesh.positions.size());
        mesh.positions.push_back({0.0f, snout.centerY, zAt(1.0f)});
        mesh.uvs.push_back({1.0f, v});
        mesh.indices.insert(mesh.indices.end(),
                            {tip, ringVertex(last, k), ringVertex(last, k + 1)});
    }
    // Smooth normals: face normals summed per position, so duplicated seam and tip vertices
    // shade as one.
    std::map<std::tuple<float, float, float>, Vec3> sums;
    auto keyOf = [](Vec3 p) { return std::make_tuple(p.x, p.y, p.z); };
    for (size_t i = 0; i < mesh.indices.size(); i += 3) {
        Vec3 p0 = mesh.positions[mesh.indices[i]];
        Vec3 n = cross(sub(mesh.positions[mesh.indices[i + 1]], p0),
                       sub(mesh.positions[mesh.indices[i + 2]], p0));
        for (size_t j = 0; j < 3; ++j) {
            Vec3& s = sums[keyOf(mesh.positions[mesh.indices[i + j]])];
            s = {s.x + n.x, s.y + n.y, s.z + n.z};
        }
    }
    for (Vec3 p : mesh.positions) {
        Vec3 s = sums[keyOf(p)];
        float len = std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z);
        mesh.normals.push_back(len > 0 ? Vec3{s.x / len, s.y / len, s.z / len} : Vec3{0, 1, 0});
    }
    return mesh;
}

void putLe16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void putLe32(std::string& out, uint32_t v) {
    putLe16(out, v & 0xFFFF);
    putLe16(out, v >> 16);
}

void putFloat(std::string& out, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    putLe32(out, bits);
}

// Where each attribute lies in the binary chunk.
struct Layout {
    size_t normalsAt = 0;
    size_t uvsAt = 0;
    size_t indicesAt = 0;
    size_t indicesEnd = 0;
    Vec3 lo, hi;  // the positions' bounds
};

std::string binaryChunk(const Mesh& mesh, Layout& layout) {
    std::string bin;
    layout.lo = layout.hi = mesh.positions.front();
    for (Vec3 p : mesh.positions) {
        putFloat(bin, p.x);
        putFloat(bin, p.y);
        putFloat(bin, p.z);
        layout.lo = {std::min(layout.lo.x, p.x), std::min(layout.lo.y, p.y),
                     std::min(layout.lo.z, p.z)};
        layout.hi = {std::max(layout.hi.x, p.x), std::max(layout.hi.y, p.y),
                     std::max(layout.hi.z, p.z)};
    }
    layout.normalsAt = bin.size();
    for (Vec3 n : mesh.normals) {
        putFloat(bin, n.x);
        putFloat(bin, n.y);
        putFloat(bin, n.z);
    }
    layout.uvsAt = bin.size();
    for (auto uv : mesh.uvs) {
        putFloat(bin, uv[0]);
        putFloat(bin, uv[1]);
    }
    layout.indicesAt = bin.size();
    for (uint16_t i : mesh.indices)
        putLe16(bin, i);
    layout.indicesEnd = bin.size();
    while (bin.size() % 4 != 0)
        bin += '\0';
    return bin;
}

Json bufferViews(const Layout& l) {
    auto view = [](size_t offset, size_t length, int target) {
        return Json{
            {"buffer", 0}, {"byteOffset", offset}, {"byteLength", length}, {"target", target}};
    };
    Json views = Json::array();
    views.push_back(view(0, l.normalsAt, 34962));
    views.push_back(view(l.normalsAt, l.uvsAt - l.normalsAt, 34962));
    views.push_back(view(l.uvsAt, l.indicesAt - l.uvsAt, 34962));
    views.push_back(view(l.indicesAt, l.indicesEnd - l.indicesAt, 34963));
    return views;
}

Json accessors(const Mesh& mesh, const Layout& l) {
    auto accessor = [](int bufferView, int componentType, size_t count, const char* type) {
        return Json{{"bufferView", bufferView},
                    {"componentType", componentType},
                    {"count", count},
                    {"type", type}};
    };
    // The bounds as the floats they are, so that they match the binary data exactly.
    auto vec3 = [](Vec3 v) { return Json::array({v.x, v.y, v.z}); };
    size_t vertexCount = mesh.positions.size();
    Json list = Json::array();
    Json& positions = list.emplace_back(accessor(0, 5126, vertexCount, "VEC3"));
    positions["min"] = vec3(l.lo);
    positions["max"] = vec3(l.hi);
    list.push_back(accessor(1, 5126, vertexCount, "VEC3"));
    list.push_back(accessor(2, 5126, vertexCount, "VEC2"));
    list.push_back(accessor(3, 5123, mesh.indices.size(), "SCALAR"));
    return list;
}

Json gltfDocument(const std::string& species, const Mesh& mesh, const Layout& layout,
                  size_t binBytes) {
    Json gltf = Json::object();
    gltf["asset"] = {{"version", "2.0"}, {"generator", "forgeset-assets"}};
    gltf["scene"] = 0;
    gltf["scenes"] = Json::array();
    gltf["scenes"].push_back({{"name", species}, {"nodes", Json::array({0})}});
    gltf["nodes"] = Json::array();
    gltf["nodes"].push_back({{"name", species}, {"mesh", 0}});
    Json primitive = {{"attributes", {{"POSITION", 0}, {"NORMAL", 1}, {"TEXCOORD_0", 2}}},
                      {"indices", 3},
                      {"material", 0},
                      {"mode", 4}};
    gltf["meshes"] = Json::array();
    gltf["meshes"].push_back(
        {{"name", species + "_Body"}, {"primitives", Json::array({primitive})}});
    Json pbr = {{"baseColorFactor", Json::array({1, 1, 1, 1})},
                {"metallicFactor", 0},
                {"roughnessFactor", 0.8}};
    gltf["materials"] = Json::array();
    gltf["materials"].push_back({{"name", "M_MasterSkin_Dinosaur"}, {"pbrMetallicRoughness", pbr}});
    gltf["bufferViews"] = bufferViews(layout);
    gltf["accessors"] = accessors(mesh, layout);
    gltf["buffers"] = Json::array();
    gltf["buffers"].push_back({{"byteLength", binBytes}});
    return gltf;
}

}  // namespace

std::string encodeGlb(const std::string& species) {
    Mesh mesh = buildBody();
    Layout layout;
    std::string bin = binaryChunk(mesh, layout);
    // One line without blanks, as the glTF chunk is usually stored.
    std::string json = gltfDocument(species, mesh, layout, bin.size())
                           .dump(-1, ' ', false, Json::error_handler_t::replace);
    while (json.size() % 4 != 0)
        json += ' ';
    std::string glb;
    putLe32(glb, 0x46546C67u);  // "glTF"
    putLe32(glb, 2);
    putLe32(glb, static_cast<uint32_t>(12 + 8 + json.size() + 8 + bin.size()));
    putLe32(glb, static_cast<uint32_t>(json.size()));
    putLe32(glb, 0x4E4F534Au);  // "JSON"
    glb += json;
    putLe32(glb, static_cast<uint32_t>(bin.size()));
    putLe32(glb, 0x004E4942u);  // "BIN\0"
    glb += bin;
    return glb;
}

}  // namespace fake_assets
