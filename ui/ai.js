/*
 * The AI page: brains (how the server's creatures behave) and spawners (where they live and
 * which brain wild animals use), edited here and written as brains.json and spawns.json.
 *
 * The first half of this file is the field machinery every editor page shares: the name
 * rule, free names, units, clamping and merging a loaded document over its defaults. It is
 * published as `window.vfFields`, so the Species page uses the very same rules.
 *
 * Loaded as a classic script before app.js; it registers its page with the shell through
 * `window.vfPages`. Under node it starts nothing and exports its pure parts for the tests.
 */
(function (global) {
  'use strict';

  // ================================================================ shared field machinery

  const NAME_MAX = 32;
  const NAME_PATTERN = /^[a-z0-9_]{1,32}$/;

  const ESCAPES = { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;' };

  /** HTML escaping for every text that did not come from this file. */
  function esc(value) {
    if (value === null || value === undefined) return '';
    return String(value).replace(/[&<>"']/g, (c) => ESCAPES[c]);
  }

  /** What a person typed as a name, as the rule sees it. */
  function cleanName(text) {
    return String(text === null || text === undefined ? '' : text).trim().toLowerCase();
  }

  /**
   * The one name rule for brains, spawners, attacks, sounds and species. Species names may
   * not start with "_" because the game keeps those for its own animals.
   */
  function isValidName(name, options) {
    if (typeof name !== 'string' || !NAME_PATTERN.test(name)) return false;
    return !(options && options.species && name.charAt(0) === '_');
  }

  function takenTest(taken) {
    if (typeof taken === 'function') return taken;
    if (taken instanceof Set || taken instanceof Map) return (name) => taken.has(name);
    if (Array.isArray(taken)) {
      const set = new Set(taken);
      return (name) => set.has(name);
    }
    if (taken && typeof taken === 'object') return (name) => Object.prototype.hasOwnProperty.call(taken, name);
    return () => false;
  }

  /**
   * The first of base, base_2, base_3 ... that is not taken, each cut to 32 characters.
   * When a long base would lose its number to the cut, the base gives way to the number
   * instead, so the search always ends.
   */
  function freeName(base, taken) {
    const isTaken = takenTest(taken);
    const whole = String(base);
    const first = whole.slice(0, NAME_MAX);
    if (!isTaken(first)) return first;
    for (let n = 2; ; n++) {
      const suffix = '_' + n;
      const cut = (whole + suffix).slice(0, NAME_MAX);
      if (!isTaken(cut)) return cut;
      if (whole.length + suffix.length > NAME_MAX) {
        const fitted = whole.slice(0, NAME_MAX - suffix.length) + suffix;
        if (!isTaken(fitted)) return fitted;
      }
    }
  }

  const UNIT_TEXT = { m: 'm', '%': '%', s: 's', deg: '°' };

  /** A typed number: a comma is a decimal point, and anything that is not a number is 0. */
  function parseEntered(text) {
    if (typeof text === 'number') return Number.isFinite(text) ? text : 0;
    const s = String(text === null || text === undefined ? '' : text).trim().replace(/,/g, '.');
    if (s === '') return 0;
    const n = Number(s);
    return Number.isFinite(n) ? n : 0;
  }

  /** The limits of a field in the units the person sees. */
  function limits(field) {
    const unit = (field && field.unit) || '';
    const min = field && typeof field.min === 'number' ? field.min : 0;
    const max = field && typeof field.max === 'number' ? field.max : unit === '%' ? 100 : 1e9;
    return { min, max };
  }

  function clampShown(value, field) {
    const { min, max } = limits(field);
    return Math.min(max, Math.max(min, value));
  }

  /** Metres are kept as whole centimetres and per cents as fractions with three decimals. */
  function toStored(shown, unit) {
    if (unit === 'm') return Math.round(shown * 100);
    if (unit === '%') return Math.round(shown * 10) / 1000;
    return shown;
  }

  function toShown(stored, unit) {
    const value = typeof stored === 'number' && Number.isFinite(stored) ? stored : 0;
    if (unit === 'm') return Math.round(value) / 100;
    if (unit === '%') return Math.round(value * 1000) / 10;
    return value;
  }

  function decimalsOf(step) {
    const text = String(step);
    const dot = text.indexOf('.');
    return dot < 0 ? 0 : text.length - dot - 1;
  }

  /** Typed text to the stored value: read, clamp in shown units, snap, then convert. */
  function readNumber(text, field) {
    const unit = (field && field.unit) || '';
    let value = clampShown(parseEntered(text), field);
    if (field && field.step) {
      const { min } = limits(field);
      const snapped = min + Math.round((value - min) / field.step) * field.step;
      value = clampShown(Number(snapped.toFixed(decimalsOf(field.step) + decimalsOf(min))), field);
    }
    if (field && field.int) value = clampShown(Math.round(value), field);
    return toStored(value, unit);
  }

  function showNumber(stored, field) {
    return String(toShown(stored, (field && field.unit) || ''));
  }

  function jsonType(value) {
    if (value === null) return 'null';
    if (Array.isArray(value)) return 'array';
    return typeof value;
  }

  function isPlainObject(value) {
    return jsonType(value) === 'object';
  }

  /** A deep copy of JSON data; also keeps "__proto__" keys as plain data. */
  function clone(value) {
    if (value === null || typeof value !== 'object') return value;
    return JSON.parse(JSON.stringify(value));
  }

  /**
   * Lays a loaded object over its defaults: only the defaults' keys survive, a value of the
   * same JSON type replaces the default (arrays replace arrays whole), objects merge key by
   * key, and anything of another type leaves the default in place.
   */
  function merge(defaults, loaded) {
    const source = isPlainObject(loaded) ? loaded : {};
    const out = {};
    for (const key of Object.keys(defaults)) {
      const fallback = defaults[key];
      const has = Object.prototype.hasOwnProperty.call(source, key);
      const type = jsonType(fallback);
      if (type === 'object') {
        out[key] = merge(fallback, has ? source[key] : undefined);
      } else if (has && jsonType(source[key]) === type) {
        out[key] = clone(source[key]);
      } else {
        out[key] = clone(fallback);
      }
    }
    return out;
  }

  function getPath(obj, path) {
    let at = obj;
    for (const part of String(path).split('.')) {
      if (!at || typeof at !== 'object') return undefined;
      at = at[part];
    }
    return at;
  }

  function setPath(obj, path, value) {
    const parts = String(path).split('.');
    let at = obj;
    for (let i = 0; i < parts.length - 1; i++) {
      if (!at[parts[i]] || typeof at[parts[i]] !== 'object') at[parts[i]] = {};
      at = at[parts[i]];
    }
    at[parts[parts.length - 1]] = value;
  }

  function dataAttrs(data) {
    let out = '';
    for (const key of Object.keys(data || {})) out += ` data-${key}="${esc(data[key])}"`;
    return out;
  }

  function choiceOptions(options, value) {
    let html = '';
    let seen = false;
    for (const [optValue, optLabel] of options) {
      const on = optValue === value;
      seen = seen || on;
      html += `<option value="${esc(optValue)}"${on ? ' selected' : ''}>${esc(optLabel)}</option>`;
    }
    // A value from a hand-edited file stays visible (and is kept) rather than being
    // silently replaced by the first choice.
    if (!seen && typeof value === 'string') {
      html += `<option value="${esc(value)}" selected>${esc(value)}</option>`;
    }
    return html;
  }

  /**
   * One labelled editor control. `field` is { label, type, unit, min, max, step, int, hint,
   * options }; `data` becomes data-* attributes the page uses to find the value's home.
   */
  function fieldHtml(field, value, data) {
    const type = field.type || 'number';
    const attrs = dataAttrs(data);
    const hint = field.hint ? `<span class="vf-hint">${esc(field.hint)}</span>` : '';
    if (type === 'bool') {
      return `<label class="vf-field vf-check"><input type="checkbox" class="switch"${attrs}${value === true ? ' checked' : ''}>` +
        `<span class="vf-label">${esc(field.label)}</span>${hint}</label>`;
    }
    let control;
    if (type === 'choice') {
      control = `<select${attrs}>${choiceOptions(field.options, value)}</select>`;
    } else if (type === 'text' || type === 'name') {
      const max = field.maxLength ? ` maxlength="${field.maxLength}"` : '';
      control = `<input type="text" spellcheck="false"${max}${attrs} value="${esc(value)}">`;
    } else {
      const unit = UNIT_TEXT[field.unit] ? `<span class="vf-unit">${UNIT_TEXT[field.unit]}</span>` : '';
      control = `<span class="vf-input"><input type="text" inputmode="decimal"${attrs} value="${esc(showNumber(value, field))}">${unit}</span>`;
    }
    return `<label class="vf-field"><span class="vf-label">${esc(field.label)}</span>${control}${hint}</label>`;
  }

  /** The stored value of a control drawn by fieldHtml; numbers and names are shown cleaned. */
  function readInput(field, el) {
    const type = field.type || 'number';
    if (type === 'bool') return el.checked === true;
    if (type === 'choice') return el.value;
    if (type === 'text') {
      el.value = el.value.trim();
      return el.value;
    }
    if (type === 'name') {
      el.value = cleanName(el.value);
      return el.value;
    }
    const stored = readNumber(el.value, field);
    el.value = showNumber(stored, field);
    return stored;
  }

  const vfFields = {
    NAME_MAX,
    esc,
    cleanName,
    isValidName,
    freeName,
    parseEntered,
    limits,
    clampShown,
    toStored,
    toShown,
    readNumber,
    showNumber,
    jsonType,
    isPlainObject,
    clone,
    merge,
    getPath,
    setPath,
    fieldHtml,
    readInput,
  };

  // ================================================================ AI documents

  const ABILITY_MAX = 32;
  const IDLE_MAX = 16;

  const BRAIN_DEFAULTS = {
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

  const ABILITY_DEFAULTS = { name: '', weight: 1, minRange: 0, maxRange: 0, cooldown: 0 };
  const IDLE_DEFAULTS = { ability: '', minSeconds: 60, maxSeconds: 240, onlyAlone: false, whenBusy: true };

  const PRESETS = [
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

  const SPAWNER_DEFAULTS = {
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

  const AI_SPECIES = [
    'tyrannosaurus', 'allosaurus', 'carnotaurus', 'ceratosaurus', 'dilophosaurus', 'herrerasaurus',
    'omniraptor', 'troodon', 'deinosuchus', 'pteranodon', 'triceratops', 'stegosaurus',
    'kentrosaurus', 'diabloceratops', 'tenontosaurus', 'maiasaura', 'pachycephalosaurus',
    'beipiaosaurus', 'gallimimus', 'dryosaurus', 'hypsilophodon', 'psittacosauruscoastal',
    'psittacosaurushighlands', 'psittacosaurusplains', 'compsognathus', 'pterodactylus', 'boar',
    'deer', 'goat', 'rabbit', 'chicken', 'longear', 'lizard', 'bullfrog', 'crab', 'seaturtle',
    'rainbowfish', 'coalacanth', 'muskelunge',
  ];
  const TARGET_SPECIES = AI_SPECIES.concat(['austroraptor']).sort();

  const NOTICES = {
    brainsInvalid: 'brains.json is not valid JSON. Fix it by hand or save to replace it.',
    spawnsInvalid: 'spawns.json is not valid JSON. Fix it by hand or save to replace it.',
    badName: 'Names use 1 to 32 characters of a-z, 0-9 and _.',
    brainExists: (to) => `A brain called "${to}" exists already.`,
    brainDeleted: (name) => `Deleted "${name}". After saving, animals that used it go back to the game AI.`,
    badId: 'Ids use 1 to 32 characters of a-z, 0-9 and _.',
    spawnerExists: (next) => `A spawner with the id "${next}" exists already.`,
    spawnerDeleted: (id) => `Deleted "${id}". After saving, its animals are removed from the world.`,
    saveBrainName: (name) => `Brain name "${name}" needs 1 to 32 characters of a-z, 0-9 and _.`,
    saveSpawnerId: (id) => `Spawner id "${id}" needs 1 to 32 characters of a-z, 0-9 and _.`,
    saveSharedId: (id) => `Two spawners share the id "${id}".`,
    copied: 'Copied.',
    selected: 'Selected. Press Ctrl+C to copy.',
  };

  function presetOf(key) {
    return PRESETS.find((p) => p.key === key) || PRESETS[PRESETS.length - 1];
  }

  /** Species keys as brains keep them: strings, lower case, each once, sorted. */
  function speciesList(list) {
    const out = new Set();
    for (const item of Array.isArray(list) ? list : []) {
      if (typeof item !== 'string') continue;
      const key = item.trim().toLowerCase();
      if (key) out.add(key);
    }
    return Array.from(out).sort();
  }

  /** Any loaded brain value as a whole brain. */
  function normalizeBrain(raw) {
    const brain = merge(BRAIN_DEFAULTS, raw);
    if (!PRESET_KEYS.includes(brain.preset)) brain.preset = 'custom';
    brain.targets.onlySpecies = speciesList(brain.targets.onlySpecies);
    brain.targets.ignoreSpecies = speciesList(brain.targets.ignoreSpecies);
    brain.attack.abilities = brain.attack.abilities.slice(0, ABILITY_MAX).map((a) => merge(ABILITY_DEFAULTS, a));
    brain.idle = brain.idle.slice(0, IDLE_MAX).map((row) => merge(IDLE_DEFAULTS, row));
    return brain;
  }

  /** A new brain: the defaults with the preset's values laid over them. */
  function presetBrain(key) {
    const preset = presetOf(key);
    const brain = normalizeBrain(preset.values);
    brain.preset = preset.key;
    brain.label = preset.key === 'custom' ? '' : preset.label;
    return brain;
  }

  function normalizeSpawner(raw) {
    return merge(SPAWNER_DEFAULTS, raw);
  }

  /** brains.json text to brains by name; null when the text is not JSON. */
  function parseBrains(text) {
    const brains = new Map();
    if (text === '') return brains;
    let doc;
    try {
      doc = JSON.parse(text);
    } catch (error) {
      return null;
    }
    const source = isPlainObject(doc) && isPlainObject(doc.brains) ? doc.brains : {};
    for (const name of Object.keys(source)) brains.set(name, normalizeBrain(source[name]));
    return brains;
  }

  /** spawns.json text to its spawners and wild choices; null when the text is not JSON. */
  function parseSpawns(text) {
    const result = { spawners: [], wild: new Map() };
    if (text === '') return result;
    let doc;
    try {
      doc = JSON.parse(text);
    } catch (error) {
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

  function sortedNames(brains) {
    return Array.from(brains.keys()).sort();
  }

  function brainsDocument(brains) {
    // A prototype-less object, so a brain may be called anything, "__proto__" included.
    const byName = Object.create(null);
    for (const name of sortedNames(brains)) byName[name] = brains.get(name);
    return { version: 1, brains: byName };
  }

  function spawnsDocument(spawners, wild) {
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

  const documentText = (doc) => JSON.stringify(doc, null, 2);

  function brainSummary(brain) {
    const parts = [presetOf(brain.preset).label, `aggression ${Math.round(brain.temperament.aggression * 100)}%`];
    if (brain.pack.size > 1) parts.push(`pack of ${brain.pack.size}`);
    return parts.join(' · ');
  }

  // ---------------------------------------------------------------- Lua view

  const LUA_NAME = /^[A-Za-z_][A-Za-z0-9_]*$/;
  const LUA_INLINE_LIMIT = 90;

  function luaKey(key) {
    return LUA_NAME.test(key) ? key : `[${JSON.stringify(key)}]`;
  }

  function luaValue(value, level) {
    const indent = (n) => '  '.repeat(n);
    if (Array.isArray(value)) {
      if (value.length === 0) return '{}';
      const lines = value.map((item) => indent(level + 1) + luaValue(item, level + 1) + ',');
      return '{\n' + lines.join('\n') + '\n' + indent(level) + '}';
    }
    if (value && typeof value === 'object') {
      const keys = Object.keys(value);
      if (keys.length === 0) return '{}';
      const flat = keys.every((k) => value[k] === null || typeof value[k] !== 'object');
      if (flat) {
        const list = keys.map((k) => `${luaKey(k)} = ${luaValue(value[k], level + 1)}`).join(', ');
        if (list.length < LUA_INLINE_LIMIT) return '{ ' + list + ' }';
      }
      const lines = keys.map((k) => `${indent(level + 1)}${luaKey(k)} = ${luaValue(value[k], level + 1)},`);
      return '{\n' + lines.join('\n') + '\n' + indent(level) + '}';
    }
    if (typeof value === 'string') return JSON.stringify(value);
    if (value === null || value === undefined) return 'nil';
    return String(value);
  }

  /** The brain as the server's Lua API takes it; the preset only matters to this editor. */
  function luaText(name, brain) {
    const body = {};
    for (const key of Object.keys(brain)) if (key !== 'preset') body[key] = brain[key];
    return `forgeset.ai.defineBrain(${JSON.stringify(name)}, ${luaValue(body, 0)})\n`;
  }

  // ---------------------------------------------------------------- edits on the model

  /** The page's model: brains by name, the spawner list and wild brain by species. */
  function emptyModel() {
    return { brains: new Map(), spawners: [], wild: new Map() };
  }

  function newBrain(model, presetKey) {
    const preset = presetOf(presetKey);
    const name = freeName(preset.key === 'custom' ? 'brain' : preset.key, model.brains);
    model.brains.set(name, presetBrain(preset.key));
    return name;
  }

  function duplicateBrain(model, name) {
    const brain = model.brains.get(name);
    if (!brain) return null;
    const copy = freeName(name + '_copy', model.brains);
    model.brains.set(copy, clone(brain));
    return copy;
  }

  /** Renames a brain; spawners and wild animals that used it follow the new name. */
  function renameBrain(model, from, typed) {
    const to = cleanName(typed);
    if (!isValidName(to)) return { error: NOTICES.badName };
    if (to === from) return { name: from, brains: false, spawns: false };
    if (model.brains.has(to)) return { error: NOTICES.brainExists(to) };
    const brain = model.brains.get(from);
    if (!brain) return { error: NOTICES.badName };
    model.brains.delete(from);
    model.brains.set(to, brain);
    let spawns = false;
    for (const spawner of model.spawners) {
      if (spawner.brain === from) {
        spawner.brain = to;
        spawns = true;
      }
    }
    for (const [species, brainName] of model.wild) {
      if (brainName === from) {
        model.wild.set(species, to);
        spawns = true;
      }
    }
    return { name: to, brains: true, spawns };
  }

  /** Deletes a brain; its spawners go back to the game AI and its wild entries go. */
  function deleteBrain(model, name) {
    if (!model.brains.has(name)) return null;
    model.brains.delete(name);
    let spawns = false;
    for (const spawner of model.spawners) {
      if (spawner.brain === name) {
        spawner.brain = '';
        spawns = true;
      }
    }
    for (const [species, brainName] of Array.from(model.wild)) {
      if (brainName === name) {
        model.wild.delete(species);
        spawns = true;
      }
    }
    return { notice: NOTICES.brainDeleted(name), spawns };
  }

  function newSpawner(model, brainName) {
    const spawner = normalizeSpawner({});
    spawner.id = freeName('spawner', model.spawners.map((s) => s.id));
    spawner.brain = typeof brainName === 'string' && model.brains.has(brainName) ? brainName : '';
    model.spawners.push(spawner);
    return spawner;
  }

  function changeSpawnerId(model, index, typed) {
    const spawner = model.spawners[index];
    if (!spawner) return { error: NOTICES.badId };
    const next = cleanName(typed);
    if (!isValidName(next)) return { error: NOTICES.badId };
    if (next === spawner.id) return { id: next, changed: false };
    if (model.spawners.some((s, i) => i !== index && s.id === next)) return { error: NOTICES.spawnerExists(next) };
    spawner.id = next;
    return { id: next, changed: true };
  }

  function deleteSpawner(model, index) {
    const spawner = model.spawners[index];
    if (!spawner) return null;
    model.spawners.splice(index, 1);
    return { notice: NOTICES.spawnerDeleted(spawner.id) };
  }

  /** The first reason the documents cannot be written, or "" when they can. */
  function saveProblem(model) {
    for (const name of sortedNames(model.brains)) {
      if (!isValidName(name)) return NOTICES.saveBrainName(name);
    }
    for (const spawner of model.spawners) {
      if (!isValidName(spawner.id)) return NOTICES.saveSpawnerId(spawner.id);
    }
    const seen = new Set();
    for (const spawner of model.spawners) {
      if (seen.has(spawner.id)) return NOTICES.saveSharedId(spawner.id);
      seen.add(spawner.id);
    }
    return '';
  }

  // ---------------------------------------------------------------- documents and the host

  const DOCS = ['brains', 'spawns'];

  /**
   * Keeps the model in step with the host's texts. A document with unsaved changes is never
   * replaced by what the host sends; a text is parsed only when it differs from the last one
   * seen, so a state message for some other change costs nothing here. After a save, the
   * document counts as saved once the host hands back exactly the text that was sent.
   */
  function createAiEditor(deps) {
    const notice = deps.notice || (() => {});
    const send = deps.send || (() => {});
    const base64 = deps.base64;
    const editor = {
      model: emptyModel(),
      dirty: { brains: false, spawns: false },
      broken: { brains: false, spawns: false },
      seen: { brains: null, spawns: null },
      received: { brains: '', spawns: '' },
      pending: { brains: null, spawns: null },
    };

    function apply(doc, text) {
      editor.seen[doc] = text;
      if (doc === 'brains') {
        const brains = parseBrains(text);
        editor.broken.brains = brains === null;
        editor.model.brains = brains || new Map();
        if (brains === null) notice(NOTICES.brainsInvalid, true);
      } else {
        const spawns = parseSpawns(text);
        editor.broken.spawns = spawns === null;
        editor.model.spawners = spawns ? spawns.spawners : [];
        editor.model.wild = spawns ? spawns.wild : new Map();
        if (spawns === null) notice(NOTICES.spawnsInvalid, true);
      }
    }

    /** Takes the state's `ai` member; tells whether the model changed. */
    editor.load = function load(ai) {
      const texts = {
        brains: ai && typeof ai.brains === 'string' ? ai.brains : '',
        spawns: ai && typeof ai.spawns === 'string' ? ai.spawns : '',
      };
      editor.received = texts;
      let changed = false;
      for (const doc of DOCS) {
        if (editor.dirty[doc]) {
          if (editor.pending[doc] !== null && texts[doc] === editor.pending[doc]) {
            editor.dirty[doc] = false;
            editor.pending[doc] = null;
            editor.broken[doc] = false;
            editor.seen[doc] = texts[doc];
            changed = true;
          }
          continue;
        }
        if (texts[doc] === editor.seen[doc]) continue;
        apply(doc, texts[doc]);
        changed = true;
      }
      return changed;
    };

    /** Something in a document was edited by hand. */
    editor.touch = function touch(doc) {
      editor.dirty[doc] = true;
      editor.pending[doc] = null;
    };

    editor.needsSave = function needsSave(doc) {
      return editor.dirty[doc] || editor.broken[doc];
    };

    editor.unsaved = function unsaved() {
      return DOCS.some((doc) => editor.dirty[doc] && editor.pending[doc] === null);
    };

    editor.texts = function texts() {
      return {
        brains: documentText(brainsDocument(editor.model.brains)),
        spawns: documentText(spawnsDocument(editor.model.spawners, editor.model.wild)),
      };
    };

    /**
     * Checks the names, then sends each changed document, brains first so a spawner never
     * names a brain the server has not seen yet. Returns the files sent.
     */
    editor.save = function save() {
      const files = DOCS.filter((doc) => editor.needsSave(doc));
      if (files.length === 0) return [];
      const problem = saveProblem(editor.model);
      if (problem) {
        notice(problem, true);
        return [];
      }
      const texts = editor.texts();
      for (const file of files) {
        send({ cmd: 'saveAi', file, data: base64(texts[file]) });
        editor.dirty[file] = true;
        editor.pending[file] = texts[file];
      }
      return files;
    };

    /** Drops every unsaved change, shows the host's texts again and asks for fresh ones. */
    editor.revert = function revert() {
      for (const doc of DOCS) {
        editor.dirty[doc] = false;
        editor.pending[doc] = null;
        apply(doc, editor.received[doc]);
      }
      send({ cmd: 'refresh' });
    };

    return editor;
  }

  // ================================================================ the page's markup

  const GAITS = [['walk', 'Walk'], ['trot', 'Trot'], ['sprint', 'Sprint']];
  const ACTIVE_AT = [['any', 'Day and night'], ['day', 'Day only'], ['night', 'Night only']];

  // Editor limits are in the units shown; see the field machinery above.
  const BRAIN_SECTIONS = [
    {
      title: 'Senses',
      fields: [
        { f: 'senses.sightRange', label: 'Sight range', unit: 'm', max: 500 },
        { f: 'senses.sightAngle', label: 'Field of view', unit: 'deg', min: 1, max: 360 },
        { f: 'senses.hearingRange', label: 'Hearing range', unit: 'm', max: 1000 },
        { f: 'senses.memorySeconds', label: 'Memory', unit: 's', max: 3600, hint: 'How long it remembers a target it lost' },
        { f: 'senses.lineOfSight', label: 'Needs a clear line of sight', type: 'bool' },
      ],
    },
    {
      title: 'Movement',
      fields: [
        { f: 'movement.roamRadius', label: 'Roam radius', unit: 'm', min: 1, max: 5000 },
        { f: 'movement.roamPauseMin', label: 'Shortest pause', unit: 's', max: 3600 },
        { f: 'movement.roamPauseMax', label: 'Longest pause', unit: 's', max: 3600 },
        { f: 'movement.roamGait', label: 'Roaming gait', type: 'choice', options: GAITS },
        { f: 'movement.chaseGait', label: 'Chasing gait', type: 'choice', options: GAITS },
        { f: 'movement.fleeGait', label: 'Fleeing gait', type: 'choice', options: GAITS },
        { f: 'movement.leash', label: 'Leash', unit: 'm', max: 10000, hint: '0 means no leash' },
        {
          f: 'movement.homeMode',
          label: 'Home',
          type: 'choice',
          options: [['spawn', 'Its spawn point'], ['wander', 'Wherever it wandered']],
        },
      ],
    },
    {
      title: 'Targets',
      fields: [
        { f: 'targets.players', label: 'Players', type: 'bool' },
        { f: 'targets.ai', label: 'Other AI animals', type: 'bool' },
        { f: 'targets.ignoreSameSpecies', label: 'Leaves its own species alone', type: 'bool' },
        { f: 'targets.minGrowth', label: 'Smallest target growth', unit: '%' },
        { f: 'targets.maxGrowth', label: 'Largest target growth', unit: '%' },
        { f: 'targets.ignorePermission', label: 'Ignores players with permission', type: 'text', hint: 'Empty: nobody is spared' },
        { f: 'targets.onlySpecies', label: 'Only these species', type: 'species', hint: 'None chosen: any species' },
        { f: 'targets.ignoreSpecies', label: 'Never these species', type: 'species' },
      ],
    },
    {
      title: 'Temperament',
      fields: [
        { f: 'temperament.aggression', label: 'Aggression', unit: '%' },
        { f: 'temperament.retaliate', label: 'Fights back when hurt', type: 'bool' },
        { f: 'temperament.fightToDeath', label: 'Fights to the death', type: 'bool' },
        { f: 'temperament.fleeHealth', label: 'Flees below health', unit: '%' },
        { f: 'temperament.fleeFromBigger', label: 'Flees from bigger animals', type: 'bool' },
        { f: 'temperament.fearSizeRatio', label: 'Fear size ratio', min: 1, max: 5, step: 0.05, hint: 'How much bigger scares it' },
        { f: 'temperament.fleeFromEveryone', label: 'Flees from everyone', type: 'bool' },
        { f: 'temperament.fleeSeconds', label: 'Shortest flight', unit: 's', min: 1, max: 3600 },
        { f: 'temperament.activeAt', label: 'Active', type: 'choice', options: ACTIVE_AT },
      ],
    },
    {
      title: 'Attack',
      fields: [
        { f: 'attack.rangeFromBody', label: 'Reach from body size', type: 'bool' },
        { f: 'attack.bodyRangeMultiplier', label: 'Body size factor', min: 0.5, max: 10 },
        { f: 'attack.biteLength', label: 'Extra reach', unit: 'm', max: 100 },
        { f: 'attack.range', label: 'Fixed reach', unit: 'm', min: 0.1, max: 1000, hint: 'Used when reach does not come from body size' },
        { f: 'attack.cooldown', label: 'Time between attacks', unit: 's', min: 0.1, max: 600 },
        { f: 'attack.autoAbilities', label: 'Picks abilities by itself', type: 'bool' },
      ],
      rows: 'abilities',
    },
    {
      title: 'Pack',
      fields: [
        { f: 'pack.size', label: 'Animals per group', min: 1, max: 25, int: true },
        { f: 'pack.shareTarget', label: 'Shares its target', type: 'bool' },
        { f: 'pack.answerCalls', label: 'Answers calls', type: 'bool' },
        { f: 'pack.callRange', label: 'Calls heard within', unit: 'm', max: 2000 },
        { f: 'pack.callChance', label: 'Call chance', unit: '%' },
      ],
    },
    { title: 'Idle', fields: [], rows: 'idle' },
    {
      title: 'Body and despawn',
      fields: [
        { f: 'stats.infiniteStamina', label: 'Infinite stamina', type: 'bool' },
        { f: 'stats.growth', label: 'Growth', unit: '%', min: 1 },
        { f: 'despawn.afterSeconds', label: 'Remove after', unit: 's', max: 604800, hint: '0 keeps it forever' },
        { f: 'despawn.noPlayerWithin', label: 'No player within', unit: 'm', max: 10000, hint: '0 turns this off' },
        { f: 'despawn.noPlayerSeconds', label: 'Without a player for', unit: 's', min: 1, max: 604800 },
      ],
    },
  ];

  const BRAIN_TOP_FIELDS = [{ f: 'label', label: 'Label', type: 'text' }];

  const ABILITY_FIELDS = [
    { f: 'name', label: 'Ability', type: 'name' },
    { f: 'weight', label: 'Weight', max: 1000 },
    { f: 'minRange', label: 'From', unit: 'm', max: 1000 },
    { f: 'maxRange', label: 'To', unit: 'm', max: 1000 },
    { f: 'cooldown', label: 'Cooldown', unit: 's', max: 600 },
  ];

  const IDLE_FIELDS = [
    { f: 'ability', label: 'Ability', type: 'name' },
    { f: 'minSeconds', label: 'Earliest', unit: 's', min: 1, max: 86400 },
    { f: 'maxSeconds', label: 'Latest', unit: 's', min: 1, max: 86400 },
    { f: 'onlyAlone', label: 'Only when alone', type: 'bool' },
    { f: 'whenBusy', label: 'Also when busy', type: 'bool' },
  ];

  const SPAWNER_FIELDS = [
    { f: 'label', label: 'Label', type: 'text' },
    { f: 'species', label: 'Species', type: 'choice', options: AI_SPECIES.map((s) => [s, s]) },
    { f: 'brain', label: 'Brain', type: 'brain' },
    { f: 'x', label: 'X', min: -1e7, max: 1e7 },
    { f: 'y', label: 'Y', min: -1e7, max: 1e7 },
    { f: 'z', label: 'Z', min: -1e7, max: 1e7 },
    { f: 'radius', label: 'Radius', unit: 'm', max: 5000 },
    { f: 'count', label: 'Animals', max: 100, int: true },
    { f: 'respawnSeconds', label: 'Respawn after', unit: 's', min: 1, max: 604800 },
    { f: 'growth', label: 'Growth', unit: '%', min: 1 },
    { f: 'activeAt', label: 'Active', type: 'choice', options: ACTIVE_AT },
    { f: 'playersWithin', label: 'Only with a player within', unit: 'm', max: 10000, hint: '0 spawns regardless' },
  ];

  function fieldIndex(list) {
    const index = Object.create(null);
    for (const field of list) index[field.f] = field;
    return index;
  }

  const FIELDS = {
    brain: fieldIndex(BRAIN_SECTIONS.flatMap((s) => s.fields).concat(BRAIN_TOP_FIELDS)),
    ability: fieldIndex(ABILITY_FIELDS),
    idle: fieldIndex(IDLE_FIELDS),
    spawner: fieldIndex(SPAWNER_FIELDS.concat([{ f: 'enabled', label: 'Enabled', type: 'bool' }])),
  };

  function brainChoices(model, current, noneLabel) {
    const options = [['', noneLabel]].concat(sortedNames(model.brains).map((n) => [n, n]));
    if (current && !model.brains.has(current)) options.push([current, `${current} (missing)`]);
    return options;
  }

  function speciesListHtml(field, list) {
    const key = field.f.split('.')[1];
    const chips = list.map((s) =>
      `<span class="ai-chip">${esc(s)}<button type="button" class="ai-chip-x" data-action="remove-species" ` +
      `data-list="${key}" data-value="${esc(s)}" aria-label="Remove ${esc(s)}">×</button></span>`).join('');
    const options = TARGET_SPECIES.filter((s) => !list.includes(s)).map((s) => `<option value="${s}">${s}</option>`).join('');
    const hint = field.hint ? `<span class="vf-hint">${esc(field.hint)}</span>` : '';
    return `<div class="vf-field ai-species"><span class="vf-label">${esc(field.label)}</span>` +
      `<div class="ai-chips">${chips}<select data-scope="species-add" data-list="${key}" aria-label="${esc(field.label)}">` +
      `<option value="">Add species…</option>${options}</select></div>${hint}</div>`;
  }

  function rowsHtml(kind, rows, fields, max, addLabel) {
    const head = fields.map((f) => `<th>${esc(f.label)}</th>`).join('');
    const body = rows.map((row, i) => {
      const cells = fields.map((f) => {
        const data = { scope: kind, row: i, f: f.f };
        if (f.type === 'bool') {
          return `<td class="ai-cell-check"><input type="checkbox" class="switch" aria-label="${esc(f.label)}"${dataAttrs(data)}${row[f.f] === true ? ' checked' : ''}></td>`;
        }
        if (f.type === 'name') {
          return `<td><input type="text" spellcheck="false" aria-label="${esc(f.label)}"${dataAttrs(data)} value="${esc(row[f.f])}"></td>`;
        }
        const unit = UNIT_TEXT[f.unit] ? `<span class="vf-unit">${UNIT_TEXT[f.unit]}</span>` : '';
        return `<td><span class="vf-input"><input type="text" inputmode="decimal" aria-label="${esc(f.label)}"${dataAttrs(data)} ` +
          `value="${esc(showNumber(row[f.f], f))}">${unit}</span></td>`;
      }).join('');
      return `<tr>${cells}<td><button type="button" class="btn ai-row-x" data-action="remove-${kind}" data-row="${i}" aria-label="Remove">Remove</button></td></tr>`;
    }).join('');
    const table = rows.length === 0
      ? ''
      : `<table class="ai-rows"><thead><tr>${head}<th></th></tr></thead><tbody>${body}</tbody></table>`;
    const full = rows.length >= max;
    return `${table}<div class="actions"><button type="button" class="btn" data-action="add-${kind}"${full ? ' disabled' : ''}>${addLabel}</button>` +
      `<span class="hint">${rows.length} of ${max}</span></div>`;
  }

  function brainListHtml(model, selected) {
    const names = sortedNames(model.brains);
    if (names.length === 0) return '<p class="empty">No brains yet</p>';
    return names.map((name) => {
      const on = name === selected;
      return `<li class="ai-item${on ? ' selected' : ''}" data-action="select-brain" data-name="${esc(name)}"${on ? ' aria-current="true"' : ''}>` +
        `<span class="row-title">${esc(name)}</span><span class="row-detail ai-summary">${esc(brainSummary(model.brains.get(name)))}</span></li>`;
    }).join('');
  }

  function brainEditorHtml(model, name) {
    const brain = model.brains.get(name);
    if (!brain) return '<div class="card"><p class="empty">Pick a brain or make a new one.</p></div>';
    const head = `<div class="card ai-brain-head">
        <div class="ai-head-row">
          <label class="vf-field ai-name"><span class="vf-label">Name</span>
            <input type="text" spellcheck="false" maxlength="64" data-scope="brain-name" value="${esc(name)}"></label>
          ${fieldHtml(BRAIN_TOP_FIELDS[0], brain.label, { scope: 'brain', f: 'label' })}
          <span class="badge badge-accent ai-preset-badge">${esc(presetOf(brain.preset).label)}</span>
        </div>
        <div class="actions">
          <button type="button" class="btn" data-action="duplicate-brain">Duplicate</button>
          <button type="button" class="btn danger" data-action="delete-brain">Delete</button>
        </div>
      </div>`;
    const sections = BRAIN_SECTIONS.map((section) => {
      const fields = section.fields.map((field) => {
        const value = getPath(brain, field.f);
        if (field.type === 'species') return speciesListHtml(field, value);
        return fieldHtml(field, value, { scope: 'brain', f: field.f });
      }).join('');
      let rows = '';
      if (section.rows === 'abilities') {
        rows = `<h4 class="ai-sub">Abilities</h4>` + rowsHtml('ability', brain.attack.abilities, ABILITY_FIELDS, ABILITY_MAX, 'Add ability');
      } else if (section.rows === 'idle') {
        rows = rowsHtml('idle', brain.idle, IDLE_FIELDS, IDLE_MAX, 'Add idle action');
      }
      const grid = fields ? `<div class="ai-grid">${fields}</div>` : '';
      return `<section class="card ai-section"><h3 class="card-title">${esc(section.title)}</h3>${grid}${rows}</section>`;
    }).join('');
    const lua = `<section class="card ai-section"><div class="ai-head-row"><h3 class="card-title">Lua</h3>
        <button type="button" class="btn" data-action="copy-lua">Copy</button></div>
        <pre class="ai-lua" id="ai-lua" tabindex="0">${esc(luaText(name, brain))}</pre></section>`;
    return head + sections + lua;
  }

  function brainsViewHtml(model, ui) {
    const presets = PRESETS.map((p) => `<option value="${p.key}"${p.key === ui.preset ? ' selected' : ''}>${p.label}</option>`).join('');
    return `<div class="ai-brains">
      <div class="card ai-side">
        <div class="actions">
          <select id="ai-preset" aria-label="Preset">${presets}</select>
          <button type="button" class="btn" data-action="new-brain">New brain</button>
        </div>
        <ul class="list ai-list" id="ai-brain-list">${brainListHtml(model, ui.selected)}</ul>
      </div>
      <div class="ai-editor">${brainEditorHtml(model, ui.selected)}</div>
    </div>`;
  }

  function spawnerHtml(model, spawner, i) {
    const fields = SPAWNER_FIELDS.map((field) => {
      const data = { scope: 'spawner', row: i, f: field.f };
      if (field.type === 'brain') {
        return fieldHtml({ label: field.label, type: 'choice', options: brainChoices(model, spawner.brain, 'Game AI') }, spawner.brain, data);
      }
      return fieldHtml(field, spawner[field.f], data);
    }).join('');
    return `<div class="ai-spawner" data-row="${i}">
      <div class="ai-head-row">
        <label class="vf-field ai-name"><span class="vf-label">Id</span>
          <input type="text" spellcheck="false" maxlength="64" data-scope="spawner-id" data-row="${i}" value="${esc(spawner.id)}"></label>
        ${fieldHtml(FIELDS.spawner.enabled, spawner.enabled, { scope: 'spawner', row: i, f: 'enabled' })}
        <button type="button" class="btn danger" data-action="delete-spawner" data-row="${i}">Delete</button>
      </div>
      <div class="ai-grid">${fields}</div>
    </div>`;
  }

  function spawnersViewHtml(model) {
    const list = model.spawners.length === 0
      ? '<p class="empty">No spawners yet</p>'
      : model.spawners.map((s, i) => spawnerHtml(model, s, i)).join('');
    return `<div class="card">
      <div class="ai-head-row"><h2 class="card-title">Spawners</h2>
        <button type="button" class="btn" data-action="new-spawner">New spawner</button></div>
      <p class="hint">Positions are in game units; a new spawner uses the brain picked on the Brains view.</p>
      ${list}
    </div>`;
  }

  function wildViewHtml(model) {
    const extra = Array.from(model.wild.keys()).filter((s) => !AI_SPECIES.includes(s));
    const rows = AI_SPECIES.concat(extra).map((species) => {
      const brain = model.wild.get(species) || '';
      return `<tr><td class="mono">${esc(species)}</td><td><select data-scope="wild" data-species="${esc(species)}" aria-label="${esc(species)}">` +
        `${choiceOptions(brainChoices(model, brain, 'None (game AI)'), brain)}</select></td></tr>`;
    }).join('');
    return `<div class="card">
      <h2 class="card-title">Wild AI</h2>
      <p class="hint">The brain every wild animal of a species uses. Species without one keep the game's own AI.</p>
      <table class="ai-rows ai-wild"><tbody>${rows}</tbody></table>
    </div>`;
  }

  const VIEWS = [['brains', 'Brains'], ['spawners', 'Spawners'], ['wild', 'Wild AI']];

  /** The whole page as markup, from the editor's model and the page's own view state. */
  function pageHtml(editor, ui, found) {
    if (!found) return '<div class="card"><h2 class="card-title">AI</h2><p class="empty">Pick the server folder first</p></div>';
    const model = editor.model;
    const counts = { brains: model.brains.size, spawners: model.spawners.length, wild: model.wild.size };
    const tabs = VIEWS.map(([key, label]) =>
      `<button type="button" class="ai-view${ui.view === key ? ' selected' : ''}" data-action="view" data-view="${key}" ` +
      `aria-pressed="${ui.view === key}">${label} <span class="ai-count">${counts[key]}</span></button>`).join('');
    const canSave = DOCS.some((doc) => editor.needsSave(doc));
    const warnings = [];
    if (editor.broken.brains) warnings.push(NOTICES.brainsInvalid);
    if (editor.broken.spawns) warnings.push(NOTICES.spawnsInvalid);
    const warn = warnings.map((w) => `<p class="ai-warning">${esc(w)}</p>`).join('');
    let body;
    if (ui.view === 'spawners') body = spawnersViewHtml(model);
    else if (ui.view === 'wild') body = wildViewHtml(model);
    else body = brainsViewHtml(model, ui);
    return `<div class="ai-page">
      <div class="card ai-bar">
        <div class="ai-views">${tabs}</div>
        <span class="badge badge-warn" id="ai-unsaved"${editor.unsaved() ? '' : ' hidden'}>unsaved</span>
        <div class="actions">
          <button type="button" class="btn" data-action="revert">Revert</button>
          <button type="button" class="btn primary" data-action="save" id="ai-save"${canSave ? '' : ' disabled'}>Save</button>
        </div>
      </div>
      ${warn}
      ${body}
    </div>`;
  }

  const ai = {
    ABILITY_MAX,
    IDLE_MAX,
    BRAIN_DEFAULTS,
    ABILITY_DEFAULTS,
    IDLE_DEFAULTS,
    PRESETS,
    SPAWNER_DEFAULTS,
    AI_SPECIES,
    TARGET_SPECIES,
    NOTICES,
    BRAIN_SECTIONS,
    FIELDS,
    presetOf,
    speciesList,
    normalizeBrain,
    presetBrain,
    normalizeSpawner,
    parseBrains,
    parseSpawns,
    brainsDocument,
    spawnsDocument,
    documentText,
    brainSummary,
    luaValue,
    luaText,
    emptyModel,
    newBrain,
    duplicateBrain,
    renameBrain,
    deleteBrain,
    newSpawner,
    changeSpawnerId,
    deleteSpawner,
    saveProblem,
    createAiEditor,
    pageHtml,
  };

  if (typeof module !== 'undefined' && module.exports) module.exports = { vfFields, ai };
  if (typeof global === 'undefined' || !global.document) return;

  // ================================================================ the page in the browser

  global.vfFields = vfFields;

  let shell = null;
  let editor = null;
  let lastAi = null;
  let currentPanel = null;
  const wired = new WeakSet();
  const ui = { view: 'brains', selected: '', preset: 'predator' };

  function htmlEsc(value) {
    return shell ? shell.esc(value) : esc(value);
  }

  function ensureEditor() {
    if (editor || !shell) return;
    editor = createAiEditor({ send: shell.send, notice: shell.notice, base64: shell.base64Utf8 });
    if (lastAi) editor.load(lastAi);
  }

  function fixSelection() {
    if (!editor) return;
    if (!editor.model.brains.has(ui.selected)) ui.selected = sortedNames(editor.model.brains)[0] || '';
  }

  function render(panel) {
    currentPanel = panel;
    ensureEditor();
    if (!editor) {
      panel.innerHTML = `<p class="empty">${htmlEsc('Loading…')}</p>`;
      return;
    }
    fixSelection();
    const oldList = panel.querySelector('#ai-brain-list');
    const listScroll = oldList ? oldList.scrollTop : 0;
    panel.innerHTML = pageHtml(editor, ui, !!(shell.state && shell.state.found));
    const list = panel.querySelector('#ai-brain-list');
    if (list) list.scrollTop = listScroll;
    wire(panel);
  }

  function rerender() {
    if (currentPanel && !currentPanel.hidden) render(currentPanel);
  }

  /** After a single field changed: the parts that show derived text, not the whole page. */
  function refreshDerived(panel) {
    const unsaved = panel.querySelector('#ai-unsaved');
    if (unsaved) unsaved.hidden = !editor.unsaved();
    const save = panel.querySelector('#ai-save');
    if (save) save.disabled = !DOCS.some((doc) => editor.needsSave(doc));
    const brain = editor.model.brains.get(ui.selected);
    if (!brain) return;
    const lua = panel.querySelector('#ai-lua');
    if (lua) lua.textContent = luaText(ui.selected, brain);
    for (const row of panel.querySelectorAll('#ai-brain-list .ai-item')) {
      if (row.dataset.name === ui.selected) {
        const summary = row.querySelector('.ai-summary');
        if (summary) summary.textContent = brainSummary(brain);
      }
    }
  }

  function copyLua(panel) {
    const brain = editor.model.brains.get(ui.selected);
    if (!brain) return;
    const text = luaText(ui.selected, brain);
    const select = () => {
      const pre = panel.querySelector('#ai-lua');
      if (pre) {
        const range = global.document.createRange();
        range.selectNodeContents(pre);
        const selection = global.getSelection();
        selection.removeAllRanges();
        selection.addRange(range);
        pre.focus();
      }
      shell.notice(NOTICES.selected, false);
    };
    const clipboard = global.navigator && global.navigator.clipboard;
    if (clipboard && typeof clipboard.writeText === 'function') {
      clipboard.writeText(text).then(() => shell.notice(NOTICES.copied, false), select);
    } else {
      select();
    }
  }

  function onClick(event) {
    const target = event.target instanceof global.Element ? event.target.closest('[data-action]') : null;
    if (!target || target.disabled || !editor) return;
    const model = editor.model;
    const brain = model.brains.get(ui.selected);
    const row = Number(target.dataset.row);
    switch (target.dataset.action) {
      case 'view':
        ui.view = target.dataset.view;
        break;
      case 'save':
        editor.save();
        break;
      case 'revert':
        editor.revert();
        break;
      case 'select-brain':
        ui.selected = target.dataset.name;
        break;
      case 'new-brain': {
        const select = currentPanel.querySelector('#ai-preset');
        ui.preset = select ? select.value : ui.preset;
        ui.selected = newBrain(model, ui.preset);
        editor.touch('brains');
        break;
      }
      case 'duplicate-brain': {
        const copy = duplicateBrain(model, ui.selected);
        if (copy === null) return;
        ui.selected = copy;
        editor.touch('brains');
        break;
      }
      case 'delete-brain': {
        const result = deleteBrain(model, ui.selected);
        if (!result) return;
        editor.touch('brains');
        if (result.spawns) editor.touch('spawns');
        shell.notice(result.notice, false);
        break;
      }
      case 'remove-species': {
        if (!brain) return;
        const key = target.dataset.list;
        brain.targets[key] = brain.targets[key].filter((s) => s !== target.dataset.value);
        editor.touch('brains');
        break;
      }
      case 'add-ability':
        if (!brain || brain.attack.abilities.length >= ABILITY_MAX) return;
        brain.attack.abilities.push(merge(ABILITY_DEFAULTS, {}));
        editor.touch('brains');
        break;
      case 'remove-ability':
        if (!brain) return;
        brain.attack.abilities.splice(row, 1);
        editor.touch('brains');
        break;
      case 'add-idle':
        if (!brain || brain.idle.length >= IDLE_MAX) return;
        brain.idle.push(merge(IDLE_DEFAULTS, {}));
        editor.touch('brains');
        break;
      case 'remove-idle':
        if (!brain) return;
        brain.idle.splice(row, 1);
        editor.touch('brains');
        break;
      case 'new-spawner':
        newSpawner(model, ui.selected);
        editor.touch('spawns');
        break;
      case 'delete-spawner': {
        const result = deleteSpawner(model, row);
        if (!result) return;
        editor.touch('spawns');
        shell.notice(result.notice, false);
        break;
      }
      case 'copy-lua':
        copyLua(currentPanel);
        return;
      default:
        return;
    }
    rerender();
  }

  function onChange(event) {
    const el = event.target;
    if (!(el instanceof global.Element) || !editor || !el.dataset.scope) return;
    const model = editor.model;
    const brain = model.brains.get(ui.selected);
    const scope = el.dataset.scope;
    const row = Number(el.dataset.row);
    if (scope === 'brain-name') {
      const result = renameBrain(model, ui.selected, el.value);
      if (result.error) {
        shell.notice(result.error, true);
        el.value = ui.selected;
        return;
      }
      if (result.brains) {
        editor.touch('brains');
        if (result.spawns) editor.touch('spawns');
        ui.selected = result.name;
      }
      rerender();
      return;
    }
    if (scope === 'spawner-id') {
      const result = changeSpawnerId(model, row, el.value);
      if (result.error) {
        shell.notice(result.error, true);
        el.value = model.spawners[row] ? model.spawners[row].id : '';
        return;
      }
      el.value = result.id;
      if (result.changed) editor.touch('spawns');
      refreshDerived(currentPanel);
      return;
    }
    if (scope === 'species-add') {
      if (!brain || !el.value) return;
      const key = el.dataset.list;
      brain.targets[key] = speciesList(brain.targets[key].concat([el.value]));
      editor.touch('brains');
      rerender();
      return;
    }
    if (scope === 'wild') {
      const species = el.dataset.species;
      if (el.value) model.wild.set(species, el.value);
      else model.wild.delete(species);
      editor.touch('spawns');
      refreshDerived(currentPanel);
      return;
    }
    let home = null;
    let doc = 'brains';
    if (scope === 'brain') home = brain;
    else if (scope === 'ability') home = brain && brain.attack.abilities[row];
    else if (scope === 'idle') home = brain && brain.idle[row];
    else if (scope === 'spawner') {
      home = model.spawners[row];
      doc = 'spawns';
    }
    const field = FIELDS[scope] && FIELDS[scope][el.dataset.f];
    if (!home || !field) return;
    const value = field.type === 'brain' ? el.value : readInput(field, el);
    setPath(home, field.f, value);
    editor.touch(doc);
    refreshDerived(currentPanel);
  }

  function wire(panel) {
    if (wired.has(panel)) return;
    wired.add(panel);
    panel.addEventListener('click', onClick);
    panel.addEventListener('change', onChange);
    // Enter in a text field commits it the way leaving the field does.
    panel.addEventListener('keydown', (event) => {
      if (event.key === 'Enter' && event.target instanceof global.HTMLInputElement && event.target.type === 'text') {
        event.target.blur();
      }
    });
  }

  const page = {
    start(api) {
      shell = api;
      ensureEditor();
    },
    load(value) {
      lastAi = value;
      if (!editor) return;
      editor.load(value);
      fixSelection();
    },
    render,
  };

  (global.vfPages = global.vfPages || []).push(['ai', page]);
})(typeof window !== 'undefined' ? window : undefined);
