/*
 * What must hold before a species is created or saved, each failure worded as the notice the
 * person sees. The first failing check is the one reported, in a fixed order, so the same
 * document always gets the same answer.
 */
import { cleanName, isValidName } from '../../lib/fields.js';

export const NOTICES = {
  badSpeciesName: 'Names use 1 to 32 characters of a-z, 0-9 and _.',
  speciesExists: (name) => `A species called "${name}" exists already.`,
  attackId: (id) => `Attack id "${id}" needs 1 to 32 characters of a-z, 0-9 and _.`,
  attackShared: (id) => `Two attacks share the id "${id}".`,
  attackNoAnimation: (id) => `Attack "${id}" has no animation.`,
  soundId: (id) => `Sound id "${id}" needs 1 to 32 characters of a-z, 0-9 and _.`,
  soundShared: (id) => `Two sounds share the id "${id}".`,
  missingSound: (anim, sound) => `Animation "${anim}" plays the sound "${sound}", which is not in the sound list.`,
  invalidJson: 'species.json is not valid JSON. Saving replaces it.',
};

/** The cleaned name of a new species, or the notice that refuses it. */
export function newSpeciesProblem(typed, existing) {
  const name = cleanName(typed);
  if (!isValidName(name, { species: true })) return { error: NOTICES.badSpeciesName };
  if (existing.has(name)) return { error: NOTICES.speciesExists(name) };
  return { name };
}

function firstDuplicate(ids) {
  const seen = new Set();
  for (const id of ids) {
    if (seen.has(id)) return id;
    seen.add(id);
  }
  return null;
}

/** The notice that stops a save, or '' when the document may be saved. */
export function saveProblem(doc) {
  const attackIds = doc.attacks.map((a) => a.id);
  const badAttack = attackIds.find((id) => !isValidName(id));
  if (badAttack !== undefined) return NOTICES.attackId(badAttack);
  const sharedAttack = firstDuplicate(attackIds);
  if (sharedAttack !== null) return NOTICES.attackShared(sharedAttack);
  const silent = doc.attacks.find((a) => a.animation === '');
  if (silent) return NOTICES.attackNoAnimation(silent.id);
  const soundIds = doc.source.sounds.map((s) => s.id);
  const badSound = soundIds.find((id) => !isValidName(id));
  if (badSound !== undefined) return NOTICES.soundId(badSound);
  const sharedSound = firstDuplicate(soundIds);
  if (sharedSound !== null) return NOTICES.soundShared(sharedSound);
  const listed = new Set(soundIds);
  for (const anim of doc.source.animations) {
    const missing = (anim.sounds || []).find((e) => !listed.has(e.sound));
    if (missing) return NOTICES.missingSound(anim.id, missing.sound);
  }
  return '';
}
