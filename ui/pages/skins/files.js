/*
 * What the Skins page writes into the skins resource: skins.json, which the page reads back,
 * and skins.lua, which the game server loads. Both go to the host in one saveSkins command.
 */

import { base64Utf8 } from '../../lib/base64.js';
import { normaliseHex, normaliseSkin, parseNeon, ZONE_HEX, ZONE_KEYS } from './model.js';

/** skins.json: the list without indentation, each skin's members in their fixed order. */
export function skinsJson(skins) {
  return JSON.stringify(skins.map(normaliseSkin));
}

// sRGB channel (0 to 255) to linear light.
export function linearChannel(byte) {
  const s = byte / 255;
  return s <= 0.04045 ? s / 12.92 : Math.pow((s + 0.055) / 1.055, 2.4);
}

/**
 * Three decimals in the shortest form: 2, 0.5, 0.432. toFixed rounds the double's exact
 * value, which x * 1000 rounding does not always do.
 */
export function luaNumber(x) {
  const rounded = Number(x.toFixed(3));
  return String(rounded === 0 ? 0 : rounded);
}

/** A zone's colour in skins.lua: plain hex up to neon 1, glowing linear light above. */
export function zoneColourLua(z) {
  const hex = normaliseHex(z.hex) || ZONE_HEX;
  const glow = parseNeon(z.glow);
  if (glow <= 1) return `"${hex}"`;
  const channels = [1, 3, 5].map((at) => linearChannel(parseInt(hex.slice(at, at + 2), 16)) * glow);
  return `{ ${channels.map(luaNumber).join(', ')} }`;
}

// Texts come from names the page checks, but a hand-edited skins.json may hold anything and
// a stray quote must not break the whole file for the server.
function luaString(value) {
  return '"' + String(value).replace(/[\\"]/g, '\\$&').replace(/\r/g, '\\r').replace(/\n/g, '\\n') + '"';
}

const LUA_KEYWORDS = new Set([
  'and', 'break', 'do', 'else', 'elseif', 'end', 'false', 'for', 'function', 'goto', 'if', 'in',
  'local', 'nil', 'not', 'or', 'repeat', 'return', 'then', 'true', 'until', 'while',
]);

// A skin name is a bare table key in skins.lua. The name rule still lets through a few that
// Lua cannot take bare ("end", "2fast"); those go in brackets so the file stays loadable.
function luaKey(name) {
  return /^[A-Za-z_][A-Za-z0-9_]*$/.test(name) && !LUA_KEYWORDS.has(name) ? name : `[${luaString(name)}]`;
}

/** skins.lua for the skins resource: the global table Skins, CR LF line ends. */
export function skinsLua(skins) {
  const lines = ['Skins = {'];
  for (const raw of skins) {
    const skin = normaliseSkin(raw);
    lines.push(`  ${luaKey(skin.name)} = {`);
    if (skin.species) lines.push(`    species = ${luaString(skin.species)},`);
    if (skin.admin) lines.push('    admin = true,');
    for (const key of ['pattern', 'theme']) {
      const n = skin[key] === '' ? NaN : parseInt(skin[key], 10);
      if (Number.isFinite(n)) lines.push(`    ${key} = ${n},`);
    }
    if (skin.texture) lines.push(`    texture = ${luaString('textures/' + skin.texture)},`);
    for (const key of ZONE_KEYS) {
      if (skin.zones[key].on) lines.push(`    ${key} = ${zoneColourLua(skin.zones[key])},`);
    }
    lines.push('  },');
  }
  lines.push('}');
  return lines.join('\r\n') + '\r\n';
}

/** The saveSkins command for a whole list. */
export function saveSkinsMessage(skins) {
  return { cmd: 'saveSkins', json: base64Utf8(skinsJson(skins)), lua: base64Utf8(skinsLua(skins)) };
}
