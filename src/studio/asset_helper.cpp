#include "studio/asset_helper.h"

#include "platform/paths.h"

std::string assetsFolder() {
    return platform::appDataFolder() + "/assets";
}
