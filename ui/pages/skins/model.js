/*
 * Skins as the page keeps them: zones, colours, neon factors, names, and the checks before
 * a save. skins.json may have been edited by hand, so everything read from it is checked.
 */

import { SKINS_BROKEN } from '../../shell/state.js';

// Colour zones of a skin, in the order skins.json and skins.lua list them.
export const ZONES = [
  ['body', 'Body'],
  ['flank', 'Flank'],
  ['underbelly', 'Underbelly'],
  ['markings', 'Markings'],
  ['display', 'Male display'],
  ['teeth', 'Teeth'],
  ['mouth', 'Mouth'],
  ['claws', 'Claws'],
  ['detail', 'Detail'],
  ['eyes', 'Eyes'],
];
export const ZONE_KEYS = ZONES.map((zone) => zone[0]);
export const SKIN_SPECIES = [
  'Allosaurus', 'Austroraptor', 'Beipiaosaurus', 'Carnotaurus', 'Ceratosaurus', 'Deinosuchus',
  'Diabloceratops', 'Dilophosaurus', 'Dryosaurus', 'Gallimimus', 'Herrerasaurus', 'Hypsilophodon',
  'Kentrosaurus', 'Maiasaura', 'Omniraptor', 'Pachycephalosaurus', 'Pteranodon', 'Stegosaurus',
  'Tenontosaurus', 'Triceratops', 'Troodon', 'Tyrannosaurus',
];
export const ZONE_HEX = '#808080';
const BLANK_BODY_HEX = '#6C3729';

export const TEXT = {
  badHex: 'Hex looks like #RRGGBB.',
  badSkinName: 'Name: lowercase letters, digits and _ only.',
  skinExists: 'A skin with that name exists.',
  skinEmpty: 'Switch on a zone or pick a pattern texture.',
  handWritten: 'skins.lua exists but was written by hand. Saving here replaces it.',
  skinsBroken: SKINS_BROKEN,
};

/** "#RRGGBB" in upper case from what a person typed, or null when it is no colour. */
export function normaliseHex(text) {
  if (text === null || text === undefined) return null;
  let hex = String(text).trim().toUpperCase();
  if (!hex.startsWith('#')) hex = '#' + hex;
  return /^#[0-9A-F]{6}$/.test(hex) ? hex : null;
}

/** The neon factor entered: a number of at least 1; anything unreadable is 1. */
export function parseNeon(value) {
  if (typeof value === 'string' && value.trim() === '') return 1;
  const n = typeof value === 'number' ? value : Number(value);
  if (!Number.isFinite(n)) return 1;
  return Math.max(1, n);
}

/** Pattern and theme are whole numbers or empty (empty keeps the game's own). */
export function wholeNumberText(value) {
  if (value === null || value === undefined) return '';
  const text = String(value).trim();
  return /^\d+$/.test(text) ? text : '';
}

/** The name a skin is saved under: what was typed, trimmed and lower-cased. */
export function skinName(text) {
  return String(text === null || text === undefined ? '' : text).trim().toLowerCase();
}

function zone(on, hex, glow) {
  return { on, hex, glow };
}

/** What "New skin" starts from: only the body switched on, in a brown the game also uses. */
export function blankSkin() {
  const zones = {};
  for (const key of ZONE_KEYS) zones[key] = key === 'body' ? zone(true, BLANK_BODY_HEX, 1) : zone(false, ZONE_HEX, 1);
  return { name: '', species: '', admin: false, pattern: '', theme: '', texture: '', zones };
}

function text(value) {
  return typeof value === 'string' ? value : '';
}

/**
 * A skin record from skins.json in the page's own shape, members in their stored order.
 * The file may have been edited by hand, so every member is read defensively; a zone
 * that is missing or garbled comes back switched off rather than breaking the page.
 */
export function normaliseSkin(raw) {
  const source = raw && typeof raw === 'object' ? raw : {};
  const zonesIn = source.zones && typeof source.zones === 'object' ? source.zones : {};
  const zones = {};
  for (const key of ZONE_KEYS) {
    const z = zonesIn[key] && typeof zonesIn[key] === 'object' ? zonesIn[key] : {};
    zones[key] = zone(z.on === true, normaliseHex(z.hex) || ZONE_HEX, parseNeon(z.glow));
  }
  return {
    name: text(source.name),
    species: text(source.species),
    admin: source.admin === true,
    pattern: wholeNumberText(source.pattern),
    theme: wholeNumberText(source.theme),
    texture: text(source.texture),
    zones,
  };
}

/** The skins of a state message as page records; entries that are not objects are dropped. */
export function skinList(raw) {
  return Array.isArray(raw) ? raw.filter((s) => s && typeof s === 'object' && !Array.isArray(s)).map(normaliseSkin) : [];
}

export function copySkin(skin) {
  return normaliseSkin(JSON.parse(JSON.stringify(skin)));
}

/**
 * Why the edited skin cannot be saved, checked in a fixed order, or '' when it can.
 * `others` is the list it goes into and `index` its place there (-1 for a new skin).
 */
export function checkSkin(skin, others, index) {
  const name = skinName(skin.name);
  if (!/^[a-z0-9_]+$/.test(name)) return TEXT.badSkinName;
  if (others.some((other, i) => i !== index && other && other.name === name)) return TEXT.skinExists;
  const zones = skin.zones || {};
  const anyZone = ZONE_KEYS.some((key) => zones[key] && zones[key].on === true);
  if (!anyZone && !text(skin.texture)) return TEXT.skinEmpty;
  return '';
}

/**
 * Where an edited skin goes back: its old place if that still holds the skin that was
 * opened (a state message may have changed the list meanwhile), else wherever a skin of
 * the opened name now is, else -1 for the end.
 */
export function editTarget(skins, edit) {
  if (!edit || edit.index < 0 || !edit.original) return -1;
  if (skins[edit.index] && skins[edit.index].name === edit.original) return edit.index;
  return skins.findIndex((s) => s.name === edit.original);
}

/** The list with `skin` put at `index`, or added at the end for -1. */
export function placeSkin(skins, index, skin) {
  const list = skins.slice();
  if (index >= 0 && index < list.length) list[index] = skin;
  else list.push(skin);
  return list;
}
