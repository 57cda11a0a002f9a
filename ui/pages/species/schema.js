/*
 * What a species definition may hold: its defaults, the movement roles and their direction
 * grid, the stats with their ranges, the attack keys and the game animals a species can be
 * built on. Limits are in stored units (centimetres, fractions); the views show them through
 * the shared field machinery.
 */

export const ATTACK_MAX = 16;

export const ROLES = [
  { key: 'idle', label: 'Idle', required: true },
  { key: 'walk', label: 'Walk', blend: true },
  { key: 'trot', label: 'Trot', blend: true },
  { key: 'run', label: 'Run', blend: true },
  { key: 'swimIdle', label: 'Swim idle' },
  { key: 'swim', label: 'Swim', blend: true },
  { key: 'swimFast', label: 'Swim fast', blend: true },
  { key: 'swimBack', label: 'Swim backwards' },
  { key: 'hit', label: 'Hit' },
  { key: 'death', label: 'Death' },
  { key: 'deathPose', label: 'Death pose' },
  { key: 'rest', label: 'Rest' },
  { key: 'eat', label: 'Eat' },
  { key: 'drink', label: 'Drink' },
  { key: 'call', label: 'Call' },
];
export const ROLE_KEYS = ROLES.map((r) => r.key);
export const roleOf = (key) => ROLES.find((r) => r.key === key) || null;

export const RATE_RANGE = { min: 0.05, max: 10 };

// Columns from hard left to hard right, rows from up to down, as the grid is drawn.
export const GRID_X = [-1, -0.5, 0, 0.5, 1];
export const GRID_Y = [1, 0.5, 0, -0.5, -1];
export const GRID_X_LABELS = ['Hard left', 'Left', 'Straight', 'Right', 'Hard right'];
export const GRID_Y_LABELS = ['Up', 'Slightly up', 'Level', 'Slightly down', 'Down'];

export const THRESHOLDS = [
  { key: 'trot', label: 'Trot from' },
  { key: 'run', label: 'Run from' },
  { key: 'swimFast', label: 'Swim fast from' },
];
export const THRESHOLD_MAX = 10000;

// `set` is the range of a value that replaces the template's, null for stats that can only
// be multiplied; `factor` the range of a multiplier.
export const STATS = [
  { key: 'health', label: 'Health', set: { min: 1, max: 1e6 }, factor: { min: 0.01, max: 100 } },
  { key: 'damageTaken', label: 'Damage taken', set: null, factor: { min: 0, max: 100 } },
  { key: 'walkSpeed', label: 'Walk speed', unit: 'cm/s', set: { min: 1, max: 20000 }, factor: { min: 0.05, max: 10 } },
  { key: 'runSpeed', label: 'Run speed', unit: 'cm/s', set: { min: 1, max: 20000 }, factor: { min: 0.05, max: 10 } },
  { key: 'swimSpeed', label: 'Swim speed', unit: 'cm/s', set: { min: 1, max: 20000 }, factor: { min: 0.05, max: 10 } },
  { key: 'swimFastSpeed', label: 'Fast swim speed', unit: 'cm/s', set: { min: 1, max: 20000 }, factor: { min: 0.05, max: 10 } },
  { key: 'stamina', label: 'Stamina', set: { min: 1, max: 1e6 }, factor: { min: 0.01, max: 100 } },
  { key: 'growthSeconds', label: 'Time to grow up', unit: 's', set: { min: 60, max: 2592000 }, factor: { min: 0.01, max: 100 } },
  { key: 'hungerRate', label: 'Hunger rate', set: null, factor: { min: 0, max: 100 } },
  { key: 'thirstRate', label: 'Thirst rate', set: null, factor: { min: 0, max: 100 } },
];
export const statOf = (key) => STATS.find((s) => s.key === key) || null;

export const ATTACK_KEYS = [
  'LeftMouseButton', 'RightMouseButton', 'MiddleMouseButton', 'ThumbMouseButton', 'ThumbMouseButton2',
  'Q', 'E', 'R', 'F', 'G', 'C', 'V', 'X', 'Z', 'One', 'Two', 'Three', 'Four', 'Five', 'LeftAlt', 'LeftControl',
];

export const HABITATS = ['water', 'land'];

export const ATTACK_DEFAULTS = {
  id: '',
  label: '',
  source: 'custom',
  key: 'LeftMouseButton',
  animation: '',
  animationLeft: '',
  animationRight: '',
  rate: 1,
  damage: 50,
  staminaCost: 10,
  cooldown: 1,
  hit: { time: 0.3, duration: 0.15, shape: 'cone', range: 400, angle: 60, radius: 200, height: 300 },
  move: 'free',
  allowIn: ['water', 'land'],
  minGrowth: 0.25,
  targets: { players: true, ai: true },
  knockback: 0,
};

export const SOUND_KINDS = ['body', 'voice'];
export const SOUND_RADIUS = { min: 5, max: 1000, fallback: 60 };
export const EVENT_LIMITS = { time: { min: 0, max: 600 }, volume: { min: 0, max: 4 }, pitch: { min: 0.25, max: 4 } };

export const TEXTURE_SIZES = [1024, 2048, 4096];

export const SPECIES_DEFAULTS = {
  version: 1,
  name: '',
  label: '',
  template: 'deinosuchus',
  enabled: true,
  disableHostAttacks: false,
  source: {
    mesh: '',
    animations: [],
    sounds: [],
    textures: [],
    maxTextureSize: 2048,
    unitScale: 1,
    forwardAxis: '',
  },
  visual: {
    scale: 1,
    offset: [0, 0, 0],
    yaw: 0,
    hideHost: true,
    attachTo: 'capsule',
    castShadow: true,
    align: 'bottom',
  },
  animations: {},
  thresholds: { trot: 0, run: 0, swimFast: 0 },
  stats: {},
  habitat: { water: true, land: true, outOfHabitatDamage: 0, outOfHabitatGrace: 10 },
  attacks: [],
  access: { permission: '', maxPlayers: 0 },
};

export const DEFAULT_TEMPLATE = 'deinosuchus';

// The playable game animals every installation has, whether or not the kit describes them.
export const PLAYABLE_TEMPLATES = [
  'allosaurus', 'austroraptor', 'beipiaosaurus', 'carnotaurus', 'ceratosaurus', 'deinosuchus',
  'diabloceratops', 'dilophosaurus', 'dryosaurus', 'gallimimus', 'herrerasaurus', 'hypsilophodon',
  'kentrosaurus', 'maiasaura', 'omniraptor', 'pachycephalosaurus', 'pteranodon', 'stegosaurus',
  'tenontosaurus', 'triceratops', 'troodon', 'tyrannosaurus',
];
