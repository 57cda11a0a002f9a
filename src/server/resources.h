#pragma once
#include <string>

#include "platform/result.h"

namespace server {

// root + "/resources"
std::string resourcesFolder(const std::string& root);

// Makes sure the skins resource has its folder, manifest, scripts and textures folder without
// overwriting anything that exists. Does not touch server.cfg or skins.lua. Fails when a
// missing piece could not be created, with the first failure.
platform::Result<> ensureSkinsResource(const std::string& root);

}  // namespace server
