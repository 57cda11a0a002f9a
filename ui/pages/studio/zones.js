/*
 * The zones a skin is coloured by: which pure colour of the painted pattern, or which
 * channel of the game's mask, marks each one, and the colour and glow the owner gives it.
 */
import { GLOW_MIN, GLOW_MAX } from './constants.js';

/**
 * The painted zones, each marked on the pattern by one pure colour, and the three zones the
 * game's mask marks. Keys are the skin zone keys, so a colour chosen here means the same zone
 * in the skins editor.
 */
export const PAINT_ZONES = [
  { key: 'display', label: 'Male display', rgb: [255, 0, 0], hex: '#6C3729' },
  { key: 'underbelly', label: 'Underbelly', rgb: [0, 255, 0], hex: '#D3B48B' },
  { key: 'flank', label: 'Flank', rgb: [0, 0, 255], hex: '#594934' },
  { key: 'body', label: 'Body', rgb: [0, 255, 255], hex: '#897559' },
  { key: 'markings', label: 'Markings', rgb: [255, 0, 255], hex: '#342F29' },
  { key: 'detail', label: 'Detail', rgb: [255, 255, 0], hex: '#000000' },
];
export const MASK_ZONES = [
  { key: 'teeth', label: 'Teeth', channel: 0, hex: '#E9DDC5' },
  { key: 'mouth', label: 'Mouth', channel: 1, hex: '#7C5859' },
  { key: 'claws', label: 'Claws', channel: 2, hex: '#3A3128' },
];
export const ALL_ZONES = [...PAINT_ZONES, ...MASK_ZONES];

// A pattern pixel's on-channels as bits (red 1, green 2, blue 4) name its zone. Black and
// white are no zone: white has every channel on and so is not one pure colour.
export const ZONE_BY_BITS = [null, 'display', 'underbelly', 'detail', 'flank', 'markings', 'body', null];

// ------------------------------------------------------------------------------ zones

/** A channel counts as on above 127, so 128 is on and 127 is off. */
export function channelOn(value) {
  return value > 127;
}

/** A pattern colour's on-channels as bits, the index into ZONE_BY_BITS. */
export function bitsOf(r, g, b) {
  return (channelOn(r) ? 1 : 0) | (channelOn(g) ? 2 : 0) | (channelOn(b) ? 4 : 0);
}

/** The painted zone a pattern colour marks, or null for none. */
export function zoneOfColour(r, g, b) {
  return ZONE_BY_BITS[bitsOf(r, g, b)];
}

/**
 * The mask zone of a mask colour, or null. A texel the mask marks twice goes to the zone
 * listed first (teeth, then mouth, then claws).
 */
export function maskZoneOfColour(r, g, b) {
  if (channelOn(r)) return 'teeth';
  if (channelOn(g)) return 'mouth';
  if (channelOn(b)) return 'claws';
  return null;
}

function readWith(rgba, width, height, zoneOf, keys) {
  const count = width * height;
  if (rgba.length < count * 4) throw new RangeError('pixel data smaller than width x height');
  const out = new Uint8Array(count);
  for (let i = 0; i < count; i++) {
    const p = i * 4;
    const key = zoneOf(rgba[p], rgba[p + 1], rgba[p + 2]);
    out[i] = key === null ? 0 : keys.indexOf(key) + 1;
  }
  return out;
}

/**
 * Zone of every texel of an RGBA image: 0 for none, else 1 + the index into PAINT_ZONES.
 */
export function readZones(rgba, width, height) {
  return readWith(rgba, width, height, zoneOfColour, PAINT_ZONES.map((z) => z.key));
}

/** Mask zone of every texel: 0 for none, else 1 + the index into MASK_ZONES. */
export function readMaskZones(rgba, width, height) {
  return readWith(rgba, width, height, maskZoneOfColour, MASK_ZONES.map((z) => z.key));
}

// ------------------------------------------------------------------------------ colours

/** "#RRGGBB" as three numbers; anything else is null. */
export function hexToRgb(hex) {
  const m = /^#?([0-9a-f]{2})([0-9a-f]{2})([0-9a-f]{2})$/i.exec(String(hex).trim());
  if (!m) return null;
  return [parseInt(m[1], 16), parseInt(m[2], 16), parseInt(m[3], 16)];
}

/** How much a glowing zone is brightened in the preview; no glow (1 or less) leaves it. */
export function glowFactor(glow) {
  const g = Number(glow);
  if (!(g > 1)) return 1;
  return Math.min(2, g / 2 + 0.5);
}

/** The glow typed by the owner, like the skins editor's neon: 1 to 20, invalid gives 1. */
export function parseGlow(text) {
  const g = typeof text === 'number' ? text : parseFloat(String(text).trim());
  if (!Number.isFinite(g) || g < GLOW_MIN) return GLOW_MIN;
  return Math.min(GLOW_MAX, g);
}

export function defaultColours() {
  const colours = {};
  for (const z of ALL_ZONES) colours[z.key] = z.hex;
  return colours;
}

export function defaultGlows() {
  const glows = {};
  for (const z of ALL_ZONES) glows[z.key] = 1;
  return glows;
}

/** The colour a zone is previewed in: the owner's choice (else its default), glow applied. */
export function zoneRgb(key, colours, glows) {
  const zone = ALL_ZONES.find((z) => z.key === key);
  const rgb = hexToRgb((colours && colours[key]) || zone.hex) || hexToRgb(zone.hex);
  const factor = glowFactor(glows ? glows[key] : 1);
  return rgb.map((c) => c * factor);
}
