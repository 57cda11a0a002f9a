/* Every message the AI page shows, in one place so the model, the editor and the page word
 * the same event the same way. */

export const NOTICES = {
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
