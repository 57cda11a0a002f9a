'use strict';
// The skins page's model: colours, neon factors, names, the checks before a save, and the
// skins.json form that the page reads back on the next state message.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

const UI_DIR = path.join(__dirname, '..', '..', 'ui');

// The modules under test, merged into one object for the tests to reach their exports.
let core;
let TEXT;
before(async () => {
  const modules = [
    'pages/skins/model.js',
    'pages/skins/files.js',
  ];
  core = Object.assign({}, ...(await Promise.all(modules.map((m) => import(pathToFileURL(path.join(UI_DIR, m)).href)))));
  TEXT = core.TEXT;
});

const decode = (b64) => Buffer.from(b64, 'base64').toString('utf8');

function withZones(name, zones = {}, fields = {}) {
  const s = core.blankSkin();
  s.name = name;
  s.zones.body.on = false;
  for (const key of zones.on || []) s.zones[key].on = true;
  return Object.assign(s, fields);
}

describe('hex colours', () => {
  it('accepts #RRGGBB in either case, trimmed, with or without the #', () => {
    assert.equal(core.normaliseHex('#a1B2c3'), '#A1B2C3');
    assert.equal(core.normaliseHex('  ff00aa '), '#FF00AA');
    assert.equal(core.normaliseHex('#000000'), '#000000');
    assert.equal(core.normaliseHex('\t#FfFfFf'), '#FFFFFF');
  });

  it('refuses anything that is not six hex digits after one #', () => {
    for (const bad of ['', '#', '#FFF', 'FFF', '#FFFFF', '#FFFFFFF', '##FFFFFF', '#GGGGGG', '#12 456', 'red', null, undefined, '#１２３４５６']) {
      assert.equal(core.normaliseHex(bad), null, JSON.stringify(bad));
    }
  });
});

describe('neon factor', () => {
  it('takes the number entered when it is at least 1', () => {
    assert.equal(core.parseNeon('1'), 1);
    assert.equal(core.parseNeon('2.5'), 2.5);
    assert.equal(core.parseNeon(' 7 '), 7);
    assert.equal(core.parseNeon('20'), 20);
    assert.equal(core.parseNeon(3), 3);
  });

  it('gives 1 for less than 1 and for anything that is not a number', () => {
    for (const value of ['0', '0.5', '-3', '', '   ', 'abc', '2x', 'Infinity', NaN, null, undefined, {}, -Infinity]) {
      assert.equal(core.parseNeon(value), 1, String(value));
    }
  });
});

describe('skin names', () => {
  it('are trimmed and lower-cased', () => {
    assert.equal(core.skinName('Neon_Rex '), 'neon_rex');
    assert.equal(core.skinName('  GOLD2\t'), 'gold2');
    assert.equal(core.skinName(undefined), '');
  });
});

describe('checks before a save', () => {
  let list;
  before(() => {
    list = [withZones('blood', { on: ['body'] }), withZones('gold', { on: ['flank'] })];
  });

  it('saves "Neon_Rex " with a zone on', () => {
    assert.equal(core.checkSkin(withZones('Neon_Rex ', { on: ['body'] }), list, -1), '');
  });

  it('refuses names outside lowercase letters, digits and _', () => {
    for (const name of ['neon-rex', '', '   ', 'neon rex', 'rex!', 'rëx', 'a.b', 'ünï']) {
      assert.equal(core.checkSkin(withZones(name, { on: ['body'] }), list, -1), TEXT.badSkinName, name);
    }
  });

  it('refuses a name another skin has, after lower-casing, but not the skin\'s own', () => {
    assert.equal(core.checkSkin(withZones('Gold', { on: ['body'] }), list, -1), TEXT.skinExists);
    assert.equal(core.checkSkin(withZones('gold', { on: ['body'] }), list, 0), TEXT.skinExists);
    assert.equal(core.checkSkin(withZones('gold', { on: ['body'] }), list, 1), '');
  });

  it('needs a zone on or a pattern texture', () => {
    assert.equal(core.checkSkin(withZones('bare'), list, -1), TEXT.skinEmpty);
    assert.equal(core.checkSkin(withZones('tex', {}, { texture: 'spots.png' }), list, -1), '');
    assert.equal(core.checkSkin(withZones('eyes', { on: ['eyes'] }), list, -1), '');
  });

  it('reports the first failing check: name rule, then duplicates, then zones', () => {
    assert.equal(core.checkSkin(withZones('Bad-Name'), list, -1), TEXT.badSkinName);
    assert.equal(core.checkSkin(withZones('blood'), list, -1), TEXT.skinExists);
  });

  it('carries the texts of the notices', () => {
    assert.equal(TEXT.badSkinName, 'Name: lowercase letters, digits and _ only.');
    assert.equal(TEXT.skinExists, 'A skin with that name exists.');
    assert.equal(TEXT.skinEmpty, 'Switch on a zone or pick a pattern texture.');
    assert.equal(TEXT.badHex, 'Hex looks like #RRGGBB.');
  });
});

describe('a blank skin', () => {
  it('has only the body on, in #6C3729, every other zone off in #808080, all at neon 1', () => {
    const s = core.blankSkin();
    assert.deepEqual(Object.keys(s), ['name', 'species', 'admin', 'pattern', 'theme', 'texture', 'zones']);
    assert.deepEqual([s.name, s.species, s.admin, s.pattern, s.theme, s.texture], ['', '', false, '', '', '']);
    assert.deepEqual(Object.keys(s.zones), core.ZONE_KEYS);
    for (const key of core.ZONE_KEYS) {
      assert.deepEqual(s.zones[key], key === 'body' ? { on: true, hex: '#6C3729', glow: 1 } : { on: false, hex: '#808080', glow: 1 });
    }
  });

  it('is a fresh object each time', () => {
    const a = core.blankSkin();
    a.zones.body.hex = '#000000';
    assert.equal(core.blankSkin().zones.body.hex, '#6C3729');
  });
});

describe('skins.json', () => {
  it('lists every skin\'s members and zones in their fixed order, without indentation', () => {
    const s = withZones('rex', { on: ['eyes', 'body'] }, { species: 'Troodon', admin: true, pattern: '2', theme: '', texture: 't.png' });
    s.zones.eyes.glow = 2.5;
    const text = core.skinsJson([s]);
    assert.doesNotMatch(text, /\s/);
    const [back] = JSON.parse(text);
    assert.deepEqual(Object.keys(back), ['name', 'species', 'admin', 'pattern', 'theme', 'texture', 'zones']);
    assert.deepEqual(Object.keys(back.zones), ['body', 'flank', 'underbelly', 'markings', 'display', 'teeth', 'mouth', 'claws', 'detail', 'eyes']);
    for (const z of Object.values(back.zones)) assert.deepEqual(Object.keys(z), ['on', 'hex', 'glow']);
    assert.deepEqual(back.zones.eyes, { on: true, hex: '#808080', glow: 2.5 });
    assert.equal(typeof back.zones.eyes.glow, 'number');
    assert.equal(back.admin, true);
    assert.equal(back.pattern, '2');
  });

  it('puts members in order even when the record was built in another order', () => {
    const scrambled = { zones: { eyes: { glow: 1, hex: '#111111', on: true } }, texture: '', name: 'x', admin: false, theme: '', species: '', pattern: '' };
    const back = JSON.parse(core.skinsJson([scrambled]))[0];
    assert.deepEqual(Object.keys(back), ['name', 'species', 'admin', 'pattern', 'theme', 'texture', 'zones']);
    assert.deepEqual(Object.keys(back.zones.eyes), ['on', 'hex', 'glow']);
  });

  it('is an empty array for no skins', () => {
    assert.equal(core.skinsJson([]), '[]');
  });

  it('reads back to the same text and the same skins.lua', () => {
    const list = [withZones('a_1', { on: ['body', 'claws'] }, { species: 'Allosaurus', pattern: '4', theme: '9' }), withZones('b', {}, { texture: 'x.png', admin: true })];
    list[0].zones.claws = { on: true, hex: '#12AB9F', glow: 3.5 };
    const text = core.skinsJson(list);
    const again = core.skinList(JSON.parse(text));
    assert.equal(core.skinsJson(again), text);
    assert.equal(core.skinsLua(again), core.skinsLua(list));
  });

  it('reads a hand-edited file without losing what it can keep', () => {
    const [s] = core.skinList([{ name: 'h', admin: 'yes', pattern: 5, theme: 'x', zones: { body: { on: true, hex: 'abcdef', glow: '3' }, eyes: { on: true, hex: 'blue' }, nope: {} } }]);
    assert.equal(s.admin, false);
    assert.equal(s.pattern, '5');
    assert.equal(s.theme, '');
    assert.equal(s.species, '');
    assert.deepEqual(s.zones.body, { on: true, hex: '#ABCDEF', glow: 3 });
    assert.deepEqual(s.zones.eyes, { on: true, hex: '#808080', glow: 1 });
    assert.deepEqual(Object.keys(s.zones), core.ZONE_KEYS);
  });

  it('drops list entries that are not skin objects', () => {
    assert.deepEqual(core.skinList([null, 3, 'x', [], { name: 'ok' }]).map((s) => s.name), ['ok']);
    assert.deepEqual(core.skinList('not a list'), []);
  });
});

describe('the saveSkins message', () => {
  it('carries base64 of the UTF-8 JSON and Lua texts', () => {
    const list = [withZones('ü_not_valid_but_kept', { on: ['body'] }, { species: 'Tyrannosaurus' })];
    const msg = core.saveSkinsMessage(list);
    assert.deepEqual(Object.keys(msg), ['cmd', 'json', 'lua']);
    assert.equal(msg.cmd, 'saveSkins');
    assert.equal(decode(msg.json), core.skinsJson(list));
    assert.equal(decode(msg.lua), core.skinsLua(list));
    assert.equal(msg.json, Buffer.from(core.skinsJson(list), 'utf8').toString('base64'));
  });

  it('sends non-empty texts for an empty list', () => {
    const msg = core.saveSkinsMessage([]);
    assert.equal(decode(msg.json), '[]');
    assert.equal(decode(msg.lua), 'Skins = {\r\n}\r\n');
  });
});

describe('putting an edited skin back', () => {
  let list;
  before(() => {
    list = ['a', 'b', 'c'].map((n) => withZones(n, { on: ['body'] }));
  });

  it('replaces the skin at its place, or appends a new one', () => {
    const x = withZones('x');
    assert.deepEqual(core.placeSkin(list, 1, x).map((s) => s.name), ['a', 'x', 'c']);
    assert.deepEqual(core.placeSkin(list, -1, x).map((s) => s.name), ['a', 'b', 'c', 'x']);
    assert.deepEqual(list.map((s) => s.name), ['a', 'b', 'c'], 'the list itself is untouched');
  });

  it('finds the opened skin again when the list changed under the editor', () => {
    assert.equal(core.editTarget(list, { index: 1, original: 'b' }), 1);
    assert.equal(core.editTarget(list, { index: 0, original: 'c' }), 2);
    assert.equal(core.editTarget(list, { index: 5, original: 'zz' }), -1);
    assert.equal(core.editTarget(list, { index: -1, original: '' }), -1);
  });
});

describe('pattern and theme', () => {
  it('keep whole numbers and make everything else empty', () => {
    assert.equal(core.wholeNumberText(' 12 '), '12');
    assert.equal(core.wholeNumberText(0), '0');
    for (const bad of ['', '1.5', '-2', '1e3', 'x', null, undefined]) assert.equal(core.wholeNumberText(bad), '', String(bad));
  });
});
