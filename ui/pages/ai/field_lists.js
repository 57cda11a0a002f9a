/*
 * What the AI page's editors show for brains, abilities, idle actions and spawners: each
 * value's label, unit, limits and kind of control, and where in the document it lives.
 */
import { AI_SPECIES } from './documents.js';

const GAITS = [['walk', 'Walk'], ['trot', 'Trot'], ['sprint', 'Sprint']];
const ACTIVE_AT = [['any', 'Day and night'], ['day', 'Day only'], ['night', 'Night only']];

// Editor limits are in the units shown; lib/fields.js converts them to stored values.
export const BRAIN_SECTIONS = [
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

export const BRAIN_TOP_FIELDS = [{ f: 'label', label: 'Label', type: 'text' }];

export const ABILITY_FIELDS = [
  { f: 'name', label: 'Ability', type: 'name' },
  { f: 'weight', label: 'Weight', max: 1000 },
  { f: 'minRange', label: 'From', unit: 'm', max: 1000 },
  { f: 'maxRange', label: 'To', unit: 'm', max: 1000 },
  { f: 'cooldown', label: 'Cooldown', unit: 's', max: 600 },
];

export const IDLE_FIELDS = [
  { f: 'ability', label: 'Ability', type: 'name' },
  { f: 'minSeconds', label: 'Earliest', unit: 's', min: 1, max: 86400 },
  { f: 'maxSeconds', label: 'Latest', unit: 's', min: 1, max: 86400 },
  { f: 'onlyAlone', label: 'Only when alone', type: 'bool' },
  { f: 'whenBusy', label: 'Also when busy', type: 'bool' },
];

export const SPAWNER_FIELDS = [
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

export const FIELDS = {
  brain: fieldIndex(BRAIN_SECTIONS.flatMap((s) => s.fields).concat(BRAIN_TOP_FIELDS)),
  ability: fieldIndex(ABILITY_FIELDS),
  idle: fieldIndex(IDLE_FIELDS),
  spawner: fieldIndex(SPAWNER_FIELDS.concat([{ f: 'enabled', label: 'Enabled', type: 'bool' }])),
};
