#pragma once
#include <string_view>

namespace server {

// The files a new resource starts with, byte for byte (line ends included). "%NAME%" in the
// ordinary templates is replaced by the resource name; the skins templates have none.
namespace templates {

extern const std::string_view ordinaryManifest;  // manifest.lua, CR LF
extern const std::string_view ordinaryServer;    // server.lua, CR LF
extern const std::string_view ordinaryClient;    // client.lua, CR LF
extern const std::string_view ordinaryUiPage;    // ui/index.html, CR LF
extern const std::string_view skinsManifest;     // manifest.lua, CR LF
extern const std::string_view skinsServer;       // server.lua, LF only
extern const std::string_view skinsClient;       // client.lua, LF only
extern const std::string_view defaultSkinList;   // skins.lua, CR LF

}  // namespace templates

}  // namespace server
