#pragma once
// The game's model of a species as the fake export writes it.
#include <string>

namespace fake_assets {

// A binary glTF file: a low-poly animal body named after `species`, with normals and UVs that
// cover the whole of the fake textures.
std::string encodeGlb(const std::string& species);

}  // namespace fake_assets
