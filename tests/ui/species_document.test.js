'use strict';
// species.json read into the page's document and written back: the merge over the defaults,
// the member rules and clamps, what the file leaves out, and hand-made files of every shape.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

let sp;
before(async () => {
  sp = await import(pathToFileURL(path.join(__dirname, '..', '..', 'ui', 'pages', 'species', 'document.js')).href);
});

const load = (raw) => sp.normalizeSpecies(raw, 'raptor');
// What the saved file holds, parsed back as the build script would read it.
const saved = (doc) => JSON.parse(sp.speciesText(doc));

describe('normalising a loaded species.json', () => {
  const cases = [
    ['an array instead of an object gives the defaults', [1, 2], (d) => {
      assert.equal(d.template, 'deinosuchus');
      assert.equal(d.enabled, true);
      assert.deepEqual(d.source.animations, []);
    }],
    ['the name is always the folder name', { name: 'other', label: 'Rex' }, (d) => {
      assert.equal(d.name, 'raptor');
      assert.equal(d.label, 'Rex');
    }],
    ['a template under the old key host is read the same way', { host: 'Allosaurus' }, (d) => assert.equal(d.template, 'allosaurus')],
    ['unknown members are dropped and wrong types fall back', { extra: 1, enabled: 'yes', label: 5 }, (d) => {
      assert.equal(Object.hasOwn(d, 'extra'), false);
      assert.equal(d.enabled, true);
      assert.equal(d.label, '');
    }],
    ['animations need file and id, sounds need id and file, textures need slot', {
      source: {
        animations: [{ file: 'a.fbx', id: 'a' }, { file: 'b.fbx' }, { id: 'c' }, 'x'],
        sounds: [{ id: 's', file: 'Sounds/s.wav', kind: 'shout', radius: 5000 }, { id: 't' }],
        textures: [{ slot: 'Body', diffuse: 'b.png', normal: 7 }, { diffuse: 'x.png' }],
      },
    }, (d) => {
      assert.deepEqual(d.source.animations, [{ file: 'a.fbx', id: 'a' }]);
      assert.deepEqual(d.source.sounds, [{ id: 's', file: 'Sounds/s.wav', kind: 'body', radius: 1000 }]);
      assert.deepEqual(d.source.textures, [{ slot: 'Body', diffuse: 'b.png' }]);
    }],
    ['sound events without a sound are dropped, the rest clamped and sorted by time', {
      source: {
        animations: [{
          file: 'a.fbx',
          id: 'a',
          sounds: [
            { sound: 'b', time: 2.34567, volume: 9, pitch: 0.1, bone: '  jaw ' },
            { time: 1 },
            { sound: 'a', time: -3, volume: 'loud' },
            { sound: '', time: 0.5 },
            { sound: 'c', time: 900, bone: '   ' },
          ],
        }],
      },
    }, (d) => assert.deepEqual(d.source.animations[0].sounds, [
      { sound: 'a', time: 0, volume: 1, pitch: 1 },
      { sound: 'b', time: 2.346, volume: 4, pitch: 0.25, bone: 'jaw' },
      { sound: 'c', time: 600, volume: 1, pitch: 1 },
    ])],
    ['an animation whose events are all dropped has no sounds member', {
      source: { animations: [{ file: 'a.fbx', id: 'a', sounds: [{ time: 1 }] }] },
    }, (d) => assert.equal(Object.hasOwn(d.source.animations[0], 'sounds'), false)],
    ['an offset that is not three numbers becomes [0, 0, 0]', { visual: { offset: [1, 'x', 3] } }, (d) => assert.deepEqual(d.visual.offset, [0, 0, 0])],
    ['an offset of three numbers is kept within 50 m', { visual: { offset: [10, -9000, 9000] } }, (d) => assert.deepEqual(d.visual.offset, [10, -5000, 5000])],
    ['numbers are held to their ranges', {
      source: { maxTextureSize: 3000, unitScale: 0, forwardAxis: 'z' },
      visual: { scale: 100, yaw: -400, align: 'top' },
      thresholds: { trot: -5, run: 20000, swimFast: 300 },
      habitat: { outOfHabitatDamage: 2, outOfHabitatGrace: 99999 },
      access: { maxPlayers: 5000.6 },
    }, (d) => {
      assert.equal(d.source.maxTextureSize, 2048);
      assert.equal(d.source.unitScale, 0.001);
      assert.equal(d.source.forwardAxis, '');
      assert.deepEqual([d.visual.scale, d.visual.yaw, d.visual.align], [20, -180, 'bottom']);
      assert.deepEqual(d.thresholds, { trot: 0, run: 10000, swimFast: 300 });
      assert.deepEqual([d.habitat.outOfHabitatDamage, d.habitat.outOfHabitatGrace], [1, 3600]);
      assert.equal(d.access.maxPlayers, 1000);
    }],
    ['roles: a string, an object with a rate, a blend; unknown roles and empty ones dropped', {
      animations: {
        idle: 'stand',
        walk: { anim: 'walk', rate: 50 },
        run: { blend: [{ anim: 'r', x: 0.4, y: 0 }, { anim: 'r2', x: 0.5, y: 0 }, { anim: 'l', x: -2, y: 0.7 }, { x: 0, y: 0 }], rate: 1.5 },
        hit: { blend: [{ anim: 'ouch', x: 1, y: 0 }] },
        fly: 'soar',
        eat: '',
        drink: { rate: 2 },
      },
    }, (d) => assert.deepEqual(d.animations, {
      idle: { anim: 'stand', rate: 1 },
      walk: { anim: 'walk', rate: 10 },
      run: { blend: [{ anim: 'r', x: 0.5, y: 0 }, { anim: 'l', x: -1, y: 0.5 }], rate: 1.5 },
      hit: { anim: 'ouch', rate: 1 },
    })],
    ['stats into modes: numbers set, factors multiply, factor-only numbers are factors', {
      stats: { health: 5e7, runSpeed: { factor: 50 }, damageTaken: 0.5, hungerRate: { factor: 2 }, walkSpeed: 'fast', mana: 3 },
    }, (d) => assert.deepEqual(d.stats, { health: 1e6, damageTaken: { factor: 0.5 }, runSpeed: { factor: 10 }, hungerRate: { factor: 2 } })],
    ['at most 16 attacks, each over its defaults with its numbers clamped', {
      attacks: Array.from({ length: 10000 }, (_, i) => ({ id: `a${i}`, damage: -1, hit: { shape: 'box', angle: 0 }, allowIn: ['land', 'air', 'land'], source: 'game' })),
    }, (d) => {
      assert.equal(d.attacks.length, 16);
      const a = d.attacks[3];
      assert.equal(a.id, 'a3');
      assert.deepEqual([a.damage, a.hit.shape, a.hit.angle, a.hit.range, a.source], [0, 'cone', 1, 400, 'custom']);
      assert.deepEqual(a.allowIn, ['land']);
      assert.deepEqual(a.targets, { players: true, ai: true });
    }],
  ];
  for (const [name, raw, check] of cases) it(name, () => check(load(raw)));

  it('reads text: empty is a new file, broken JSON is null', () => {
    assert.equal(sp.parseSpecies('', 'rex').name, 'rex');
    assert.equal(sp.parseSpecies('{"label":', 'rex'), null);
    assert.equal(sp.parseSpecies('{"label":"Rex"}', 'rex').label, 'Rex');
  });
});

describe('writing species.json', () => {
  it('writes 2-space indented JSON with the members in order', () => {
    const text = sp.speciesText(load({ label: 'Raptor' }));
    assert.match(text, /^{\n {2}"version": 1,\n {2}"name": "raptor",\n {2}"label": "Raptor",/);
    assert.deepEqual(Object.keys(JSON.parse(text)), [
      'version', 'name', 'label', 'template', 'enabled', 'disableHostAttacks', 'source', 'visual', 'animations',
      'thresholds', 'stats', 'habitat', 'attacks', 'access',
    ]);
  });

  it('writes only set roles, bare ids at speed 1, and no empty blends', () => {
    const doc = load({});
    doc.animations = {
      idle: { anim: 'stand', rate: 1 },
      walk: { anim: 'walk', rate: 1.5 },
      run: { blend: [], rate: 1 },
      swim: { blend: [{ anim: 's', x: 0, y: 0 }, { anim: 'sl', x: -1, y: 0 }], rate: 2 },
      hit: { anim: '', rate: 1 },
    };
    assert.deepEqual(saved(doc).animations, {
      idle: 'stand',
      walk: { anim: 'walk', rate: 1.5 },
      swim: { blend: [{ anim: 's', x: 0, y: 0 }, { anim: 'sl', x: -1, y: 0 }], rate: 2 },
    });
  });

  it('writes only thresholds above 0 and only changed stats', () => {
    const doc = load({ thresholds: { trot: 0, run: 450 }, stats: { health: 900, runSpeed: { factor: 1.5 } } });
    const file = saved(doc);
    assert.deepEqual(file.thresholds, { run: 450 });
    assert.deepEqual(file.stats, { health: 900, runSpeed: { factor: 1.5 } });
  });

  it('writes sound events sorted and clamped even after edits, and no empty event list', () => {
    const doc = load({ source: { animations: [{ file: 'a.fbx', id: 'a' }, { file: 'b.fbx', id: 'b' }] } });
    doc.source.animations[0].sounds = [{ sound: 'x', time: 3, volume: 1, pitch: 1 }, { sound: 'y', time: 1.00049, volume: 7, pitch: 1 }];
    doc.source.animations[1].sounds = [];
    const anims = saved(doc).source.animations;
    assert.deepEqual(anims[0].sounds.map((e) => [e.sound, e.time, e.volume]), [['y', 1, 4], ['x', 3, 1]]);
    assert.equal(Object.hasOwn(anims[1], 'sounds'), false);
  });

  it('reads back what it wrote unchanged', () => {
    const doc = load({
      label: 'Rex',
      template: 'tyrannosaurus',
      source: { mesh: 'rex.fbx', animations: [{ file: 'a.fbx', id: 'a', sounds: [{ sound: 's', time: 0.5, volume: 1, pitch: 1 }] }], sounds: [{ id: 's', file: 'Sounds/s.wav', kind: 'voice', radius: 80 }] },
      animations: { idle: 'a', run: { blend: [{ anim: 'a', x: 0.5, y: 0 }], rate: 1 } },
      stats: { health: 900, hungerRate: { factor: 2 } },
      attacks: [{ id: 'bite', animation: 'a' }],
    });
    const again = load(saved(doc));
    assert.equal(sp.speciesText(again), sp.speciesText(doc));
  });
});
