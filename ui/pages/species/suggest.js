/*
 * Taking over what the asset helper found in an imported folder, and linking animations to
 * roles and attacks from their file names. The helper suggests a role (and a direction x, y)
 * for each animation whose name it understood; this turns those suggestions into role
 * entries, blend grid samples and, for a species without attacks, new attacks.
 */
import { freeName, isPlainObject } from '../../lib/fields.js';
import { normalizeAnimation, normalizeAttack } from './document.js';
import { ATTACK_DEFAULTS, ATTACK_KEYS, ATTACK_MAX, GRID_X, GRID_Y, ROLE_KEYS, roleOf } from './schema.js';

const NO_MATCH = 'The file names gave no clear match.';
const linkedNotice = (n) => `Linked ${n} animations from their file names.`;

const num = (value) => (typeof value === 'number' && Number.isFinite(value) ? value : 0);
const str = (value) => (typeof value === 'string' ? value : '');
const snap = (value, grid) => grid.reduce((best, c) => (Math.abs(c - value) < Math.abs(best - value) ? c : best));

/** inspect.json's members as the page uses them; odd or missing members read as empty. */
export function readInspection(raw) {
  if (!isPlainObject(raw)) return null;
  const mesh = isPlainObject(raw.mesh) ? raw.mesh : {};
  const list = (value) => (Array.isArray(value) ? value.filter(isPlainObject) : []);
  return {
    mesh: {
      file: str(mesh.file),
      triangles: num(mesh.triangles),
      bones: num(mesh.bones),
      lengthCm: num(mesh.lengthCm),
      materials: Array.isArray(mesh.materials) ? mesh.materials.filter((m) => typeof m === 'string') : [],
    },
    animations: list(raw.animations).filter((a) => str(a.file) && str(a.id)).map((a) => {
      const out = { file: a.file, id: a.id, seconds: Math.max(0, num(a.seconds)) };
      if (isPlainObject(a.suggest)) out.suggest = { role: str(a.suggest.role), x: num(a.suggest.x), y: num(a.suggest.y) };
      return out;
    }),
    textures: list(raw.textures).filter((t) => str(t.file)).map((t) => ({
      slot: str(t.slot) || 'Body', type: str(t.type) || 'diffuse', file: t.file, width: num(t.width), height: num(t.height),
    })),
    warnings: Array.isArray(raw.warnings) ? raw.warnings.filter((w) => typeof w === 'string') : [],
  };
}

/** Texture files grouped by slot, one member per type; the first file of a type wins. */
function textureSlots(textures) {
  const slots = [];
  for (const t of textures) {
    let slot = slots.find((s) => s.slot === t.slot);
    if (!slot) slots.push((slot = { slot: t.slot }));
    if (t.type !== 'slot' && !Object.hasOwn(slot, t.type)) slot[t.type] = t.file;
  }
  return slots;
}

/**
 * Takes the inspection's model, one animation entry per inspected animation (keeping the
 * sound events an earlier entry of the same id had) and its texture slots.
 */
export function adoptInspection(doc, inspection) {
  const earlier = new Map(doc.source.animations.map((a) => [a.id, a]));
  doc.source.mesh = inspection.mesh.file;
  const seen = new Set();
  doc.source.animations = [];
  for (const a of inspection.animations) {
    if (seen.has(a.id)) continue;
    seen.add(a.id);
    const entry = normalizeAnimation({ file: a.file, id: a.id, sounds: earlier.has(a.id) ? earlier.get(a.id).sounds : undefined });
    if (entry) doc.source.animations.push(entry);
  }
  doc.source.textures = textureSlots(inspection.textures);
}

// Direction words in attack names; the longer spellings go first so "left90" is not read as
// "left" followed by "90".
const DIRECTION_WORDS = ['forward', 'left90', 'right90', 'left', 'right'];

/** The attack an animation belongs to: its id without direction words. */
export function attackGroup(id) {
  let rest = id;
  for (const word of DIRECTION_WORDS) rest = rest.split(word).join('');
  rest = rest.replace(/_+/g, '_').replace(/^_+|_+$/g, '');
  return rest || 'attack';
}

// Where a name without a helper suggestion turns: the same words the helper reads.
function directionFromId(id) {
  if (/left90|hardleft/.test(id)) return -1;
  if (/right90|hardright/.test(id)) return 1;
  if (id.includes('left')) return -0.5;
  if (id.includes('right')) return 0.5;
  return 0;
}

/** The inspection's suggestions split into role links and attack groups, in file order. */
function suggestions(inspection) {
  const roles = [];
  const groups = new Map();
  for (const a of inspection.animations) {
    const role = a.suggest ? a.suggest.role : '';
    if (role && role !== 'attack') {
      if (ROLE_KEYS.includes(role)) roles.push({ id: a.id, role, x: snap(a.suggest.x, GRID_X), y: snap(a.suggest.y, GRID_Y) });
      continue;
    }
    if (role !== 'attack' && !a.id.includes('attack')) continue;
    const x = a.suggest ? a.suggest.x : directionFromId(a.id);
    const name = attackGroup(a.id);
    if (!groups.has(name)) groups.set(name, { name, left: null, middle: null, right: null });
    placeInGroup(groups.get(name), a.id, x);
  }
  return { roles, groups: Array.from(groups.values()) };
}

// Left and right take the first animation, but one turned half way (|x| 0.5) wins over a
// hard turn, since it is the closer variant of the straight attack.
function placeInGroup(group, id, x) {
  if (x === 0) {
    if (!group.middle) group.middle = { id, x };
    return;
  }
  const side = x < 0 ? 'left' : 'right';
  const held = group[side];
  if (!held || (Math.abs(held.x) !== 0.5 && Math.abs(x) === 0.5)) group[side] = { id, x };
}

/** Applies role links to the document's roles; returns how many were made. */
function linkRoles(doc, roleLinks) {
  let links = 0;
  for (const link of roleLinks) {
    const role = roleOf(link.role);
    const current = doc.animations[role.key];
    if (!role.blend) {
      if (!current) {
        doc.animations[role.key] = { anim: link.id, rate: 1 };
        links++;
      }
      continue;
    }
    // A blend role collects one sample per new position; a single animation it already had
    // counts as the straight-ahead sample.
    let value = current;
    if (!value) value = { blend: [], rate: 1 };
    else if (!value.blend) value = { blend: [{ anim: value.anim, x: 0, y: 0 }], rate: value.rate };
    if (!value.blend.some((s) => s.x === link.x && s.y === link.y)) {
      value.blend.push({ anim: link.id, x: link.x, y: link.y });
      links++;
    }
    doc.animations[role.key] = value;
  }
  for (const key of ROLE_KEYS) {
    const value = doc.animations[key];
    if (value && value.blend && value.blend.length === 1 && value.blend[0].x === 0 && value.blend[0].y === 0) {
      doc.animations[key] = { anim: value.blend[0].anim, rate: value.rate };
    }
  }
  return links;
}

// An id the name rule accepts, made from any group name.
function idBase(name) {
  const cleaned = name.toLowerCase().replace(/[^a-z0-9_]+/g, '_').replace(/_+/g, '_').replace(/^_+|_+$/g, '');
  return cleaned || 'attack';
}

const labelOf = (id) => {
  const words = id.replace(/_/g, ' ');
  return words.charAt(0).toUpperCase() + words.slice(1);
};

/** One attack per group, groups with a turn first, then shorter names; returns the links. */
function createAttacks(doc, groups) {
  const ordered = groups
    .map((g, i) => ({ g, i }))
    .sort((a, b) => {
      const turnA = a.g.left || a.g.right ? 0 : 1;
      const turnB = b.g.left || b.g.right ? 0 : 1;
      return turnA - turnB || a.g.name.length - b.g.name.length || a.i - b.i;
    })
    .map(({ g }) => g);
  let links = 0;
  const taken = new Set();
  for (const group of ordered.slice(0, ATTACK_MAX)) {
    const id = freeName(idBase(group.name), taken);
    taken.add(id);
    const main = group.middle || group.left || group.right;
    const attack = normalizeAttack({ ...ATTACK_DEFAULTS, id, label: labelOf(id), animation: main.id });
    if (group.left && group.left !== main) attack.animationLeft = group.left.id;
    if (group.right && group.right !== main) attack.animationRight = group.right.id;
    attack.key = ATTACK_KEYS[doc.attacks.length % ATTACK_KEYS.length];
    doc.attacks.push(attack);
    links += [group.left, group.middle, group.right].filter(Boolean).length;
  }
  return links;
}

/** Links the inspection's suggestions into the document; returns { links, notice }. */
export function linkAnimations(doc, inspection) {
  const { roles, groups } = suggestions(inspection);
  let links = linkRoles(doc, roles);
  if (doc.attacks.length === 0 && groups.length > 0) links += createAttacks(doc, groups);
  return { links, notice: links > 0 ? linkedNotice(links) : NO_MATCH };
}
