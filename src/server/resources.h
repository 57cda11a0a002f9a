#pragma once
#include <string>

// root + "/resources"
std::string resourcesFolder(const std::string& root);

// Makes sure the skins resource has its folder, manifest, scripts and textures folder without
// overwriting anything that exists. Does not touch server.cfg or skins.lua. False when a
// missing piece could not be created.
bool ensureSkinsResource(const std::string& root);
