// Stand-in for the asset helper tool. It answers the four command lines the Server Tool uses
// with realistic output and real files (a loadable binary glTF model, valid PNG images, the JSON
// descriptions the pages read), and lets tests pick failure behaviour through environment
// variables:
//
//   FAKE_ASSETS_LOG        append "arg1<TAB>arg2...<TAB>cwd" per call, written before any work
//   FAKE_ASSETS_DELAY_MS   sleep this long before doing the work of any command
//   FAKE_ASSETS_WAIT_FOR   file that must exist before the work of any command (a test's gate)
//   FAKE_ASSETS_SPECIES    list | plain | remark | unicode | reversed | empty | broken
//   FAKE_ASSETS_EXPORT     ok | fail | hang | flood | capital | inword | nomesh | badinfo
//   FAKE_ASSETS_FLOOD_DONE "1": the flood ends with a line "done"
//   FAKE_ASSETS_PIDS       hang: file that receives "parent <pid>" and "child <pid>"
//   FAKE_ASSETS_INSPECT    ok | fail
//   FAKE_ASSETS_PREPARE    ok | fail
//
// Only the standard library, nlohmann-json and the few system calls of fake_system.h are used,
// so the images are written with uncompressed deflate blocks and the checksums are computed
// here. The same fake is built for Linux and, as forgeset-assets.exe, for Windows.

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

#include "fake_system.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::string;

// ---------------------------------------------------------------------------------------------
// Output. Both streams are written unbuffered so that a caller reading one shared pipe sees the
// lines in exactly the order they were produced.

void out(std::string_view text) {
    writeStdout(text);
}
void err(std::string_view text) {
    writeStderr(text);
}

std::string envOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string(fallback);
}

void sleepMs(long ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool writeFile(const fs::path& path, std::string_view data) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file.write(data.data(), static_cast<std::streamsize>(data.size()));
    file.close();
    return !file.fail();
}

std::optional<Bytes> readFile(const fs::path& path, size_t limit = SIZE_MAX) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    Bytes data;
    char block[4096];
    while (data.size() < limit && file.read(block, sizeof block).gcount() > 0) {
        data.append(block, static_cast<size_t>(file.gcount()));
    }
    if (data.size() > limit) data.resize(limit);
    return data;
}

std::string lower(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

bool contains(std::string_view haystack, std::string_view needle) {
    return haystack.find(needle) != std::string_view::npos;
}

// ---------------------------------------------------------------------------------------------
// JSON writing: pretty-printed with two blanks, as a person would want to read the files.

std::string jsonEscape(std::string_view text) {
    std::string result;
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                result += "\\\"";
                break;
            case '\\':
                result += "\\\\";
                break;
            case '\n':
                result += "\\n";
                break;
            case '\r':
                result += "\\r";
                break;
            case '\t':
                result += "\\t";
                break;
            case '\b':
                result += "\\b";
                break;
            case '\f':
                result += "\\f";
                break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    result += buffer;
                } else {
                    result += static_cast<char>(c);
                }
        }
    }
    return result;
}

std::string formatNumber(double value) {
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        return std::to_string(static_cast<long long>(value));
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3f", value);
    std::string text = buffer;
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

class JsonWriter {
  public:
    // compact: one line without blanks, as the glTF chunk is usually stored.
    explicit JsonWriter(bool compact = false) : compact_(compact) {}

    JsonWriter& beginObject() { return open('{'); }
    JsonWriter& endObject() { return close('}'); }
    JsonWriter& beginArray() { return open('['); }
    JsonWriter& endArray() { return close(']'); }

    JsonWriter& key(std::string_view name) {
        separate();
        text_ += '"' + jsonEscape(name) + (compact_ ? "\":" : "\": ");
        afterKey_ = true;
        return *this;
    }
    JsonWriter& value(std::string_view text) { return raw('"' + jsonEscape(text) + '"'); }
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    JsonWriter& value(double number) { return raw(formatNumber(number)); }
    JsonWriter& value(int number) { return raw(std::to_string(number)); }
    JsonWriter& value(size_t number) { return raw(std::to_string(number)); }
    JsonWriter& value(bool flag) { return raw(flag ? "true" : "false"); }
    // Full float precision, for numbers that must match binary data exactly (accessor bounds).
    JsonWriter& exact(float number) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(number));
        return raw(buffer);
    }

    template <typename T>
    JsonWriter& member(std::string_view name, T v) {
        return key(name).value(v);
    }

    std::string str() const { return compact_ ? text_ : text_ + "\n"; }

  private:
    JsonWriter& raw(const std::string& token) {
        separate();
        text_ += token;
        return *this;
    }
    JsonWriter& open(char bracket) {
        separate();
        text_ += bracket;
        first_.push_back(true);
        return *this;
    }
    JsonWriter& close(char bracket) {
        bool empty = first_.back();
        first_.pop_back();
        if (!empty) newline();
        text_ += bracket;
        return *this;
    }
    void separate() {
        if (afterKey_) {
            afterKey_ = false;
            return;
        }
        if (first_.empty()) return;
        if (!first_.back()) text_ += ',';
        first_.back() = false;
        newline();
    }
    void newline() {
        if (compact_) return;
        text_ += '\n';
        text_.append(first_.size() * 2, ' ');
    }

    bool compact_;
    bool afterKey_ = false;
    std::string text_;
    std::vector<bool> first_;
};

// ---------------------------------------------------------------------------------------------
// JSON reading, just enough to find the top-level "name" of a species document. Anything that
// is not well-formed simply yields no name; what follows the document is not looked at.

std::optional<std::string> speciesName(const std::string& text) {
    std::istringstream in(text);
    nlohmann::json document;
    try {
        in >> document;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
    auto name = document.is_object() ? document.find("name") : document.end();
    if (name == document.end() || !name->is_string()) return std::nullopt;
    return name->get<std::string>();
}

// ---------------------------------------------------------------------------------------------
// PNG writing with stored deflate blocks.

uint32_t crc32(std::string_view data, uint32_t crc = 0) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (unsigned char b : data)
        crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t adler32(std::string_view data) {
    uint32_t a = 1, b = 0;
    for (unsigned char byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

void putBe32(Bytes& out, uint32_t v) {
    out += static_cast<char>(v >> 24);
    out += static_cast<char>(v >> 16);
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v);
}

void putLe16(Bytes& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void putLe32(Bytes& out, uint32_t v) {
    putLe16(out, v & 0xFFFF);
    putLe16(out, v >> 16);
}

Bytes zlibStored(std::string_view raw) {
    Bytes z;
    z += '\x78';  // deflate, 32 KiB window
    z += '\x01';  // no preset dictionary, fastest; 0x7801 is a multiple of 31 as required
    size_t pos = 0;
    do {
        size_t len = std::min<size_t>(65535, raw.size() - pos);
        bool last = pos + len == raw.size();
        z += static_cast<char>(last ? 1 : 0);  // BFINAL, BTYPE 00 (stored)
        putLe16(z, static_cast<uint32_t>(len));
        putLe16(z, static_cast<uint32_t>(~len & 0xFFFF));
        z.append(raw.substr(pos, len));
        pos += len;
    } while (pos < raw.size());
    putBe32(z, adler32(raw));
    return z;
}

void pngChunk(Bytes& png, const char* type, std::string_view data) {
    putBe32(png, static_cast<uint32_t>(data.size()));
    Bytes body(type, 4);
    body.append(data);
    png.append(body);
    putBe32(png, crc32(body));
}

struct Image {
    int width = 0;
    int height = 0;
    int channels = 4;  // 3 = RGB, 4 = RGBA
    std::vector<uint8_t> pixels;

    Image(int w, int h, int c)
        : width(w), height(h), channels(c), pixels(static_cast<size_t>(w) * h * c, 0) {}

    void set(int x, int y, std::array<uint8_t, 4> rgba) {
        uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * channels];
        for (int i = 0; i < channels; ++i)
            p[i] = rgba[static_cast<size_t>(i)];
    }
};

Bytes encodePng(const Image& image) {
    Bytes png("\x89PNG\r\n\x1a\n", 8);
    Bytes header;
    putBe32(header, static_cast<uint32_t>(image.width));
    putBe32(header, static_cast<uint32_t>(image.height));
    header += '\x08';                                          // bit depth
    header += static_cast<char>(image.channels == 4 ? 6 : 2);  // RGBA or RGB
    header.append(3, '\0');  // deflate, adaptive filtering, no interlace
    pngChunk(png, "IHDR", header);

    Bytes raw;
    size_t stride = static_cast<size_t>(image.width) * image.channels;
    raw.reserve((stride + 1) * image.height);
    for (int y = 0; y < image.height; ++y) {
        raw += '\0';  // filter type None
        raw.append(reinterpret_cast<const char*>(&image.pixels[y * stride]), stride);
    }
    pngChunk(png, "IDAT", zlibStored(raw));
    pngChunk(png, "IEND", "");
    return png;
}

// ---------------------------------------------------------------------------------------------
// Texture content. The model's UVs run u from tail (0) to snout (1) and v once around the body
// starting and ending at the belly with the spine at v = 0.5, so every image below is laid out
// in that frame: x along the body, y around it.

uint32_t hash2(int x, int y, uint32_t seed) {
    uint32_t h =
        seed ^ (static_cast<uint32_t>(x) * 0x8DA6B343u) ^ (static_cast<uint32_t>(y) * 0xD8163841u);
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return h;
}

// Position of a pixel on the body: u along it, d the height from belly (0) to spine (1).
void bodyFrame(int x, int y, int w, int h, double& u, double& d) {
    u = (x + 0.5) / w;
    double v = (y + 0.5) / h;
    d = std::min(v, 1.0 - v) * 2.0;
}

constexpr std::array<uint8_t, 4> kBlack{0, 0, 0, 255};
constexpr std::array<uint8_t, 4> kRed{255, 0, 0, 255};        // male display
constexpr std::array<uint8_t, 4> kGreen{0, 255, 0, 255};      // underbelly
constexpr std::array<uint8_t, 4> kBlue{0, 0, 255, 255};       // flank
constexpr std::array<uint8_t, 4> kCyan{0, 255, 255, 255};     // body
constexpr std::array<uint8_t, 4> kMagenta{255, 0, 255, 255};  // markings
constexpr std::array<uint8_t, 4> kYellow{255, 255, 0, 255};   // detail

bool nearEye(double u, double d) {
    return std::hypot((u - 0.925) * 4.0, d - 0.66) < 0.035;
}

Image adultPattern(int size) {
    Image image(size, size, 4);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double u, d;
            bodyFrame(x, y, size, size, u, d);
            std::array<uint8_t, 4> c = d < 0.22 ? kGreen : d < 0.55 ? kBlue : kCyan;
            // Tiger stripes over back and flanks, wavy so they read as painted, not ruled.
            double stripe = std::fmod(u * 22.0 + 0.35 * std::sin(d * 9.0), 1.0);
            if (u > 0.12 && u < 0.82 && d > 0.42 && stripe < 0.28) c = kMagenta;
            // Display crest along the spine over the shoulders and neck.
            if (d > 0.86 && u > 0.52 && u < 0.88) c = kRed;
            // Small flank spots and the eyes take the detail colour.
            double su = std::fmod(u * 16.0, 1.0), sd = std::fmod(d * 10.0, 1.0);
            if (d > 0.25 && d < 0.5 && u > 0.2 && u < 0.75 && std::hypot(su - 0.5, sd - 0.5) < 0.18)
                c = kYellow;
            if (nearEye(u, d)) c = kYellow;
            image.set(x, y, c);
        }
    }
    return image;
}

Image juvenilePattern(int size) {
    Image image(size, size, 4);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double u, d;
            bodyFrame(x, y, size, size, u, d);
            std::array<uint8_t, 4> c = d < 0.3 ? kGreen : d < 0.6 ? kBlue : kCyan;
            // Hatchling dapples: round spots in a staggered grid over the upper body.
            double row = std::floor(d * 8.0);
            double su = std::fmod(u * 14.0 + row * 0.5, 1.0), sd = std::fmod(d * 8.0, 1.0);
            if (d > 0.35 && std::hypot(su - 0.5, sd - 0.5) < 0.3) c = kMagenta;
            if (nearEye(u, d)) c = kYellow;
            image.set(x, y, c);
        }
    }
    return image;
}

// Roughness, ambient occlusion and cavity: the page shades by green / 128 and blue / 255, so
// green hovers around 128 and blue stays high except in the creases between scales.
Image racImage(int size) {
    Image image(size, size, 3);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double u, d;
            bodyFrame(x, y, size, size, u, d);
            int rough = 190 + static_cast<int>(hash2(x, y, 7) % 40);
            int ao = 118 + static_cast<int>(hash2(x / 4, y / 4, 11) % 21);
            if (d < 0.12) ao -= 30;  // the belly sits in its own shadow
            bool crease = (x % 8 == 0) || ((y + (x / 8) * 4) % 8 == 0);
            int cavity = crease ? 170 : 235 + static_cast<int>(hash2(x, y, 3) % 21);
            image.set(x, y,
                      {static_cast<uint8_t>(rough), static_cast<uint8_t>(ao),
                       static_cast<uint8_t>(cavity), 255});
        }
    }
    return image;
}

// Teeth (red), mouth (green) and claws (blue); everything else is black.
Image maskImage(int size) {
    Image image(size, size, 3);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double u, d;
            bodyFrame(x, y, size, size, u, d);
            std::array<uint8_t, 4> c = kBlack;
            if (u > 0.93 && d > 0.38 && d < 0.44) c = kRed;
            if (u > 0.93 && d > 0.30 && d < 0.38) c = kGreen;
            bool foot = std::fabs(u - 0.36) < 0.03 || std::fabs(u - 0.62) < 0.03;
            if (foot && d < 0.1) c = kBlue;
            image.set(x, y, c);
        }
    }
    return image;
}

// ---------------------------------------------------------------------------------------------
// Binary glTF model: a low-poly animal body, a closed tube of elliptic rings capped at tail and
// snout, with smooth normals and UVs covering the whole texture.

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

void putFloat(Bytes& out, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    putLe32(out, bits);
}

Bytes encodeGlb(const std::string& species) {
    Mesh mesh = buildBody();
    Bytes bin;
    Vec3 lo = mesh.positions.front(), hi = lo;
    for (Vec3 p : mesh.positions) {
        putFloat(bin, p.x);
        putFloat(bin, p.y);
        putFloat(bin, p.z);
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    size_t normalsAt = bin.size();
    for (Vec3 n : mesh.normals) {
        putFloat(bin, n.x);
        putFloat(bin, n.y);
        putFloat(bin, n.z);
    }
    size_t uvsAt = bin.size();
    for (auto uv : mesh.uvs) {
        putFloat(bin, uv[0]);
        putFloat(bin, uv[1]);
    }
    size_t indicesAt = bin.size();
    for (uint16_t i : mesh.indices)
        putLe16(bin, i);
    size_t indicesEnd = bin.size();
    while (bin.size() % 4 != 0)
        bin += '\0';

    size_t vertexCount = mesh.positions.size();
    JsonWriter j(true);
    j.beginObject();
    j.key("asset").beginObject().member("version", "2.0").member("generator", "forgeset-assets");
    j.endObject();
    j.member("scene", 0);
    j.key("scenes").beginArray().beginObject().member("name", species);
    j.key("nodes").beginArray().value(0).endArray().endObject().endArray();
    j.key("nodes").beginArray().beginObject().member("name", species).member("mesh", 0);
    j.endObject().endArray();
    j.key("meshes").beginArray().beginObject().member("name", species + "_Body");
    j.key("primitives").beginArray().beginObject();
    j.key("attributes").beginObject();
    j.member("POSITION", 0).member("NORMAL", 1).member("TEXCOORD_0", 2).endObject();
    j.member("indices", 3).member("material", 0).member("mode", 4);
    j.endObject().endArray().endObject().endArray();
    j.key("materials").beginArray().beginObject().member("name", "M_MasterSkin_Dinosaur");
    j.key("pbrMetallicRoughness").beginObject();
    j.key("baseColorFactor").beginArray().value(1).value(1).value(1).value(1).endArray();
    j.member("metallicFactor", 0).member("roughnessFactor", 0.8).endObject();
    j.endObject().endArray();

    auto view = [&](size_t offset, size_t length, int target) {
        j.beginObject().member("buffer", 0).member("byteOffset", offset);
        j.member("byteLength", length).member("target", target).endObject();
    };
    j.key("bufferViews").beginArray();
    view(0, normalsAt, 34962);
    view(normalsAt, uvsAt - normalsAt, 34962);
    view(uvsAt, indicesAt - uvsAt, 34962);
    view(indicesAt, indicesEnd - indicesAt, 34963);
    j.endArray();

    auto vec3 = [&](Vec3 v) { j.beginArray().exact(v.x).exact(v.y).exact(v.z).endArray(); };
    auto accessor = [&](int bufferView, int componentType, size_t count, const char* type) {
        j.beginObject().member("bufferView", bufferView).member("componentType", componentType);
        j.member("count", count).member("type", type);
    };
    j.key("accessors").beginArray();
    accessor(0, 5126, vertexCount, "VEC3");
    j.key("min");
    vec3(lo);
    j.key("max");
    vec3(hi);
    j.endObject();
    accessor(1, 5126, vertexCount, "VEC3");
    j.endObject();
    accessor(2, 5126, vertexCount, "VEC2");
    j.endObject();
    accessor(3, 5123, mesh.indices.size(), "SCALAR");
    j.endObject();
    j.endArray();
    j.key("buffers").beginArray().beginObject().member("byteLength", bin.size()).endObject();
    j.endArray();
    j.endObject();

    Bytes json = j.str();
    while (json.size() % 4 != 0)
        json += ' ';
    Bytes glb;
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

// ---------------------------------------------------------------------------------------------
// Folder scanning shared by inspect-fbx and prepare-textures.

bool hasExtension(const fs::path& path, std::initializer_list<std::string_view> wanted) {
    std::string ext = lower(path.extension().string());
    return std::any_of(wanted.begin(), wanted.end(), [&](std::string_view w) { return ext == w; });
}

// Files below a folder as sorted relative paths with forward slashes; unreadable entries are
// skipped rather than failing the whole scan.
std::vector<std::string> listFiles(const fs::path& root,
                                   std::initializer_list<std::string_view> extensions) {
    std::vector<std::string> files;
    std::error_code ec;
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        if (!hasExtension(it->path(), extensions)) continue;
        files.push_back(it->path().lexically_relative(root).generic_string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

struct Size {
    int width = 0;
    int height = 0;
};

uint32_t be(const Bytes& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

// Reads the pixel size from the header of a PNG, TGA or JPEG; 0 x 0 when it cannot tell.
Size imageSize(const fs::path& path) {
    auto head = readFile(path, 1 << 20);
    if (!head) return {};
    const Bytes& b = *head;
    std::string ext = lower(path.extension().string());
    if (b.size() >= 24 && b.compare(0, 8, "\x89PNG\r\n\x1a\n", 8) == 0 &&
        b.compare(12, 4, "IHDR") == 0) {
        return {static_cast<int>(be(b, 16, 4)), static_cast<int>(be(b, 20, 4))};
    }
    if (ext == ".tga" && b.size() >= 18) {
        auto le16 = [&](size_t at) {
            return static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8);
        };
        return {le16(12), le16(14)};
    }
    if (b.size() >= 4 && static_cast<unsigned char>(b[0]) == 0xFF &&
        static_cast<unsigned char>(b[1]) == 0xD8) {
        size_t at = 2;
        while (at + 9 < b.size()) {
            if (static_cast<unsigned char>(b[at]) != 0xFF) return {};
            auto marker = static_cast<unsigned char>(b[at + 1]);
            if (marker == 0xFF) {
                ++at;
                continue;
            }
            uint32_t length = be(b, at + 2, 2);
            bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                         marker != 0xCC;
            if (frame) {
                return {static_cast<int>(be(b, at + 7, 2)), static_cast<int>(be(b, at + 5, 2))};
            }
            at += 2 + length;
        }
    }
    return {};
}

// ---------------------------------------------------------------------------------------------
// Name guessing for inspect-fbx.

// Splits "Rex_AttackLeft90-v2" into lower-case words: rex, attack, left90, v2.
std::vector<std::string> words(std::string_view name) {
    std::vector<std::string> result;
    std::string current;
    char previous = '\0';
    for (char c : name) {
        bool alnum = std::isalnum(static_cast<unsigned char>(c)) != 0;
        bool upper = c >= 'A' && c <= 'Z';
        bool lowerBefore =
            (previous >= 'a' && previous <= 'z') || (previous >= '0' && previous <= '9');
        if (!alnum || (upper && lowerBefore)) {
            if (!current.empty()) result.push_back(current);
            current.clear();
        }
        if (alnum) current += lower(std::string(1, c));
        previous = c;
    }
    if (!current.empty()) result.push_back(current);
    return result;
}

std::string animationId(std::string_view stem) {
    std::string id;
    for (const std::string& w : words(stem))
        id += (id.empty() ? "" : "_") + w;
    return id.empty() ? "anim" : id;
}

bool hasWord(const std::vector<std::string>& ws, std::string_view prefix) {
    return std::any_of(ws.begin(), ws.end(),
                       [&](const std::string& w) { return w.rfind(prefix, 0) == 0; });
}

bool hasPair(const std::vector<std::string>& ws, std::string_view first, std::string_view second) {
    std::string joined = std::string(first) + std::string(second);
    for (size_t i = 0; i < ws.size(); ++i) {
        if (ws[i].rfind(joined, 0) == 0) return true;
        if (i + 1 < ws.size() && ws[i] == first && ws[i + 1].rfind(second, 0) == 0) return true;
    }
    return false;
}

struct Suggestion {
    std::string role;
    double x = 0;
    double y = 0;
};

std::optional<Suggestion> suggestRole(const std::vector<std::string>& ws) {
    // Most specific first: "swim_fast" must not stop at "swim", "death_pose" not at "death".
    static const std::vector<std::pair<std::vector<const char*>, const char*>> table = {
        {{"attack", "bite", "tailwhip", "stomp", "charge"}, "attack"},
        {{"swimfast"}, "swimFast"},
        {{"swimback"}, "swimBack"},
        {{"swimidle"}, "swimIdle"},
        {{"swim"}, "swim"},
        {{"deathpose", "dead"}, "deathPose"},
        {{"death", "die", "dying"}, "death"},
        {{"idle"}, "idle"},
        {{"walk"}, "walk"},
        {{"trot"}, "trot"},
        {{"run", "sprint", "gallop"}, "run"},
        {{"rest", "sleep", "lay", "lie"}, "rest"},
        {{"eat", "feed"}, "eat"},
        {{"drink"}, "drink"},
        {{"call", "roar", "bellow"}, "call"},
        {{"hit", "hurt", "flinch"}, "hit"},
    };
    for (const auto& [keys, role] : table) {
        bool match = false;
        for (const char* key : keys) {
            std::string_view k = key;
            if (k == "swimfast")
                match = hasPair(ws, "swim", "fast");
            else if (k == "swimback")
                match = hasPair(ws, "swim", "back");
            else if (k == "swimidle")
                match = hasPair(ws, "swim", "idle");
            else if (k == "deathpose")
                match = hasPair(ws, "death", "pose");
            else
                match = hasWord(ws, k);
            if (match) break;
        }
        if (!match) continue;
        Suggestion s{role};
        for (const std::string& w : ws) {
            if (w == "left90" || w == "hardleft")
                s.x = -1;
            else if (w == "right90" || w == "hardright")
                s.x = 1;
            else if (w == "left" || w == "left45")
                s.x = -0.5;
            else if (w == "right" || w == "right45")
                s.x = 0.5;
            else if (w == "up")
                s.y = 1;
            else if (w == "down")
                s.y = -1;
        }
        return s;
    }
    return std::nullopt;
}

// Guessed clip length, so that the timeline has something plausible to show.
double clipSeconds(const std::string& role, uintmax_t bytes) {
    static const std::map<std::string, double> typical = {
        {"idle", 4.0}, {"walk", 1.2},     {"trot", 0.9},      {"run", 0.7},
        {"swim", 1.6}, {"swimFast", 1.0}, {"swimIdle", 3.0},  {"swimBack", 1.6},
        {"eat", 2.5},  {"drink", 3.0},    {"call", 2.2},      {"rest", 5.0},
        {"hit", 0.6},  {"death", 2.0},    {"deathPose", 1.0}, {"attack", 1.4},
    };
    auto it = typical.find(role);
    if (it != typical.end()) return it->second;
    return 1.0 + static_cast<double>(bytes % 200) / 100.0;
}

struct TextureGuess {
    std::string slot;
    std::string type;
};

TextureGuess guessTexture(const std::string& relative) {
    std::vector<std::string> ws = words(fs::path(relative).stem().string());
    static const std::vector<std::pair<std::vector<const char*>, const char*>> types = {
        {{"d", "diffuse", "basecolor", "albedo", "color", "colour", "bc"}, "diffuse"},
        {{"n", "normal", "nrm", "norm"}, "normal"},
        {{"rac", "orm", "arm", "rma"}, "rac"},
        {{"m", "mask", "msk"}, "mask"},
        {{"e", "emissive", "emit"}, "emissive"},
        {{"r", "rough", "roughness"}, "roughness"},
    };
    TextureGuess guess{"", "diffuse"};
    // The type is named last ("T_Body_N"); everything before it, without a "T" prefix, is the slot.
    if (!ws.empty()) {
        for (const auto& [keys, type] : types) {
            if (std::any_of(keys.begin(), keys.end(),
                            [&](const char* k) { return ws.back() == k; })) {
                guess.type = type;
                ws.pop_back();
                break;
            }
        }
    }
    if (!ws.empty() && ws.front() == "t") ws.erase(ws.begin());
    for (const std::string& w : ws) {
        std::string part = w;
        part[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(part[0])));
        guess.slot += part;
    }
    if (guess.slot.empty()) guess.slot = "Body";
    return guess;
}

bool mentionsAnimation(const std::string& relative) {
    return contains(lower(fs::path(relative).filename().string()), "anim");
}

// ---------------------------------------------------------------------------------------------
// Commands.

int usage(const std::string& problem) {
    err("forgeset-assets: " + problem + "\n");
    err("usage: forgeset-assets species\n"
        "       forgeset-assets export <name> <outFolder>\n"
        "       forgeset-assets inspect-fbx <srcFolder> <outFile>\n"
        "       forgeset-assets prepare-textures <speciesJson> <sourceFolder> <outFolder>\n");
    return 2;
}

int speciesCommand() {
    std::string mode = envOr("FAKE_ASSETS_SPECIES", "list");
    const std::string names =
        "[\"Tyrannosaurus\",\"Triceratops\",\"Stegosaurus\",\"Pachycephalosaurus\","
        "\"Velociraptor\"]";
    if (mode == "list") {
        out("info: opening paks\n");
        err("warning: 2 optional paks skipped\n");
        out(names + "\n");
        out("info: 5 species\n");
    } else if (mode == "plain") {
        out(names);
    } else if (mode == "remark") {
        out("[info] opening paks\n" + names + "\nfound 5 species\n");
    } else if (mode == "unicode") {
        out("[\"Tyrannosaurus\",\"\xC3\x98rnitholestes\",\"Pteranod\\u00f3n\"]\n");
    } else if (mode == "reversed") {
        out("error] cannot read [paks\n");
    } else if (mode == "empty") {
        // Nothing at all, as when the game cannot be found.
    } else if (mode == "broken") {
        out("[oops, no list]\n");
    } else {
        return usage("unknown FAKE_ASSETS_SPECIES mode '" + mode + "'");
    }
    return 0;
}

struct ExportFile {
    std::string file;
    std::string kind;
    Image image;
};

// The command line of the copy that hang starts; it sleeps and logs nothing.
constexpr const char* kSleeperCommand = "sleep-forever";

void sleepForever() {
    // Bounded after an hour so that a test which never ends the group cannot leave this
    // process behind for good.
    for (int i = 0; i < 3600; ++i)
        sleepMs(1000);
}

int exportCommand(const std::string& name, const fs::path& outFolder) {
    std::string mode = envOr("FAKE_ASSETS_EXPORT", "ok");
    if (mode == "fail") {
        out("exporting " + name + "\n");
        err("error: could not open \"pakchunk0-Windows.pak\"\n"
            "  path: C:\\Games\\Varra\\Content\\Paks\n"
            "  reason:\tinvalid AES key\n");
        return 1;
    }
    if (mode == "hang") {
        out("starting\n");
        // A helper of the helper, holding the same output open.
        long child = startCopy({kSleeperCommand});
        std::string pidFile = envOr("FAKE_ASSETS_PIDS", "");
        if (!pidFile.empty()) {
            writeFile(pidFile, "parent " + std::to_string(currentProcessId()) + "\nchild " +
                                   std::to_string(child) + "\n");
        }
        sleepForever();
        return 0;
    }
    if (mode == "flood") {
        // 20000 lines of 64 bytes, alternating between the two streams, each carrying a zero
        // byte and bytes that are not UTF-8; the text never spells the success word.
        for (int i = 0; i < 20000; ++i) {
            char head[24];
            std::snprintf(head, sizeof head, "line %06d ", i);
            std::string line(head);
            line += std::string("\0\xFF\xFE\xC3\x28", 5);
            line.append(63 - line.size(), 'x');
            line += '\n';
            (i % 2 == 0 ? out : err)(line);
        }
        if (envOr("FAKE_ASSETS_FLOOD_DONE", "") == "1") out("done\n");
        return 0;
    }
    bool known = mode == "ok" || mode == "capital" || mode == "inword" || mode == "nomesh" ||
                 mode == "badinfo";
    if (!known) return usage("unknown FAKE_ASSETS_EXPORT mode '" + mode + "'");
    if (name.empty() || name == "." || name == ".." || contains(name, "/") ||
        contains(name, std::string_view("\0", 1))) {
        err("error: '" + name + "' is not a species name\n");
        return 1;
    }

    bool chatty = mode != "capital";
    auto progress = [&](const std::string& line) {
        if (chatty) out(line + "\n");
    };
    progress("exporting " + name);
    std::error_code ec;
    fs::create_directories(outFolder, ec);
    if (ec || !fs::is_directory(outFolder)) {
        err("error: cannot create " + outFolder.string() + "\n");
        return 1;
    }
    auto fail = [&](const std::string& file) {
        err("error: cannot write " + (outFolder / file).string() + "\n");
        return 1;
    };

    if (mode != "nomesh") {
        progress("writing mesh.glb");
        if (!writeFile(outFolder / "mesh.glb", encodeGlb(name))) return fail("mesh.glb");
    }
    std::vector<ExportFile> files;
    files.push_back({name + "_Adult_Pattern_1.png", "pattern", adultPattern(256)});
    files.push_back({name + "_Juvenile_Pattern_1.png", "pattern", juvenilePattern(256)});
    files.push_back({name + "_RAC.png", "rac", racImage(128)});
    files.push_back({name + "_Mask.png", "mask", maskImage(128)});
    for (const ExportFile& f : files) {
        progress("writing " + f.file);
        if (!writeFile(outFolder / f.file, encodePng(f.image))) return fail(f.file);
    }

    progress("writing info.json");
    JsonWriter info;
    info.beginObject().member("species", name).key("files").beginArray();
    for (const ExportFile& f : files) {
        std::string asset =
            "/Game/Dinosaurs/" + name + "/Textures/" + fs::path(f.file).stem().string();
        info.beginObject().member("file", f.file).member("kind", f.kind);
        info.member("asset", asset).endObject();
    }
    info.endArray().member("mesh", "mesh.glb").endObject();
    std::string infoText = info.str();
    if (mode == "badinfo") infoText = infoText.substr(0, infoText.size() / 2);
    if (!writeFile(outFolder / "info.json", infoText)) return fail("info.json");

    if (mode == "capital") {
        out("Done\n");
    } else if (mode == "inword") {
        out("finished, nothing abandoned\n");
    } else {
        out("done\n");
    }
    return 0;
}

int inspectCommand(const fs::path& srcFolder, const fs::path& outFile) {
    if (envOr("FAKE_ASSETS_INSPECT", "ok") == "fail") {
        out("inspecting " + srcFolder.string() + "\n");
        err("error: FBX SDK could not read the scene (unsupported version 6100)\n");
        return 1;
    }
    out("inspecting " + srcFolder.string() + "\n");
    std::vector<std::string> warnings;
    std::error_code ec;
    if (!fs::is_directory(srcFolder, ec)) warnings.push_back("The source folder does not exist.");

    std::vector<std::string> models = listFiles(srcFolder, {".fbx"});
    std::vector<std::string> images = listFiles(srcFolder, {".png", ".tga", ".jpg", ".jpeg"});

    // The model is the first file that neither says "anim" nor names a motion; failing that the
    // first without "anim", failing that the first of all.
    std::string meshFile;
    for (const std::string& f : models) {
        if (!mentionsAnimation(f) && !suggestRole(words(fs::path(f).stem().string()))) {
            meshFile = f;
            break;
        }
    }
    if (meshFile.empty()) {
        for (const std::string& f : models) {
            if (!mentionsAnimation(f)) {
                meshFile = f;
                break;
            }
        }
    }
    if (meshFile.empty() && !models.empty()) meshFile = models.front();
    if (models.empty()) warnings.push_back("No FBX file was found; import a model first.");

    auto sizeOf = [&](const std::string& relative) {
        std::error_code sizeError;
        uintmax_t bytes = fs::file_size(srcFolder / relative, sizeError);
        return sizeError ? uintmax_t{0} : bytes;
    };

    std::vector<std::pair<TextureGuess, std::string>> textures;
    std::vector<std::string> slots;
    for (const std::string& f : images) {
        TextureGuess guess = guessTexture(f);
        if (std::find(slots.begin(), slots.end(), guess.slot) == slots.end()) {
            slots.push_back(guess.slot);
        }
        textures.emplace_back(guess, f);
    }
    if (slots.empty() && !meshFile.empty()) slots.push_back("Body");

    JsonWriter j;
    j.beginObject().key("mesh").beginObject().member("file", meshFile);
    uintmax_t meshBytes = meshFile.empty() ? 0 : sizeOf(meshFile);
    int triangles =
        meshFile.empty() ? 0 : static_cast<int>(std::max<uintmax_t>(12, meshBytes / 48));
    j.member("triangles", triangles);
    j.member("bones", meshFile.empty() ? 0 : 48 + static_cast<int>(meshBytes % 40));
    j.member("lengthCm", meshFile.empty() ? 0.0 : 420.0);
    j.key("materials").beginArray();
    for (const std::string& slot : slots)
        j.value(slot);
    j.endArray().endObject();

    j.key("animations").beginArray();
    std::set<std::string> ids;
    for (const std::string& f : models) {
        if (f == meshFile) continue;
        std::string stem = fs::path(f).stem().string();
        std::string id = animationId(stem);
        for (int n = 2; ids.count(id) != 0; ++n)
            id = animationId(stem) + "_" + std::to_string(n);
        ids.insert(id);
        auto suggestion = suggestRole(words(stem));
        j.beginObject().member("file", f).member("id", id);
        j.member("seconds", clipSeconds(suggestion ? suggestion->role : "", sizeOf(f)));
        if (suggestion) {
            j.key("suggest").beginObject().member("role", suggestion->role);
            j.member("x", suggestion->x).member("y", suggestion->y).endObject();
        }
        j.endObject();
    }
    j.endArray();

    j.key("textures").beginArray();
    for (const auto& [guess, f] : textures) {
        Size size = imageSize(srcFolder / f);
        if (size.width == 0) warnings.push_back("Could not read the size of " + f + ".");
        auto pow2 = [](int v) { return v > 0 && (v & (v - 1)) == 0; };
        if (size.width > 0 && (!pow2(size.width) || !pow2(size.height))) {
            warnings.push_back(f + " is " + std::to_string(size.width) + " x " +
                               std::to_string(size.height) + ", not a power of two.");
        }
        j.beginObject().member("slot", guess.slot).member("type", guess.type).member("file", f);
        j.member("width", size.width).member("height", size.height).endObject();
    }
    j.endArray();

    j.key("warnings").beginArray();
    for (const std::string& w : warnings)
        j.value(w);
    j.endArray().endObject();

    if (!writeFile(outFile, j.str())) {
        err("error: cannot write " + outFile.string() + "\n");
        return 1;
    }
    out("wrote " + outFile.string() + "\n");
    return 0;
}

int prepareCommand(const fs::path& speciesJson, const fs::path& sourceFolder,
                   const fs::path& outFolder) {
    if (envOr("FAKE_ASSETS_PREPARE", "ok") == "fail") {
        err("error: texture conversion failed\n");
        for (int i = 1; i <= 8; ++i) {
            err("  at Forgeset.Textures.Convert(\"T_Body_D.png\") step " + std::to_string(i) +
                ": \\\\?\\ path too long\n");
        }
        return 1;
    }
    std::optional<std::string> name;
    if (auto text = readFile(speciesJson)) name = speciesName(*text);
    out("preparing textures" + (name ? " for " + *name : std::string()) + "\n");
    if (!name) err("warning: no species name in " + speciesJson.string() + "\n");

    std::error_code ec;
    if (!fs::is_directory(sourceFolder, ec)) {
        err("warning: " + sourceFolder.string() + " is not a folder, no textures to copy\n");
    }
    std::vector<std::string> pngs = listFiles(sourceFolder, {".png"});
    fs::create_directories(outFolder, ec);
    if (ec || !fs::is_directory(outFolder)) {
        err("error: cannot create " + outFolder.string() + "\n");
        return 1;
    }

    std::vector<std::pair<std::string, uintmax_t>> written;
    for (const std::string& f : pngs) {
        fs::path target = outFolder / f;
        fs::create_directories(target.parent_path(), ec);
        fs::copy_file(sourceFolder / f, target, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            err("error: cannot copy " + f + "\n");
            return 1;
        }
        out("copied " + f + "\n");
        written.emplace_back(f, fs::file_size(target, ec));
    }
    // A neutral mask for the build, which expects one per species even when none was painted.
    const std::string generated = "generated_mask.png";
    Bytes mask = encodePng(Image(64, 64, 3));
    if (!writeFile(outFolder / generated, mask)) {
        err("error: cannot write " + generated + "\n");
        return 1;
    }
    out("generated " + generated + "\n");
    written.emplace_back(generated, mask.size());
    std::sort(written.begin(), written.end());

    JsonWriter j;
    j.beginObject().key("textures").beginArray();
    for (const auto& [file, bytes] : written) {
        j.beginObject().member("file", file).member("bytes", static_cast<size_t>(bytes));
        j.endObject();
    }
    j.endArray();
    if (name) j.member("species", *name);
    j.endObject();
    if (!writeFile(outFolder / "manifest.json", j.str())) {
        err("error: cannot write manifest.json\n");
        return 1;
    }
    out("wrote manifest.json, done\n");
    return 0;
}

void logInvocation(const std::vector<std::string>& args) {
    std::string path = envOr("FAKE_ASSETS_LOG", "");
    if (path.empty()) return;
    std::string line;
    for (const std::string& arg : args)
        line += arg + "\t";
    std::error_code ec;
    line += fs::current_path(ec).string() + "\n";
    // Appended and closed before any work, so a test can see the call even while it hangs.
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (file == nullptr) return;
    std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args = programArguments(argc, argv);
    if (args.size() == 1 && args[0] == kSleeperCommand) {
        sleepForever();
        return 0;
    }
    logInvocation(args);
    if (args.empty()) return usage("missing command");
    const std::string& command = args[0];
    std::optional<size_t> needed;
    if (command == "species") needed = 1;
    if (command == "export" || command == "inspect-fbx") needed = 3;
    if (command == "prepare-textures") needed = 4;
    if (!needed) return usage("unknown command '" + command + "'");
    if (args.size() < *needed) return usage("missing arguments for " + command);

    sleepMs(std::atol(envOr("FAKE_ASSETS_DELAY_MS", "0").c_str()));
    for (const std::string gate = envOr("FAKE_ASSETS_WAIT_FOR", "");
         !gate.empty() && !std::filesystem::exists(gate);)
        sleepMs(10);
    if (command == "species") return speciesCommand();
    if (command == "export") return exportCommand(args[1], utf8Path(args[2]));
    if (command == "inspect-fbx") return inspectCommand(utf8Path(args[1]), utf8Path(args[2]));
    return prepareCommand(utf8Path(args[1]), utf8Path(args[2]), utf8Path(args[3]));
}
