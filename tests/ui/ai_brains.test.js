'use strict';
// Brains and spawners as documents: defaults, presets, loading, writing, the list summary
// and the Lua view.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

// The page's pure modules, gathered under one name the way the cases below refer to them.
const AI_MODULES = ['documents.js', 'lua.js', 'edits.js', 'editor.js', 'views.js'];
let ai;
before(async () => {
  const dir = path.join(__dirname, '..', '..', 'ui', 'pages', 'ai');
  const modules = await Promise.all(AI_MODULES.map((file) => import(pathToFileURL(path.join(dir, file)).href)));
  ai = Object.assign({}, ...modules);
});

describe('brain defaults and presets', () => {
  it('a blank brain is every default of every group', () => {
    const brain = ai.presetBrain('custom');
    assert.equal(brain.label, '');
    assert.equal(brain.preset, 'custom');
    assert.deepEqual(brain.senses, { sightRange: 6000, sightAngle: 360, hearingRange: 9000, memorySeconds: 12, lineOfSight: false });
    assert.deepEqual(brain.movement, {
      roamRadius: 4000, roamPauseMin: 2, roamPauseMax: 6, roamGait: 'walk', chaseGait: 'sprint', fleeGait: 'sprint', leash: 8000, homeMode: 'spawn',
    });
    assert.deepEqual(brain.targets, {
      players: true, ai: false, onlySpecies: [], ignoreSpecies: [], ignoreSameSpecies: true, minGrowth: 0, maxGrowth: 1, ignorePermission: '',
    });
    assert.deepEqual(brain.temperament, {
      aggression: 0, retaliate: true, fightToDeath: false, fleeHealth: 0.25, fleeFromBigger: true, fearSizeRatio: 1.25,
      fleeFromEveryone: false, fleeSeconds: 8, activeAt: 'any',
    });
    assert.deepEqual(brain.attack, {
      rangeFromBody: true, bodyRangeMultiplier: 2.5, biteLength: 250, range: 400, cooldown: 1, autoAbilities: true, abilities: [],
    });
    assert.deepEqual(brain.pack, { size: 1, shareTarget: true, answerCalls: true, callRange: 6000, callChance: 0.5 });
    assert.deepEqual(brain.idle, []);
    assert.deepEqual(brain.stats, { infiniteStamina: true, growth: 1 });
    assert.deepEqual(brain.despawn, { afterSeconds: 0, noPlayerWithin: 0, noPlayerSeconds: 120 });
  });

  it('each preset sets only its own values over the defaults', () => {
    const blank = ai.presetBrain('custom');
    const expected = {
      predator: { label: 'Predator', set: { 'temperament.aggression': 0.8, 'temperament.fleeHealth': 0.15, 'senses.sightRange': 8000 } },
      prey: {
        label: 'Prey',
        set: {
          'temperament.aggression': 0, 'temperament.retaliate': false, 'temperament.fleeFromEveryone': true,
          'temperament.fleeSeconds': 12, 'senses.sightRange': 5000,
        },
      },
      guard: {
        label: 'Guard',
        set: {
          'temperament.aggression': 1, 'temperament.fightToDeath': true, 'temperament.fleeFromBigger': false,
          'movement.roamRadius': 1500, 'movement.leash': 3000, 'senses.sightRange': 4000,
        },
      },
      passive: { label: 'Passive', set: { 'temperament.aggression': 0, 'temperament.retaliate': true, 'temperament.fleeFromBigger': false } },
    };
    for (const [key, { label, set }] of Object.entries(expected)) {
      const brain = ai.presetBrain(key);
      const want = JSON.parse(JSON.stringify(blank));
      want.label = label;
      want.preset = key;
      for (const [path, value] of Object.entries(set)) {
        const [group, member] = path.split('.');
        want[group][member] = value;
      }
      assert.deepEqual(brain, want, key);
    }
  });

  it('lists the presets in order with Blank last', () => {
    assert.deepEqual(ai.PRESETS.map((p) => [p.key, p.label]),
      [['predator', 'Predator'], ['prey', 'Prey'], ['guard', 'Guard'], ['passive', 'Passive'], ['custom', 'Blank']]);
  });

  it('new brains do not share state with each other', () => {
    const one = ai.presetBrain('guard');
    one.senses.sightRange = 1;
    one.targets.onlySpecies.push('boar');
    const two = ai.presetBrain('guard');
    assert.equal(two.senses.sightRange, 4000);
    assert.deepEqual(two.targets.onlySpecies, []);
  });
});

describe('species choices', () => {
  it('offers the AI species plus austroraptor, sorted', () => {
    assert.equal(ai.AI_SPECIES.length, 39);
    assert.equal(ai.AI_SPECIES[0], 'tyrannosaurus');
    assert.equal(ai.AI_SPECIES[38], 'muskelunge');
    assert.equal(ai.TARGET_SPECIES.length, 40);
    assert.ok(ai.TARGET_SPECIES.includes('austroraptor'));
    assert.deepEqual(ai.TARGET_SPECIES, [...ai.TARGET_SPECIES].sort());
  });
});

describe('loading brains.json', () => {
  it('reads empty text as no brains and broken text as null', () => {
    assert.equal(ai.parseBrains('').size, 0);
    assert.equal(ai.parseBrains('{"version":1,'), null);
    assert.equal(ai.parseBrains('[1,2]').size, 0);
    assert.equal(ai.parseBrains('{"version":1,"brains":[]}').size, 0);
  });

  it('merges each brain over the defaults and drops what it does not know', () => {
    const text = JSON.stringify({
      version: 1,
      brains: {
        wolf: {
          label: 'Wolf', preset: 'predator', mood: 'grumpy',
          senses: { sightRange: 7000, sightAngle: '270', smell: 5 },
          pack: { size: 4 },
        },
      },
    });
    const wolf = ai.parseBrains(text).get('wolf');
    assert.equal(wolf.label, 'Wolf');
    assert.equal(wolf.preset, 'predator');
    assert.equal('mood' in wolf, false);
    assert.deepEqual(wolf.senses, { sightRange: 7000, sightAngle: 360, hearingRange: 9000, memorySeconds: 12, lineOfSight: false });
    assert.equal(wolf.pack.size, 4);
    assert.equal(wolf.pack.callRange, 6000);
  });

  it('reads an unknown preset as custom', () => {
    const brains = ai.parseBrains('{"brains":{"a":{"preset":"boss"},"b":{"preset":5},"c":{"preset":"guard"}}}');
    assert.equal(brains.get('a').preset, 'custom');
    assert.equal(brains.get('b').preset, 'custom');
    assert.equal(brains.get('c').preset, 'guard');
  });

  it('merges abilities and idle rows over their defaults and keeps at most 32 and 16', () => {
    const brain = ai.normalizeBrain({
      attack: { abilities: Array.from({ length: 40 }, (_, i) => ({ name: 'bite' + i, weight: i, junk: 1 })) },
      idle: Array.from({ length: 20 }, (_, i) => ({ ability: 'roar', minSeconds: i + 1 })),
    });
    assert.equal(brain.attack.abilities.length, 32);
    assert.deepEqual(brain.attack.abilities[3], { name: 'bite3', weight: 3, minRange: 0, maxRange: 0, cooldown: 0 });
    assert.equal(brain.idle.length, 16);
    assert.deepEqual(brain.idle[0], { ability: 'roar', minSeconds: 1, maxSeconds: 240, onlyAlone: false, whenBusy: true });
  });

  it('keeps target species lower-case, single and sorted', () => {
    const brain = ai.normalizeBrain({ targets: { onlySpecies: ['Deer', 'boar', 'deer', 5, ''], ignoreSpecies: ['TROODON', 'allosaurus'] } });
    assert.deepEqual(brain.targets.onlySpecies, ['boar', 'deer']);
    assert.deepEqual(brain.targets.ignoreSpecies, ['allosaurus', 'troodon']);
  });

  it('loses an unknown member on the next save and writes a wrong type as its default', () => {
    const brains = ai.parseBrains('{"version":1,"brains":{"wolf":{"secret":1,"temperament":{"aggression":"high"}}}}');
    const saved = JSON.parse(ai.documentText(ai.brainsDocument(brains)));
    assert.equal('secret' in saved.brains.wolf, false);
    assert.equal(saved.brains.wolf.temperament.aggression, 0);
  });
});

describe('loading spawns.json', () => {
  it('keeps wild entries only when the brain is a non-empty string', () => {
    const spawns = ai.parseSpawns(JSON.stringify({ wild: { deer: 'prey', boar: '', goat: 3, rabbit: null, dodo: 'prey' } }));
    assert.deepEqual(Array.from(spawns.wild), [['deer', 'prey'], ['dodo', 'prey']]);
  });

  it('merges spawners over their defaults and reads missing members as empty', () => {
    const spawns = ai.parseSpawns('{"spawners":[{"id":"nest","radius":150000,"x":-5,"colour":"red","count":"3"}]}');
    assert.deepEqual(spawns.spawners, [{
      id: 'nest', label: '', species: 'carnotaurus', brain: '', x: -5, y: 0, z: 0, radius: 150000, count: 1,
      respawnSeconds: 300, growth: 1, activeAt: 'any', playersWithin: 0, enabled: true,
    }]);
    assert.deepEqual(ai.parseSpawns('{}'), { spawners: [], wild: new Map() });
    assert.deepEqual(ai.parseSpawns(''), { spawners: [], wild: new Map() });
    assert.equal(ai.parseSpawns('{spawners'), null);
  });
});

describe('writing the documents', () => {
  it('writes brains sorted by name under version 1 with two-blank indentation', () => {
    const model = ai.emptyModel();
    model.brains.set('zeta', ai.presetBrain('prey'));
    model.brains.set('alpha', ai.presetBrain('guard'));
    const text = ai.documentText(ai.brainsDocument(model.brains));
    const doc = JSON.parse(text);
    assert.equal(doc.version, 1);
    assert.deepEqual(Object.keys(doc.brains), ['alpha', 'zeta']);
    assert.match(text, /^\{\n {2}"version": 1,\n {2}"brains": \{\n {4}"alpha": \{\n {6}"label": "Guard",/);
  });

  it('writes wild brains in the species order and only species with a brain', () => {
    const wild = new Map([['dodo', 'x'], ['deer', 'prey'], ['tyrannosaurus', 'guard'], ['boar', '']]);
    const doc = ai.spawnsDocument([], wild);
    assert.deepEqual(Object.keys(doc), ['version', 'spawners', 'wild']);
    assert.deepEqual(Object.entries(doc.wild), [['tyrannosaurus', 'guard'], ['deer', 'prey'], ['dodo', 'x']]);
  });

  it('can write a brain whose name is an Object member', () => {
    const brains = ai.parseBrains('{"brains":{"__proto__":{"label":"odd"},"constructor":{}}}');
    const doc = JSON.parse(ai.documentText(ai.brainsDocument(brains)));
    assert.deepEqual(Object.keys(doc.brains).sort(), ['__proto__', 'constructor']);
    assert.equal(doc.brains.constructor.label, '');
  });
});

describe('list summary', () => {
  it('joins the preset label, the aggression and a pack size above 1', () => {
    const brain = ai.presetBrain('predator');
    assert.equal(ai.brainSummary(brain), 'Predator · aggression 80%');
    brain.pack.size = 3;
    brain.temperament.aggression = 0.456;
    assert.equal(ai.brainSummary(brain), 'Predator · aggression 46% · pack of 3');
    assert.equal(ai.brainSummary(ai.presetBrain('custom')), 'Blank · aggression 0%');
  });
});

describe('Lua view', () => {
  it('writes an empty array as {} and an array one element per line', () => {
    assert.equal(ai.luaValue([], 0), '{}');
    assert.equal(ai.luaValue(['deer', 'boar'], 1), '{\n    "deer",\n    "boar",\n  }');
    assert.equal(ai.luaValue([1, [2]], 0), '{\n  1,\n  {\n    2,\n  },\n}');
  });

  it('puts a short object of plain members on one line', () => {
    assert.equal(ai.luaValue({ a: 1, b: 'x', c: true }, 0), '{ a = 1, b = "x", c = true }');
  });

  it('splits an object whose member list reaches 90 characters', () => {
    const just = { k: 'x'.repeat(83) }; // k = "..." is 4 + 85 = 89 characters
    assert.equal(ai.luaValue(just, 0), `{ k = "${'x'.repeat(83)}" }`);
    const over = { k: 'x'.repeat(84) }; // 90 characters
    assert.equal(ai.luaValue(over, 1), `{\n    k = "${'x'.repeat(84)}",\n  }`);
  });

  it('splits an object that holds an object or an array', () => {
    assert.equal(ai.luaValue({ a: 1, o: { b: 2 } }, 0), '{\n  a = 1,\n  o = { b = 2 },\n}');
    assert.equal(ai.luaValue({ list: [] }, 0), '{\n  list = {},\n}');
  });

  it('quotes strings as JSON does', () => {
    assert.equal(ai.luaValue('say "hi"\n\\', 0), '"say \\"hi\\"\\n\\\\"');
  });

  it('defines the brain by its quoted name, without the preset, ending in a line feed', () => {
    const brain = ai.presetBrain('guard');
    brain.attack.abilities.push({ name: 'bite', weight: 2, minRange: 0, maxRange: 300, cooldown: 1.5 });
    const text = ai.luaText('gate_guard', brain);
    assert.ok(text.startsWith('forgeset.ai.defineBrain("gate_guard", {\n  label = "Guard",\n  senses = {\n'));
    assert.ok(text.endsWith('\n})\n'));
    assert.doesNotMatch(text, /preset/);
    assert.match(text, /\n {2}pack = \{ size = 1, shareTarget = true, answerCalls = true, callRange = 6000, callChance = 0\.5 \},\n/);
    assert.match(text, /\n {4}abilities = \{\n {6}\{ name = "bite", weight = 2, minRange = 0, maxRange = 300, cooldown = 1\.5 \},\n {4}\},\n/);
    assert.match(text, /\n {2}idle = \{\},\n/);
    assert.equal(brain.preset, 'guard', 'the brain itself keeps its preset');
  });
});
