#pragma once
#include <string>

namespace studio {

// appDataFolder() + "/assets": where extracted species are kept. Created by the hosts.
std::string assetsFolder();

}  // namespace studio
