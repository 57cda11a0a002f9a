/*
 * Brains and spawners as documents: their defaults, the presets a new brain starts from, the
 * species the game lets the AI drive, and brains.json / spawns.json read into the page's
 * model and written back. Everything here is pure so the tests can hold it to the file format.
 */
import { isPlainObject, merge } from '../../lib/fields.js';

export const ABILITY_MAX = 32;
export const IDLE_MAX = 16;

export const BRAIN_DEFAULTS = {
  label: '',
  preset: 'custom',
  senses: { sightRange: 6000, sightAngle: 360, hearingRange: 9000, memorySeconds: 12, lineOfSight: false },
  movement: {
    roamRadius: 4000,
    roamPauseMin: 2,
    roamPauseMax: 6,
    roamGait: 'walk',
    chaseGait: 'sprint',
    fleeGait: 'sprint',
    leash: 8000,
    homeMode: 'spawn',
  },
  targets: {
    players: true,
    ai: false,
    onlySpecies: [],
    ignoreSpecies: [],
    ignoreSameSpecies: true,
    minGrowth: 0,
    maxGrowth: 1,
    ignorePermission: '',
  },
  temperament: {
    aggression: 0,
    retaliate: true,
    fightToDeath: false,
    fleeHealth: 0.25,
    fleeFromBigger: true,
    fearSizeRatio: 1.25,
    fleeFromEveryone: false,
    fleeSeconds: 8,
    activeAt: 'any',
  },
  attack: {
    rangeFromBody: true,
    bodyRangeMultiplier: 2.5,
    biteLength: 250,
    range: 400,
    cooldown: 1,
    autoAbilities: true,
    abilities: [],
  },
  pack: { size: 1, shareTarget: true, answerCalls: true, callRange: 6000, callChance: 0.5 },
  idle: [],
  stats: { infiniteStamina: true, growth: 1 },
  despawn: { afterSeconds: 0, noPlayerWithin: 0, noPlayerSeconds: 120 },
};

export const ABILITY_DEFAULTS = { name: '', weight: 1, minRange: 0, maxRange: 0, cooldown: 0 };
export const IDLE_DEFAULTS = { ability: '', minSeconds: 60, maxSeconds: 240, onlyAlone: false, whenBusy: true };

export const PRESETS = [
  {
    key: 'predator',
    label: 'Predator',
    values: { temperament: { aggression: 0.8, fleeHealth: 0.15 }, senses: { sightRange: 8000 } },
  },
  {
    key: 'prey',
    label: 'Prey',
    values: {
      temperament: { aggression: 0, retaliate: false, fleeFromEveryone: true, fleeSeconds: 12 },
      senses: { sightRange: 5000 },
    },
  },
  {
    key: 'guard',
    label: 'Guard',
    values: {
      temperament: { aggression: 1, fightToDeath: true, fleeFromBigger: false },
      movement: { roamRadius: 1500, leash: 3000 },
      senses: { sightRange: 4000 },
    },
  },
  {
    key: 'passive',
    label: 'Passive',
    values: { temperament: { aggression: 0, retaliate: true, fleeFromBigger: false } },
  },
  { key: 'custom', label: 'Blank', values: {} },
];
const PRESET_KEYS = PRESETS.map((p) => p.key);

export const SPAWNER_DEFAULTS = {
  id: '',
  label: '',
  species: 'carnotaurus',
  brain: '',
  x: 0,
  y: 0,
  z: 0,
  radius: 3000,
  count: 1,
  respawnSeconds: 300,
  growth: 1,
  activeAt: 'any',
  playersWithin: 0,
  enabled: true,
};

export const AI_SPECIES = [
  'tyrannosaurus', 'allosaurus', 'carnotaurus', 'ceratosaurus', 'dilophosaurus', 'herrerasaurus',
  'omniraptor', 'troodon', 'deinosuchus', 'pteranodon', 'triceratops', 'stegosaurus',
  'kentrosaurus', 'diabloceratops', 'tenontosaurus', 'maiasaura', 'pachycephalosaurus',
  'beipiaosaurus', 'gallimimus', 'dryosaurus', 'hypsilophodon', 'psittacosauruscoastal',
  'psittacosaurushighlands', 'psittacosaurusplains', 'compsognathus', 'pterodactylus', 'boar',
  'deer', 'goat', 'rabbit', 'chicken', 'longear', 'lizard', 'bullfrog', 'crab', 'seaturtle',
  'rainbowfish', 'coalacanth', 'muskelunge',
];
export const TARGET_SPECIES = AI_SPECIES.concat(['austroraptor']).sort();

export function presetOf(key) {
  return PRESETS.find((p) => p.key === key) || PRESETS[PRESETS.length - 1];
}

/** Species keys as brains keep them: strings, lower case, each once, sorted. */
export function speciesList(list) {
  const out = new Set();
  for (const item of Array.isArray(list) ? list : []) {
    if (typeof item !== 'string') continue;
    const key = item.trim().toLowerCase();
    if (key) out.add(key);
  }
  return Array.from(out).sort();
}

/** Any loaded brain value as a whole brain. */
export function normalizeBrain(raw) {
  const brain = merge(BRAIN_DEFAULTS, raw);
  if (!PRESET_KEYS.includes(brain.preset)) brain.preset = 'custom';
  brain.targets.onlySpecies = speciesList(brain.targets.onlySpecies);
  brain.targets.ignoreSpecies = speciesList(brain.targets.ignoreSpecies);
  brain.attack.abilities = brain.attack.abilities.slice(0, ABILITY_MAX).map((a) => merge(ABILITY_DEFAULTS, a));
  brain.idle = brain.idle.slice(0, IDLE_MAX).map((row) => merge(IDLE_DEFAULTS, row));
  return brain;
}

/** A new brain: the defaults with the preset's values laid over them. */
export function presetBrain(key) {
  const preset = presetOf(key);
  const brain = normalizeBrain(preset.values);
  brain.preset = preset.key;
  brain.label = preset.key === 'custom' ? '' : preset.label;
  return brain;
}

export function normalizeSpawner(raw) {
  return merge(SPAWNER_DEFAULTS, raw);
}

/** brains.json text to brains by name; null when the text is not JSON. */
export function parseBrains(text) {
  const brains = new Map();
  if (text === '') return brains;
  let doc;
  try {
    doc = JSON.parse(text);
  } catch {
    return null;
  }
  const source = isPlainObject(doc) && isPlainObject(doc.brains) ? doc.brains : {};
  for (const name of Object.keys(source)) brains.set(name, normalizeBrain(source[name]));
  return brains;
}

/** spawns.json text to its spawners and wild choices; null when the text is not JSON. */
export function parseSpawns(text) {
  const result = { spawners: [], wild: new Map() };
  if (text === '') return result;
  let doc;
  try {
    doc = JSON.parse(text);
  } catch {
    return null;
  }
  if (!isPlainObject(doc)) return result;
  if (Array.isArray(doc.spawners)) result.spawners = doc.spawners.map(normalizeSpawner);
  if (isPlainObject(doc.wild)) {
    for (const species of Object.keys(doc.wild)) {
      const brain = doc.wild[species];
      if (typeof brain === 'string' && brain !== '') result.wild.set(species, brain);
    }
  }
  return result;
}

export function sortedNames(brains) {
  return Array.from(brains.keys()).sort();
}

export function brainsDocument(brains) {
  // A prototype-less object, so a brain may be called anything, "__proto__" included.
  const byName = Object.create(null);
  for (const name of sortedNames(brains)) byName[name] = brains.get(name);
  return { version: 1, brains: byName };
}

export function spawnsDocument(spawners, wild) {
  const byKey = Object.create(null);
  // The game's own order first, then keys of species this page does not know yet.
  for (const species of AI_SPECIES) {
    const brain = wild.get(species);
    if (typeof brain === 'string' && brain !== '') byKey[species] = brain;
  }
  for (const [species, brain] of wild) {
    if (!AI_SPECIES.includes(species) && typeof brain === 'string' && brain !== '') byKey[species] = brain;
  }
  return { version: 1, spawners, wild: byKey };
}

export const documentText = (doc) => JSON.stringify(doc, null, 2);

export function brainSummary(brain) {
  const parts = [presetOf(brain.preset).label, `aggression ${Math.round(brain.temperament.aggression * 100)}%`];
  if (brain.pack.size > 1) parts.push(`pack of ${brain.pack.size}`);
  return parts.join(' · ');
}
