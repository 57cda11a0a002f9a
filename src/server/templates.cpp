#include "server/templates.h"

#include <array>
#include <cstddef>

namespace server {

namespace templates {
namespace {

// The texts are kept here with LF line ends so that they read like the files they become.
// Most of them go to disk with CR LF (the dedicated server and the people who edit these files
// live on Windows); those are converted once, at compile time, so that no line end can be
// missed or doubled at run time.

constexpr std::size_t crlfSize(std::string_view text) {
    std::size_t size = text.size();
    for (char c : text) {
        if (c == '\n') ++size;
    }
    return size;
}

constexpr bool hasCarriageReturn(std::string_view text) {
    return text.find('\r') != std::string_view::npos;
}

template <std::size_t N>
consteval std::array<char, N> toCrLf(std::string_view text) {
    std::array<char, N> out{};
    std::size_t at = 0;
    for (char c : text) {
        if (c == '\n') out[at++] = '\r';
        out[at++] = c;
    }
    return out;
}

template <const std::string_view& lf>
constexpr auto crlf = [] {
    static_assert(!hasCarriageReturn(lf), "CR LF templates are written with LF only here");
    static_assert(lf.ends_with('\n'), "every template ends with a line end");
    return toCrLf<crlfSize(lf)>(lf);
}();

template <std::size_t N>
constexpr std::string_view view(const std::array<char, N>& text) {
    return {text.data(), text.size()};
}

// The raw strings start right after "(" and end with a line break before ")lua", so each
// text begins with its first line and ends with a line end, as the files must.

constexpr std::string_view kOrdinaryManifestLf = R"lua(name "%NAME%"
author "me"

server "server.lua"
client "client.lua"
files {
  "ui/*"
}
)lua";

constexpr std::string_view kOrdinaryServerLf =
    R"lua(forgeset.events.add("playerSpawned", function(player)
  player:message("Welcome " .. player.name .. ", you are a " .. player.species)
end)

forgeset.commands.add("hello", function(player, ...)
  player:message("hello " .. player.name .. " " .. table.concat({ ... }, " "))
end)

forgeset.events.add("ping", function(player, value)
  player:call("pong", value)
end)
)lua";

constexpr std::string_view kOrdinaryClientLf = R"lua(forgeset.events.add("onClientReady", function()
  print("%NAME% client loaded")
  forgeset.events.callRemote("ping", 1)
end)

forgeset.events.add("pong", function(value)
  print("server answered " .. tostring(value))
end)

forgeset.keys.on("F6", function(down)
  if not down then return end
  local me = forgeset.game.localPlayer()
  if me then print(me.species .. " growth " .. me.growth) end
end)
)lua";

constexpr std::string_view kOrdinaryUiPageLf =
    "<!doctype html><meta charset=\"utf-8\"><title>%NAME%</title>\n";

constexpr std::string_view kSkinsManifestLf = R"lua(name "skins"
author "forgeset"
description "Custom skins for players: /skin <name>, /skins, /skinreset"

server "skins.lua"
server "server.lua"
client "client.lua"
files {
  "textures/*"
}
)lua";

// The skins scripts go out with LF only, exactly as they stand here.
constexpr std::string_view kSkinsServerText = R"lua(local SAVE_PATH = "resources/skins/data.json"

local worn = {}

local function load()
  local f = io.open(SAVE_PATH, "r")
  if not f then return end
  local text = f:read("a")
  f:close()
  for steamId, name in text:gmatch('"(%d+)"%s*:%s*"([%w_%-]+)"') do
    worn[steamId] = name
  end
end

local function save()
  local f = io.open(SAVE_PATH, "w")
  if not f then return end
  local parts = {}
  for steamId, name in pairs(worn) do
    parts[#parts + 1] = string.format('"%s":"%s"', steamId, name)
  end
  f:write("{" .. table.concat(parts, ",") .. "}")
  f:close()
end

local function reply(player, text)
  if player.linked then player:print(text) end
  player:message(text, "Skins")
end

local function apply(player, name)
  local skin = Skins[name]
  if not skin then return false, "unknown skin: " .. name end
  if skin.admin and not player.admin then return false, "admin only: " .. name end
  if not player.hasDino then return false, "spawn a dino first" end
  if skin.species and skin.species ~= player.species then
    return false, name .. " is for " .. skin.species .. ", you are " .. player.species
  end
  if not player:setSkin(skin) then return false, "could not apply " .. name end
  return true
end

local function announce(player, name)
  local skin = name and Skins[name]
  forgeset.events.callAll("skinTexture", player.name, skin and skin.texture or "")
end

local function wear(player, name)
  local ok, err = apply(player, name)
  if not ok then reply(player, err) return end
  worn[player.steamId] = name
  save()
  announce(player, name)
  reply(player, "skin " .. name .. " applied")
end

forgeset.events.add("playerJoined", function(client)
  for steamId, name in pairs(worn) do
    local target = forgeset.players.get(steamId)
    local skin = Skins[name]
    if target and skin and skin.texture then client:call("skinTexture", target.name, skin.texture) end
  end
end)

forgeset.commands.add("skin", function(player, name)
  if not name then reply(player, "usage: /skin <name>, /skins for the list") return end
  wear(player, name)
end)

forgeset.commands.add("skins", function(player)
  local names = {}
  for name, skin in pairs(Skins) do
    if not skin.admin or player.admin then
      names[#names + 1] = name .. (skin.species and (" (" .. skin.species .. ")") or "")
    end
  end
  table.sort(names)
  reply(player, "skins: " .. table.concat(names, ", "))
end)

forgeset.commands.add("skinreset", function(player)
  worn[player.steamId] = nil
  save()
  announce(player, nil)
  reply(player, "skin removed, respawn to see the default look")
end)

forgeset.commands.add("giveskin", function(player, steamId, name)
  local target = steamId and forgeset.players.get(steamId)
  if not target then reply(player, "usage: /giveskin <steamId> <name>") return end
  wear(target, name or "")
end, true)

forgeset.events.add("playerSpawned", function(player)
  local name = worn[player.steamId]
  if not name then return end
  forgeset.setTimeout(1500, function()
    local fresh = forgeset.players.get(player.steamId)
    if fresh then apply(fresh, name) announce(fresh, name) end
  end)
end)

load()
print("skins loaded: " .. (function() local n = 0 for _ in pairs(Skins) do n = n + 1 end return n end)() .. " defined")
)lua";

constexpr std::string_view kSkinsClientText = R"lua(local textures = {}
local slots = {}
local PARAMS = { "Adult_Base_ColorOverlay", "Juvenile_Base_ColorOverlay", "Hatchling_Base_ColorOverlay" }

forgeset.events.add("skinTexture", function(playerName, file)
  if file == nil or file == "" then textures[playerName] = nil else textures[playerName] = file end
end)

local function bodySlot(char)
  local cached = slots[char.id]
  if cached ~= nil then return cached end
  local n = forgeset.game.materialCount(char)
  for slot = 0, n - 1 do
    for _, p in ipairs(forgeset.game.materialParams(char, slot)) do
      if p.type == "material" and p.name == "M_MasterSkin_Dinosaur" then
        slots[char.id] = slot
        return slot
      end
    end
  end
  slots[char.id] = false
  return false
end

forgeset.setInterval(3000, function()
  local seen = {}
  for _, c in ipairs(forgeset.game.characters()) do
    seen[c.id] = true
    local file = textures[c.name]
    if file then
      local slot = bodySlot(c)
      if slot then
        for _, p in ipairs(PARAMS) do forgeset.game.setMaterialTexture(c, slot, p, file) end
      end
    end
  end
  for id in pairs(slots) do if not seen[id] then slots[id] = nil end end
end)
)lua";

constexpr std::string_view kDefaultSkinListLf = R"lua(Skins = {
  neon_rex = {
    species = "Tyrannosaurus",
    body = { 0.0, 4.0, 4.0 },
    flank = { 0.0, 2.5, 4.0 },
    underbelly = { 0.0, 0.6, 1.2 },
    markings = { 6.0, 0.0, 6.0 },
    display = { 6.0, 0.0, 6.0 },
  },
  blood = {
    body = "#5A0A0A",
    flank = "#7A1010",
    underbelly = "#2A0505",
    markings = "#C41E1E",
    display = "#FF2020",
  },
  albino = {
    body = "#F2F2F2",
    flank = "#E6E6E6",
    underbelly = "#FFFFFF",
    markings = "#D9D9D9",
    display = "#FFB3B3",
    eyes = "#FF3030",
  },
  gold = {
    admin = true,
    body = { 2.0, 1.4, 0.2 },
    flank = { 2.5, 1.8, 0.3 },
    underbelly = { 1.2, 0.9, 0.2 },
    markings = { 3.0, 2.0, 0.1 },
    display = { 3.0, 2.0, 0.1 },
  },
}
)lua";

}  // namespace

const std::string_view ordinaryManifest = view(crlf<kOrdinaryManifestLf>);
const std::string_view ordinaryServer = view(crlf<kOrdinaryServerLf>);
const std::string_view ordinaryClient = view(crlf<kOrdinaryClientLf>);
const std::string_view ordinaryUiPage = view(crlf<kOrdinaryUiPageLf>);
const std::string_view skinsManifest = view(crlf<kSkinsManifestLf>);
const std::string_view skinsServer = kSkinsServerText;
const std::string_view skinsClient = kSkinsClientText;
const std::string_view defaultSkinList = view(crlf<kDefaultSkinListLf>);

}  // namespace templates

}  // namespace server
