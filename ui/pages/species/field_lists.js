/*
 * What the Species page's editors show for the definition's plain values and for an attack:
 * each value's label, unit, limits (in shown units) and kind of control, and where in the
 * document it lives. The shared field helpers draw and read them.
 */
import { TEXTURE_SIZES } from './schema.js';

const fields = (list) => Object.fromEntries(list.map((f) => [f.f, f]));

export const HEAD_FIELDS = [
  { f: 'label', label: 'Display name', type: 'text' },
  { f: 'enabled', label: 'Enabled', type: 'bool', hint: 'Players can choose it' },
  { f: 'disableHostAttacks', label: 'Turn off the template’s attacks', type: 'bool' },
];

export const SOURCE_FIELDS = [
  { f: 'source.maxTextureSize', label: 'Largest texture', type: 'number-choice', options: TEXTURE_SIZES.map((n) => [n, `${n} px`]) },
  { f: 'source.unitScale', label: 'Unit scale', min: 0.001, max: 1000, hint: 'Centimetres per model unit' },
  { f: 'source.forwardAxis', label: 'Forward axis', type: 'choice', options: [['', 'As the file says'], ['x', 'X'], ['y', 'Y']] },
];

export const VISUAL_FIELDS = [
  { f: 'visual.scale', label: 'Scale', min: 0.05, max: 20 },
  { f: 'visual.offset.0', label: 'Forward offset', unit: 'm', min: -50, max: 50 },
  { f: 'visual.offset.1', label: 'Right offset', unit: 'm', min: -50, max: 50 },
  { f: 'visual.offset.2', label: 'Up offset', unit: 'm', min: -50, max: 50 },
  { f: 'visual.yaw', label: 'Turn', unit: 'deg', min: -180, max: 180 },
  { f: 'visual.align', label: 'Stands on', type: 'choice', options: [['bottom', 'Its lowest point'], ['center', 'Its centre'], ['origin', 'Its origin']] },
  { f: 'visual.attachTo', label: 'Attached to', type: 'choice', options: [['capsule', 'The collision capsule']] },
  { f: 'visual.hideHost', label: 'Hide the template’s body', type: 'bool' },
  { f: 'visual.castShadow', label: 'Casts a shadow', type: 'bool' },
];

export const THRESHOLD_FIELDS = [
  { f: 'thresholds.trot', label: 'Trot from (cm/s)', max: 10000, hint: '0: the template’s' },
  { f: 'thresholds.run', label: 'Run from (cm/s)', max: 10000, hint: '0: the template’s' },
  { f: 'thresholds.swimFast', label: 'Swim fast from (cm/s)', max: 10000, hint: '0: the template’s' },
];

export const HABITAT_FIELDS = [
  { f: 'habitat.water', label: 'Lives in water', type: 'bool' },
  { f: 'habitat.land', label: 'Lives on land', type: 'bool' },
  { f: 'habitat.outOfHabitatDamage', label: 'Damage outside its habitat', unit: '%', hint: 'Of full health, per second' },
  { f: 'habitat.outOfHabitatGrace', label: 'Grace time', unit: 's', max: 3600 },
];

export const ACCESS_FIELDS = [
  { f: 'access.permission', label: 'Permission', type: 'text', hint: 'Empty allows everyone' },
  { f: 'access.maxPlayers', label: 'Most players at once', max: 1000, int: true, hint: '0 means no limit' },
];

/** Every plain value of the definition by its path. */
export const DOC_FIELDS = fields([
  ...HEAD_FIELDS, ...SOURCE_FIELDS, ...VISUAL_FIELDS, ...THRESHOLD_FIELDS, ...HABITAT_FIELDS, ...ACCESS_FIELDS,
]);

export const ATTACK_FIELDS = [
  { f: 'label', label: 'Label', type: 'text' },
  { f: 'rate', label: 'Animation speed', min: 0.05, max: 10 },
  { f: 'damage', label: 'Damage', max: 100000 },
  { f: 'staminaCost', label: 'Stamina cost', max: 10000 },
  { f: 'cooldown', label: 'Cooldown', unit: 's', max: 3600 },
  { f: 'hit.time', label: 'Hits after', unit: 's', max: 30 },
  { f: 'hit.duration', label: 'Hit lasts', unit: 's', min: 0.01, max: 10 },
  { f: 'hit.shape', label: 'Hit shape', type: 'choice', options: [['cone', 'Cone'], ['sphere', 'Sphere']] },
  { f: 'hit.range', label: 'Reach', unit: 'm', max: 200 },
  { f: 'hit.angle', label: 'Cone angle', unit: 'deg', min: 1, max: 360 },
  { f: 'hit.radius', label: 'Sphere radius', unit: 'm', min: 0.1, max: 100 },
  { f: 'hit.height', label: 'Hit height', unit: 'm', min: 0.1, max: 100 },
  { f: 'move', label: 'Moving while attacking', type: 'choice', options: [['free', 'Free'], ['slow', 'Slowed'], ['locked', 'Stands still']] },
  { f: 'minGrowth', label: 'Smallest growth', unit: '%' },
  { f: 'knockback', label: 'Knockback', unit: 'm', max: 50 },
  { f: 'targets.players', label: 'Hits players', type: 'bool' },
  { f: 'targets.ai', label: 'Hits AI animals', type: 'bool' },
];

export const ATTACK_FIELD_BY_PATH = fields(ATTACK_FIELDS);
