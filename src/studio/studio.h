#pragma once
#include <string>

namespace bridge {
struct App;
}  // namespace bridge

namespace studio {

// The "studio" message: whether the asset helper is there, the assets folder, the stored
// species list and the extracted species.
std::string buildStudioMessage(const std::string& programFolder);

// Builds the studio message and posts it.
void sendStudio(bridge::App& app);

// From the helper's output for `species`: the bracketed span to store as the species list, or
// empty when the output holds none.
std::string speciesListSpan(const std::string& output);

}  // namespace studio
