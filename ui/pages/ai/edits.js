/*
 * The edits a person makes on the page's model (brains by name, the spawner list and the wild
 * brain by species). Renames and deletes keep spawners and wild animals pointing at brains
 * that exist; names and ids follow the shared name rule.
 */
import { cleanName, clone, freeName, isValidName } from '../../lib/fields.js';
import { normalizeSpawner, presetBrain, presetOf, sortedNames } from './documents.js';
import { NOTICES } from './notices.js';

/** The page's model: brains by name, the spawner list and wild brain by species. */
export function emptyModel() {
  return { brains: new Map(), spawners: [], wild: new Map() };
}

export function newBrain(model, presetKey) {
  const preset = presetOf(presetKey);
  const name = freeName(preset.key === 'custom' ? 'brain' : preset.key, model.brains);
  model.brains.set(name, presetBrain(preset.key));
  return name;
}

export function duplicateBrain(model, name) {
  const brain = model.brains.get(name);
  if (!brain) return null;
  const copy = freeName(name + '_copy', model.brains);
  model.brains.set(copy, clone(brain));
  return copy;
}

/** Renames a brain; spawners and wild animals that used it follow the new name. */
export function renameBrain(model, from, typed) {
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
export function deleteBrain(model, name) {
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

export function newSpawner(model, brainName) {
  const spawner = normalizeSpawner({});
  spawner.id = freeName('spawner', model.spawners.map((s) => s.id));
  spawner.brain = typeof brainName === 'string' && model.brains.has(brainName) ? brainName : '';
  model.spawners.push(spawner);
  return spawner;
}

export function changeSpawnerId(model, index, typed) {
  const spawner = model.spawners[index];
  if (!spawner) return { error: NOTICES.badId };
  const next = cleanName(typed);
  if (!isValidName(next)) return { error: NOTICES.badId };
  if (next === spawner.id) return { id: next, changed: false };
  if (model.spawners.some((s, i) => i !== index && s.id === next)) return { error: NOTICES.spawnerExists(next) };
  spawner.id = next;
  return { id: next, changed: true };
}

export function deleteSpawner(model, index) {
  const spawner = model.spawners[index];
  if (!spawner) return null;
  model.spawners.splice(index, 1);
  return { notice: NOTICES.spawnerDeleted(spawner.id) };
}

/** The first reason the documents cannot be written, or "" when they can. */
export function saveProblem(model) {
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
