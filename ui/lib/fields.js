/*
 * The field machinery every editor page shares: the name rule, free names, units, clamping,
 * merging a loaded document over its defaults, and the labelled controls that show and read
 * a value. The AI and Species pages import the very same rules from here, so a name or a
 * number one page accepts the other accepts too.
 */
import { esc } from './html.js';

export const NAME_MAX = 32;
const NAME_PATTERN = /^[a-z0-9_]{1,32}$/;

/** What a person typed as a name, as the rule sees it. */
export function cleanName(text) {
  return String(text === null || text === undefined ? '' : text).trim().toLowerCase();
}

/**
 * The one name rule for brains, spawners, attacks, sounds and species. Species names may
 * not start with "_" because the game keeps those for its own animals.
 */
export function isValidName(name, options) {
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
export function freeName(base, taken) {
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

export const UNIT_TEXT = { m: 'm', '%': '%', s: 's', deg: '°' };

/** A typed number: a comma is a decimal point, and anything that is not a number is 0. */
export function parseEntered(text) {
  if (typeof text === 'number') return Number.isFinite(text) ? text : 0;
  const s = String(text === null || text === undefined ? '' : text).trim().replace(/,/g, '.');
  if (s === '') return 0;
  const n = Number(s);
  return Number.isFinite(n) ? n : 0;
}

/** The limits of a field in the units the person sees. */
export function limits(field) {
  const unit = (field && field.unit) || '';
  const min = field && typeof field.min === 'number' ? field.min : 0;
  const max = field && typeof field.max === 'number' ? field.max : unit === '%' ? 100 : 1e9;
  return { min, max };
}

export function clampShown(value, field) {
  const { min, max } = limits(field);
  return Math.min(max, Math.max(min, value));
}

/** Metres are kept as whole centimetres and per cents as fractions with three decimals. */
export function toStored(shown, unit) {
  if (unit === 'm') return Math.round(shown * 100);
  if (unit === '%') return Math.round(shown * 10) / 1000;
  return shown;
}

export function toShown(stored, unit) {
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
export function readNumber(text, field) {
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

export function showNumber(stored, field) {
  return String(toShown(stored, (field && field.unit) || ''));
}

export function jsonType(value) {
  if (value === null) return 'null';
  if (Array.isArray(value)) return 'array';
  return typeof value;
}

export function isPlainObject(value) {
  return jsonType(value) === 'object';
}

/** A deep copy of JSON data; also keeps "__proto__" keys as plain data. */
export function clone(value) {
  if (value === null || typeof value !== 'object') return value;
  return JSON.parse(JSON.stringify(value));
}

/**
 * Lays a loaded object over its defaults: only the defaults' keys survive, a value of the
 * same JSON type replaces the default (arrays replace arrays whole), objects merge key by
 * key, and anything of another type leaves the default in place.
 */
export function merge(defaults, loaded) {
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

export function getPath(obj, path) {
  let at = obj;
  for (const part of String(path).split('.')) {
    if (!at || typeof at !== 'object') return undefined;
    at = at[part];
  }
  return at;
}

export function setPath(obj, path, value) {
  const parts = String(path).split('.');
  let at = obj;
  for (let i = 0; i < parts.length - 1; i++) {
    if (!at[parts[i]] || typeof at[parts[i]] !== 'object') at[parts[i]] = {};
    at = at[parts[i]];
  }
  at[parts[parts.length - 1]] = value;
}

export function dataAttrs(data) {
  let out = '';
  for (const key of Object.keys(data || {})) out += ` data-${key}="${esc(data[key])}"`;
  return out;
}

export function choiceOptions(options, value) {
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
export function fieldHtml(field, value, data) {
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
export function readInput(field, el) {
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
