#pragma once
#include <string>

// appDataFolder() + "/assets": where extracted species are kept. Created by the hosts.
std::string assetsFolder();
