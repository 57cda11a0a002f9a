/*
 * A stat is in one of three modes: the same as the template's (no member in the file), set
 * to a value of its own (a number), or the template's value multiplied ({factor}). Stats
 * that only make sense relative to the template (damage taken, hunger, thirst) have no set
 * mode.
 */
import { clampNumber } from './document.js';
import { statOf } from './schema.js';

export const SAME = 'same';
export const SET = 'set';
const MULTIPLY = 'multiply';

const MODE_LABELS = [[SAME, 'Same as template'], [SET, 'Set'], [MULTIPLY, 'Multiply']];

/** The modes a stat offers, as [value, label] pairs. */
export function modesOf(stat) {
  return MODE_LABELS.filter(([mode]) => mode !== SET || stat.set !== null);
}

/** { mode, value } of one stat in a document; value is the number shown beside the mode. */
export function statMode(doc, key) {
  const value = doc.stats[key];
  if (value === undefined) return { mode: SAME, value: null };
  if (typeof value === 'number') return { mode: SET, value };
  return { mode: MULTIPLY, value: value.factor };
}

/**
 * Switches a stat's mode. A new set value starts from the template's own value when the kit
 * knows it, so the person edits from a sensible number; a new factor starts at 1.
 */
export function setStatMode(doc, key, mode, templateValue) {
  const stat = statOf(key);
  if (!stat || mode === statMode(doc, key).mode) return false;
  if (mode === SAME) {
    delete doc.stats[key];
  } else if (mode === SET && stat.set) {
    doc.stats[key] = clampNumber(templateValue, stat.set.min, stat.set.max, stat.set.min);
  } else if (mode === MULTIPLY) {
    doc.stats[key] = { factor: 1 };
  } else {
    return false;
  }
  return true;
}

/** The number beside the mode, held to the range of that mode. */
export function setStatValue(doc, key, number) {
  const stat = statOf(key);
  const { mode } = stat ? statMode(doc, key) : { mode: SAME };
  if (mode === SET) {
    doc.stats[key] = clampNumber(number, stat.set.min, stat.set.max, stat.set.min);
  } else if (mode === MULTIPLY) {
    doc.stats[key] = { factor: clampNumber(number, stat.factor.min, stat.factor.max, 1) };
  } else {
    return false;
  }
  return true;
}

/** The limits of the number field for a stat in its current mode, for the shared field helpers. */
export function statField(stat, mode) {
  const range = mode === SET ? stat.set : stat.factor;
  return { label: stat.label, min: range.min, max: range.max, unit: '' };
}
