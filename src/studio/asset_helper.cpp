#include "studio/asset_helper.h"

#include "platform/paths.h"

namespace studio {

std::string assetsFolder() {
    return platform::appDataFolder() + "/assets";
}

}  // namespace studio
