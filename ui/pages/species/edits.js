/*
 * Changes to a species document that take more than setting one value: role modes and grid
 * cells, attacks added and removed, and the habitats an attack is allowed in. Each returns
 * whether it changed the document.
 */
import { freeName } from '../../lib/fields.js';
import { normalizeAttack } from './document.js';
import { ATTACK_KEYS, ATTACK_MAX, HABITATS, roleOf } from './schema.js';

/** Sets a single-animation role; no animation removes the role. */
export function setRoleAnimation(doc, key, anim) {
  const current = doc.animations[key];
  if (!anim) {
    if (!current) return false;
    delete doc.animations[key];
    return true;
  }
  doc.animations[key] = { anim, rate: current ? current.rate : 1 };
  return true;
}

export function setRoleRate(doc, key, rate) {
  const current = doc.animations[key];
  if (!current || current.rate === rate) return false;
  current.rate = rate;
  return true;
}

/**
 * Turns a movement role's direction grid on or off. Its single animation becomes the
 * straight-ahead cell and back, so switching never loses the main animation.
 */
export function setRoleGrid(doc, key, on) {
  const role = roleOf(key);
  const current = doc.animations[key];
  if (!role || !role.blend) return false;
  if (on) {
    if (current && current.blend) return false;
    doc.animations[key] = { blend: current ? [{ anim: current.anim, x: 0, y: 0 }] : [], rate: current ? current.rate : 1 };
    return true;
  }
  if (!current || !current.blend) return false;
  const main = current.blend.find((s) => s.x === 0 && s.y === 0) || current.blend[0];
  if (main) doc.animations[key] = { anim: main.anim, rate: current.rate };
  else delete doc.animations[key];
  return true;
}

/** Puts an animation into one grid cell of a blend role; no animation empties the cell. */
export function setGridCell(doc, key, x, y, anim) {
  const current = doc.animations[key];
  if (!current || !current.blend) return false;
  const at = current.blend.findIndex((s) => s.x === x && s.y === y);
  if (at >= 0 && !anim) current.blend.splice(at, 1);
  else if (at >= 0) current.blend[at].anim = anim;
  else if (anim) current.blend.push({ anim, x, y });
  else return false;
  return true;
}

/** A new attack with a free id and the first key no other attack uses; null when full. */
export function addAttack(doc) {
  if (doc.attacks.length >= ATTACK_MAX) return null;
  const id = freeName('attack', doc.attacks.map((a) => a.id));
  const used = new Set(doc.attacks.map((a) => a.key));
  const key = ATTACK_KEYS.find((k) => !used.has(k)) || ATTACK_KEYS[0];
  const attack = normalizeAttack({ id, label: 'Attack', key });
  doc.attacks.push(attack);
  return doc.attacks.length - 1;
}

export function removeAttack(doc, row) {
  if (!(row >= 0 && row < doc.attacks.length)) return false;
  doc.attacks.splice(row, 1);
  return true;
}

/** Allows or forbids an attack in water or on land, keeping the list in its fixed order. */
export function setAttackHabitat(attack, habitat, on) {
  if (!HABITATS.includes(habitat)) return false;
  const set = new Set(attack.allowIn);
  if (on) set.add(habitat);
  else set.delete(habitat);
  attack.allowIn = HABITATS.filter((h) => set.has(h));
  return true;
}
