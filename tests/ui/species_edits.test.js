'use strict';
// Editing roles and attacks: the direction grid switched on and off without losing the main
// animation, grid cells filled and emptied, attacks added up to sixteen with free ids and
// unused keys, and the habitats an attack may be used in.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

let sp;
before(async () => {
  const dir = path.join(__dirname, '..', '..', 'ui', 'pages', 'species');
  const mods = await Promise.all(['document.js', 'edits.js'].map((f) => import(pathToFileURL(path.join(dir, f)).href)));
  sp = Object.assign({}, ...mods);
});

const file = (doc) => JSON.parse(sp.speciesText(doc));

describe('roles', () => {
  it('walks a movement role through single, grid and back', () => {
    const doc = sp.normalizeSpecies({ animations: { walk: { anim: 'walk', rate: 2 } } }, 'rex');
    const steps = [
      [() => sp.setRoleGrid(doc, 'walk', true), true, { blend: [{ anim: 'walk', x: 0, y: 0 }], rate: 2 }],
      [() => sp.setRoleGrid(doc, 'walk', true), false, { blend: [{ anim: 'walk', x: 0, y: 0 }], rate: 2 }],
      [() => sp.setGridCell(doc, 'walk', -1, 0, 'walk_l'), true, { blend: [{ anim: 'walk', x: 0, y: 0 }, { anim: 'walk_l', x: -1, y: 0 }], rate: 2 }],
      [() => sp.setGridCell(doc, 'walk', -1, 0, 'walk_l2'), true, { blend: [{ anim: 'walk', x: 0, y: 0 }, { anim: 'walk_l2', x: -1, y: 0 }], rate: 2 }],
      [() => sp.setGridCell(doc, 'walk', 0, 0, ''), true, { blend: [{ anim: 'walk_l2', x: -1, y: 0 }], rate: 2 }],
      [() => sp.setGridCell(doc, 'walk', 1, 1, ''), false, { blend: [{ anim: 'walk_l2', x: -1, y: 0 }], rate: 2 }],
      [() => sp.setRoleGrid(doc, 'walk', false), true, { anim: 'walk_l2', rate: 2 }],
      [() => sp.setRoleRate(doc, 'walk', 0.5), true, { anim: 'walk_l2', rate: 0.5 }],
      [() => sp.setRoleAnimation(doc, 'walk', ''), true, undefined],
      [() => sp.setRoleRate(doc, 'walk', 3), false, undefined],
    ];
    for (const [step, changed, want] of steps) {
      assert.equal(step(), changed);
      assert.deepEqual(doc.animations.walk, want);
    }
  });

  it('has no grid for roles that do not blend, and writes no empty grid', () => {
    const doc = sp.normalizeSpecies({ animations: { hit: 'ouch' } }, 'rex');
    assert.equal(sp.setRoleGrid(doc, 'hit', true), false);
    assert.equal(sp.setRoleGrid(doc, 'run', true), true);
    assert.deepEqual(doc.animations.run, { blend: [], rate: 1 });
    assert.deepEqual(file(doc).animations, { hit: 'ouch' });
  });
});

describe('attacks', () => {
  it('adds attacks with free ids and unused keys up to sixteen', () => {
    const doc = sp.normalizeSpecies({ attacks: [{ id: 'attack', key: 'LeftMouseButton', animation: 'a' }] }, 'rex');
    assert.equal(sp.addAttack(doc), 1);
    assert.deepEqual([doc.attacks[1].id, doc.attacks[1].key], ['attack_2', 'RightMouseButton']);
    while (doc.attacks.length < 16) assert.notEqual(sp.addAttack(doc), null);
    assert.equal(sp.addAttack(doc), null);
    assert.equal(new Set(doc.attacks.map((a) => a.id)).size, 16);
    assert.equal(sp.removeAttack(doc, 16), false);
    assert.equal(sp.removeAttack(doc, 0), true);
    assert.equal(doc.attacks[0].id, 'attack_2');
  });

  it('keeps the habitats of an attack in their fixed order', () => {
    const attack = sp.normalizeAttack({ allowIn: ['land'] });
    assert.equal(sp.setAttackHabitat(attack, 'water', true), true);
    assert.deepEqual(attack.allowIn, ['water', 'land']);
    sp.setAttackHabitat(attack, 'water', false);
    sp.setAttackHabitat(attack, 'land', false);
    assert.deepEqual(attack.allowIn, []);
    assert.equal(sp.setAttackHabitat(attack, 'air', true), false);
  });
});
