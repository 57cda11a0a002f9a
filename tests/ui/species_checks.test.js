'use strict';
// What stops a new species or a save, in the order the notices come, and the three modes of
// a stat with their ranges.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

let sp;
before(async () => {
  const dir = path.join(__dirname, '..', '..', 'ui', 'pages', 'species');
  const mods = await Promise.all(['document.js', 'checks.js', 'stat_modes.js'].map((f) => import(pathToFileURL(path.join(dir, f)).href)));
  sp = Object.assign({}, ...mods);
});

describe('a new species', () => {
  const existing = new Map([['rex', {}]]);
  const cases = [
    ['  Raptor_2 ', { name: 'raptor_2' }],
    ['_raptor', { error: 'Names use 1 to 32 characters of a-z, 0-9 and _.' }],
    ['rap-tor', { error: 'Names use 1 to 32 characters of a-z, 0-9 and _.' }],
    ['', { error: 'Names use 1 to 32 characters of a-z, 0-9 and _.' }],
    ['r'.repeat(33), { error: 'Names use 1 to 32 characters of a-z, 0-9 and _.' }],
    ['r'.repeat(32), { name: 'r'.repeat(32) }],
    ['REX', { error: 'A species called "rex" exists already.' }],
  ];
  for (const [typed, want] of cases) it(JSON.stringify(typed), () => assert.deepEqual(sp.newSpeciesProblem(typed, existing), want));
});

describe('save checks, first failure wins', () => {
  const base = () => sp.normalizeSpecies({
    source: {
      animations: [{ file: 'a.fbx', id: 'bite_anim', sounds: [{ sound: 'crunch', time: 0.3 }] }],
      sounds: [{ id: 'crunch', file: 'Sounds/crunch.wav' }, { id: 'roar', file: 'Sounds/roar.wav' }],
    },
    attacks: [{ id: 'bite', animation: 'bite_anim' }, { id: 'claw', animation: 'bite_anim' }],
  }, 'rex');
  const cases = [
    ['a valid document', () => {}, ''],
    ['a bad attack id', (d) => { d.attacks[1].id = 'Claw!'; }, 'Attack id "Claw!" needs 1 to 32 characters of a-z, 0-9 and _.'],
    ['an empty attack id', (d) => { d.attacks[0].id = ''; }, 'Attack id "" needs 1 to 32 characters of a-z, 0-9 and _.'],
    ['two attacks with one id', (d) => { d.attacks[1].id = 'bite'; }, 'Two attacks share the id "bite".'],
    ['an attack without animation', (d) => { d.attacks[1].animation = ''; }, 'Attack "claw" has no animation.'],
    ['attack ids come before sound ids', (d) => { d.attacks[1].animation = ''; d.source.sounds[0].id = 'X'; }, 'Attack "claw" has no animation.'],
    ['a bad sound id', (d) => { d.source.sounds[1].id = 'big roar'; }, 'Sound id "big roar" needs 1 to 32 characters of a-z, 0-9 and _.'],
    ['two sounds with one id', (d) => { d.source.sounds[1].id = 'crunch'; }, 'Two sounds share the id "crunch".'],
    ['an event naming an unlisted sound', (d) => { d.source.sounds.shift(); d.source.sounds[0].id = 'growl'; },
      'Animation "bite_anim" plays the sound "crunch", which is not in the sound list.'],
  ];
  for (const [name, edit, want] of cases) {
    it(name, () => {
      const doc = base();
      edit(doc);
      assert.equal(sp.saveProblem(doc), want);
    });
  }
});

describe('stat modes', () => {
  it('reads the three modes from the document', () => {
    const doc = sp.normalizeSpecies({ stats: { health: 900, runSpeed: { factor: 1.5 }, hungerRate: 2 } }, 'rex');
    assert.deepEqual(sp.statMode(doc, 'health'), { mode: 'set', value: 900 });
    assert.deepEqual(sp.statMode(doc, 'runSpeed'), { mode: 'multiply', value: 1.5 });
    assert.deepEqual(sp.statMode(doc, 'hungerRate'), { mode: 'multiply', value: 2 });
    assert.deepEqual(sp.statMode(doc, 'stamina'), { mode: 'same', value: null });
  });

  const cases = [
    // [stat, mode, template value, typed value, what the file holds]
    ['health', 'same', 2800, null, undefined],
    ['health', 'set', 2800, null, 2800],
    ['health', 'set', undefined, null, 1],
    ['health', 'set', 2800, 5e6, 1e6],
    ['health', 'multiply', 2800, 1.5, { factor: 1.5 }],
    ['health', 'multiply', 2800, 500, { factor: 100 }],
    ['walkSpeed', 'multiply', 420, 0, { factor: 0.05 }],
    ['growthSeconds', 'set', undefined, 5, 60],
    ['damageTaken', 'multiply', 1, 0, { factor: 0 }],
    ['damageTaken', 'set', 1, null, undefined],
  ];
  for (const [key, mode, base, typed, want] of cases) {
    it(`${key} ${mode} ${typed}`, () => {
      const doc = sp.normalizeSpecies({}, 'rex');
      sp.setStatMode(doc, key, mode, base);
      if (typed !== null) sp.setStatValue(doc, key, typed);
      assert.deepEqual(doc.stats[key], want);
      const file = JSON.parse(sp.speciesText(doc)).stats;
      assert.equal(Object.hasOwn(file, key), want !== undefined);
    });
  }

  it('offers no set mode for stats that can only be multiplied', () => {
    const modes = (stat) => sp.modesOf(stat).map(([m]) => m);
    assert.deepEqual(modes({ set: null }), ['same', 'multiply']);
    assert.deepEqual(modes({ set: { min: 1, max: 2 } }), ['same', 'set', 'multiply']);
  });
});
