/*
 * Rules for the files of an extracted species and for what the page sends and shows: which
 * pattern to start from, asset addresses, texture names and the species chips.
 */
import { TEXTURE_NAME_ERROR } from './constants.js';

/**
 * The pattern to start painting from: the first pattern whose file names "Adult_Pattern_1",
 * else the first naming "Adult", else the first pattern at all; null when there is none.
 */
export function choosePattern(files) {
  const patterns = (Array.isArray(files) ? files : []).filter(
    (f) => f && typeof f === 'object' && f.kind === 'pattern' && typeof f.file === 'string' && f.file !== ''
  );
  return (
    patterns.find((f) => f.file.includes('Adult_Pattern_1')) ||
    patterns.find((f) => f.file.includes('Adult')) ||
    patterns[0] ||
    null
  );
}

/** The first listed file of a kind ("rac", "mask"), or null. */
export function fileOfKind(files, kind) {
  return (
    (Array.isArray(files) ? files : []).find(
      (f) => f && typeof f === 'object' && f.kind === kind && typeof f.file === 'string' && f.file !== ''
    ) || null
  );
}

/** Address of one file of an extracted species below the assets host. */
export function assetUrl(base, species, file) {
  return base + encodeURIComponent(species) + '/' + encodeURIComponent(file);
}

/** The name a texture is saved under, or the reason it cannot be. */
export function textureName(raw) {
  const name = String(raw === undefined || raw === null ? '' : raw).trim().toLowerCase();
  if (!/^[a-z0-9_-]+$/.test(name)) return { error: TEXTURE_NAME_ERROR };
  return { name };
}

/** The base64 part of a data URL, which is what the host stores as the PNG's bytes. */
export function dataUrlBase64(url) {
  const text = String(url);
  const comma = text.indexOf(',');
  return comma < 0 ? '' : text.slice(comma + 1);
}

/** What an error says, for the notices; a thrown non-Error is shown as it is. */
export function errorText(error) {
  if (error && typeof error === 'object' && typeof error.message === 'string' && error.message) {
    return error.message;
  }
  return String(error);
}

/**
 * The species chips from a studio message: the game's list in its order, then extracted
 * species the list does not name (the list may have been read again since). Names that are
 * not strings are skipped; a species appears once.
 */
export function speciesChips(msg) {
  const listed = msg && Array.isArray(msg.species) ? msg.species : [];
  const extracted = new Set(
    (msg && Array.isArray(msg.extracted) ? msg.extracted : []).filter((n) => typeof n === 'string')
  );
  const seen = new Set();
  const chips = [];
  for (const name of [...listed, ...extracted]) {
    if (typeof name !== 'string' || name === '' || seen.has(name)) continue;
    seen.add(name);
    chips.push({ name, extracted: extracted.has(name) });
  }
  return chips;
}
