/*
 * species.json read into the page's document and written back. Whatever a file holds (hand
 * edits, old versions, wrong types, absurd numbers), normalising gives a document that
 * follows the schema, so the next save always writes a valid one. The page edits this
 * normalised document directly: roles are kept as {anim, rate} or {blend, rate}, thresholds
 * with all three members, stats as the file writes them; serialising drops what the file
 * leaves out.
 */
import { isPlainObject, merge } from '../../lib/fields.js';
import {
  ATTACK_DEFAULTS, ATTACK_MAX, EVENT_LIMITS, GRID_X, GRID_Y, HABITATS, RATE_RANGE, ROLES, SOUND_KINDS,
  SOUND_RADIUS, SPECIES_DEFAULTS, STATS, TEXTURE_SIZES, THRESHOLDS, THRESHOLD_MAX,
} from './schema.js';

/** A finite number held within [min, max]; anything else is `fallback`. */
export function clampNumber(value, min, max, fallback) {
  if (typeof value !== 'number' || !Number.isFinite(value)) return fallback;
  return Math.min(max, Math.max(min, value));
}

const round3 = (n) => Math.round(n * 1000) / 1000;
const text = (value) => (typeof value === 'string' ? value : '');
const nonEmpty = (value) => typeof value === 'string' && value !== '';

/** One sound event: without a sound it is dropped (null); the rest is held to its limits. */
function normalizeEvent(raw) {
  if (!isPlainObject(raw) || !nonEmpty(raw.sound)) return null;
  const { time, volume, pitch } = EVENT_LIMITS;
  const event = {
    sound: raw.sound,
    time: round3(clampNumber(raw.time, time.min, time.max, 0)),
    volume: clampNumber(raw.volume, volume.min, volume.max, 1),
    pitch: clampNumber(raw.pitch, pitch.min, pitch.max, 1),
  };
  const bone = text(raw.bone).trim();
  if (bone) event.bone = bone;
  return event;
}

/** The events of one animation, sorted by time (a stable sort keeps equal times in order). */
function normalizeEvents(list) {
  const events = (Array.isArray(list) ? list : []).map(normalizeEvent).filter((e) => e !== null);
  return events.sort((a, b) => a.time - b.time);
}

/** A source animation; one without file and id is no animation (null). */
export function normalizeAnimation(raw) {
  if (!isPlainObject(raw) || !nonEmpty(raw.file) || !nonEmpty(raw.id)) return null;
  const out = { file: raw.file, id: raw.id };
  const events = normalizeEvents(raw.sounds);
  if (events.length > 0) out.sounds = events;
  return out;
}

function normalizeSound(raw) {
  if (!isPlainObject(raw) || !nonEmpty(raw.id) || !nonEmpty(raw.file)) return null;
  return {
    id: raw.id,
    file: raw.file,
    kind: SOUND_KINDS.includes(raw.kind) ? raw.kind : 'body',
    radius: clampNumber(raw.radius, SOUND_RADIUS.min, SOUND_RADIUS.max, SOUND_RADIUS.fallback),
  };
}

/** A texture slot: its slot name first, then one file name per texture type. */
function normalizeTexture(raw) {
  if (!isPlainObject(raw) || !nonEmpty(raw.slot)) return null;
  const out = { slot: raw.slot };
  for (const key of Object.keys(raw)) {
    if (key !== 'slot' && nonEmpty(raw[key])) out[key] = raw[key];
  }
  return out;
}

function normalizeSource(source) {
  source.animations = source.animations.map(normalizeAnimation).filter((a) => a !== null);
  source.sounds = source.sounds.map(normalizeSound).filter((s) => s !== null);
  source.textures = source.textures.map(normalizeTexture).filter((t) => t !== null);
  if (!TEXTURE_SIZES.includes(source.maxTextureSize)) source.maxTextureSize = 2048;
  source.unitScale = clampNumber(source.unitScale, 0.001, 1000, 1);
  if (!['', 'x', 'y'].includes(source.forwardAxis)) source.forwardAxis = '';
}

function normalizeVisual(visual) {
  visual.scale = clampNumber(visual.scale, 0.05, 20, 1);
  const offset = visual.offset;
  const numbers = offset.length === 3 && offset.every((n) => typeof n === 'number' && Number.isFinite(n));
  visual.offset = numbers ? offset.map((n) => clampNumber(n, -5000, 5000, 0)) : [0, 0, 0];
  visual.yaw = clampNumber(visual.yaw, -180, 180, 0);
  if (!['bottom', 'center', 'origin'].includes(visual.align)) visual.align = 'bottom';
  if (visual.attachTo === '') visual.attachTo = 'capsule';
}

const nearest = (value, choices) => choices.reduce((best, c) => (Math.abs(c - value) < Math.abs(best - value) ? c : best));

/** A blend sample on the grid, or null; positions between grid points go to the nearest. */
function normalizeSample(raw) {
  if (!isPlainObject(raw) || !nonEmpty(raw.anim)) return null;
  const x = clampNumber(raw.x, -1, 1, 0);
  const y = clampNumber(raw.y, -1, 1, 0);
  return { anim: raw.anim, x: nearest(x, GRID_X), y: nearest(y, GRID_Y) };
}

/** One role's value as {anim, rate} or {blend, rate}; null when it plays nothing. */
function normalizeRole(role, raw) {
  if (nonEmpty(raw)) return { anim: raw, rate: 1 };
  if (!isPlainObject(raw)) return null;
  const rate = clampNumber(raw.rate, RATE_RANGE.min, RATE_RANGE.max, 1);
  if (Array.isArray(raw.blend)) {
    const samples = [];
    for (const sample of raw.blend.map(normalizeSample)) {
      // One animation per grid cell: the first one named for a cell keeps it.
      if (sample && !samples.some((s) => s.x === sample.x && s.y === sample.y)) samples.push(sample);
    }
    if (samples.length === 0) return null;
    // Only movement roles blend; any other role plays the first animation it was given.
    return role.blend ? { blend: samples, rate } : { anim: samples[0].anim, rate };
  }
  return nonEmpty(raw.anim) ? { anim: raw.anim, rate } : null;
}

function normalizeRoles(loaded) {
  const out = {};
  for (const role of ROLES) {
    const value = Object.hasOwn(loaded, role.key) ? normalizeRole(role, loaded[role.key]) : null;
    if (value) out[role.key] = value;
  }
  return out;
}

/**
 * A stat as the file keeps it: a number sets the value, {factor} multiplies the template's,
 * and a bare number on a stat that can only be multiplied is taken as its factor.
 */
function normalizeStat(stat, raw) {
  const factor = isPlainObject(raw) ? raw.factor : stat.set ? undefined : raw;
  if (typeof factor === 'number' && Number.isFinite(factor)) {
    return { factor: clampNumber(factor, stat.factor.min, stat.factor.max, 1) };
  }
  if (stat.set && typeof raw === 'number' && Number.isFinite(raw)) return clampNumber(raw, stat.set.min, stat.set.max, stat.set.min);
  return undefined;
}

function normalizeStats(loaded) {
  const out = {};
  for (const stat of STATS) {
    const value = Object.hasOwn(loaded, stat.key) ? normalizeStat(stat, loaded[stat.key]) : undefined;
    if (value !== undefined) out[stat.key] = value;
  }
  return out;
}

/** An attack over its defaults, with every number held to its limit. */
export function normalizeAttack(raw) {
  const a = merge(ATTACK_DEFAULTS, raw);
  if (a.source !== 'custom' && !a.source.startsWith('host:')) a.source = 'custom';
  a.rate = clampNumber(a.rate, RATE_RANGE.min, RATE_RANGE.max, 1);
  a.damage = clampNumber(a.damage, 0, 100000, 50);
  a.staminaCost = clampNumber(a.staminaCost, 0, 10000, 10);
  a.cooldown = clampNumber(a.cooldown, 0, 3600, 1);
  a.hit.time = clampNumber(a.hit.time, 0, 30, 0.3);
  a.hit.duration = clampNumber(a.hit.duration, 0.01, 10, 0.15);
  if (!['cone', 'sphere'].includes(a.hit.shape)) a.hit.shape = 'cone';
  a.hit.range = clampNumber(a.hit.range, 0, 20000, 400);
  a.hit.angle = clampNumber(a.hit.angle, 1, 360, 60);
  a.hit.radius = clampNumber(a.hit.radius, 10, 10000, 200);
  a.hit.height = clampNumber(a.hit.height, 10, 10000, 300);
  if (!['free', 'slow', 'locked'].includes(a.move)) a.move = 'free';
  a.allowIn = HABITATS.filter((h) => a.allowIn.includes(h));
  a.minGrowth = clampNumber(a.minGrowth, 0, 1, 0.25);
  a.knockback = clampNumber(a.knockback, 0, 5000, 0);
  return a;
}

function asObject(value) {
  return isPlainObject(value) ? value : {};
}

/** Any parsed species.json (or nothing) as a whole document for the workspace `name`. */
export function normalizeSpecies(raw, name) {
  const loaded = asObject(raw);
  const doc = merge(SPECIES_DEFAULTS, loaded);
  doc.version = 1;
  doc.name = name;
  // Older files name the template `host`.
  if (!nonEmpty(loaded.template) && nonEmpty(loaded.host)) doc.template = loaded.host;
  doc.template = doc.template.trim().toLowerCase() || SPECIES_DEFAULTS.template;
  normalizeSource(doc.source);
  normalizeVisual(doc.visual);
  doc.animations = normalizeRoles(asObject(loaded.animations));
  for (const t of THRESHOLDS) doc.thresholds[t.key] = clampNumber(doc.thresholds[t.key], 0, THRESHOLD_MAX, 0);
  doc.stats = normalizeStats(asObject(loaded.stats));
  doc.habitat.outOfHabitatDamage = clampNumber(doc.habitat.outOfHabitatDamage, 0, 1, 0);
  doc.habitat.outOfHabitatGrace = clampNumber(doc.habitat.outOfHabitatGrace, 0, 3600, 10);
  doc.attacks = (Array.isArray(loaded.attacks) ? loaded.attacks : []).slice(0, ATTACK_MAX).map(normalizeAttack);
  doc.access.maxPlayers = Math.round(clampNumber(doc.access.maxPlayers, 0, 1000, 0));
  return doc;
}

/** species.json text to a document; null when the text is not JSON. Empty text is a new file. */
export function parseSpecies(textValue, name) {
  if (textValue === '') return normalizeSpecies({}, name);
  try {
    return normalizeSpecies(JSON.parse(textValue), name);
  } catch {
    return null;
  }
}

/** A role as the file writes it: a bare id at speed 1, else the object; null to leave it out. */
function roleForFile(value) {
  if (!value) return null;
  if (value.blend) return value.blend.length === 0 ? null : { blend: value.blend.map(({ anim, x, y }) => ({ anim, x, y })), rate: value.rate };
  if (!nonEmpty(value.anim)) return null;
  return value.rate === 1 ? value.anim : { anim: value.anim, rate: value.rate };
}

function sourceForFile(source) {
  const animations = source.animations.map((a) => {
    const out = { file: a.file, id: a.id };
    const events = normalizeEvents(a.sounds);
    if (events.length > 0) out.sounds = events;
    return out;
  });
  return { ...source, animations };
}

/** The object species.json holds: only set roles, thresholds above 0, only changed stats. */
function speciesForFile(doc) {
  const animations = {};
  for (const role of ROLES) {
    const value = roleForFile(doc.animations[role.key]);
    if (value !== null) animations[role.key] = value;
  }
  const thresholds = {};
  for (const t of THRESHOLDS) if (doc.thresholds[t.key] > 0) thresholds[t.key] = doc.thresholds[t.key];
  const stats = {};
  for (const stat of STATS) {
    const value = doc.stats[stat.key];
    if (value !== undefined) stats[stat.key] = value;
  }
  return {
    version: 1,
    name: doc.name,
    label: doc.label,
    template: doc.template,
    enabled: doc.enabled,
    disableHostAttacks: doc.disableHostAttacks,
    source: sourceForFile(doc.source),
    visual: doc.visual,
    animations,
    thresholds,
    stats,
    habitat: doc.habitat,
    attacks: doc.attacks,
    access: doc.access,
  };
}

/** The text saveSpecies sends: the file's object with 2-space indentation. */
export function speciesText(doc) {
  return JSON.stringify(speciesForFile(doc), null, 2);
}

/** A new species' document. */
export function newSpecies(name, label, template) {
  return normalizeSpecies({ label, template }, name);
}
