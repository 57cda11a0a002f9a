'use strict';
// The skins.lua text the page generates for the skins resource.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

const UI_DIR = path.join(__dirname, '..', '..', 'ui');

// The modules under test, merged into one object for the tests to reach their exports.
let core;
before(async () => {
  const modules = [
    'pages/skins/model.js',
    'pages/skins/files.js',
  ];
  core = Object.assign({}, ...(await Promise.all(modules.map((m) => import(pathToFileURL(path.join(UI_DIR, m)).href)))));
});

const REPO = path.join(__dirname, '..', '..');

/** A skin with only the given zones switched on: { body: ['#FFFFFF', 2], ... }. */
function skin(name, fields = {}, zones = {}) {
  const s = core.blankSkin();
  s.name = name;
  s.zones.body.on = false;
  Object.assign(s, fields);
  for (const [key, [hex, glow]] of Object.entries(zones)) s.zones[key] = { on: true, hex, glow };
  return s;
}

// The reference conversion, written the long way round so it does not share code with the page.
function srgbToLinear(byte) {
  const c = byte / 255;
  if (c <= 0.04045) return c / 12.92;
  return Math.exp(2.4 * Math.log((c + 0.055) / 1.055));
}

function linesOf(lua) {
  assert.ok(lua.endsWith('\r\n'), 'ends with CR LF');
  const body = lua.slice(0, -2);
  assert.doesNotMatch(body.replace(/\r\n/g, ''), /[\r\n]/, 'no line end other than CR LF');
  return body.split('\r\n');
}

describe('skins.lua generator: layout', () => {
  it('writes an empty list as the two lines of an empty table', () => {
    assert.equal(core.skinsLua([]), 'Skins = {\r\n}\r\n');
  });

  it('writes every field in its order, indented, each line ending in a comma', () => {
    const lua = core.skinsLua([
      skin('full', { species: 'Tyrannosaurus', admin: true, pattern: '3', theme: '12', texture: 'stripes.png' },
        { body: ['#112233', 1], eyes: ['#FFFFFF', 2] }),
    ]);
    assert.deepEqual(linesOf(lua), [
      'Skins = {',
      '  full = {',
      '    species = "Tyrannosaurus",',
      '    admin = true,',
      '    pattern = 3,',
      '    theme = 12,',
      '    texture = "textures/stripes.png",',
      '    body = "#112233",',
      '    eyes = { 2, 2, 2 },',
      '  },',
      '}',
    ]);
  });

  it('leaves out species, admin, pattern, theme and texture when they are empty', () => {
    const lua = core.skinsLua([skin('plain', {}, { flank: ['#010203', 1] })]);
    assert.deepEqual(linesOf(lua), ['Skins = {', '  plain = {', '    flank = "#010203",', '  },', '}']);
  });

  it('writes pattern and theme as base-10 integers, independently of each other', () => {
    const onlyPattern = linesOf(core.skinsLua([skin('p', { pattern: '007' }, { body: ['#000000', 1] })]));
    assert.ok(onlyPattern.includes('    pattern = 7,'), onlyPattern.join('|'));
    assert.ok(!onlyPattern.some((l) => l.includes('theme')));
    const onlyTheme = linesOf(core.skinsLua([skin('t', { theme: '0' }, { body: ['#000000', 1] })]));
    assert.ok(onlyTheme.includes('    theme = 0,'), 'theme 0 is a value, not an empty field');
    assert.ok(!onlyTheme.some((l) => l.includes('pattern')));
  });

  it('writes a texture-only skin with its texture line and no zone lines', () => {
    const lines = linesOf(core.skinsLua([skin('tex', { texture: 'spots.png' })]));
    assert.deepEqual(lines.slice(1, -1), ['  tex = {', '    texture = "textures/spots.png",', '  },']);
  });

  it('lists the switched-on zones in zone order, whatever order they were switched on in', () => {
    const s = skin('order');
    for (const key of [...core.ZONE_KEYS].reverse()) s.zones[key] = { on: true, hex: '#ABCDEF', glow: 1 };
    s.zones.teeth.on = false;
    const keys = linesOf(core.skinsLua([s])).slice(2, -2).map((l) => l.trim().split(' ')[0]);
    assert.deepEqual(keys, core.ZONE_KEYS.filter((k) => k !== 'teeth'));
  });

  it('keeps the list order of skins', () => {
    const lines = linesOf(core.skinsLua(['zed', 'alpha', 'mid'].map((n) => skin(n, {}, { body: ['#000000', 1] }))));
    assert.deepEqual(lines.filter((l) => / = \{$/.test(l) && l.startsWith('  ') && !l.startsWith('    ')),
      ['  zed = {', '  alpha = {', '  mid = {']);
  });

  it('writes names Lua cannot take bare in brackets, so the file still loads', () => {
    const lines = linesOf(core.skinsLua([skin('end', {}, { body: ['#000000', 1] }), skin('2fast', {}, { body: ['#000000', 1] })]));
    assert.ok(lines.includes('  ["end"] = {'), lines.join('|'));
    assert.ok(lines.includes('  ["2fast"] = {'), lines.join('|'));
  });

  it('escapes quotes and backslashes from a hand-edited file inside Lua strings', () => {
    const lines = linesOf(core.skinsLua([skin('q', { species: 'Say "hi"\\' }, { body: ['#000000', 1] })]));
    assert.ok(lines.includes('    species = "Say \\"hi\\"\\\\",'), lines.join('|'));
  });
});

describe('skins.lua generator: colours', () => {
  const colourOf = (hex, glow) => linesOf(core.skinsLua([skin('c', {}, { body: [hex, glow] })]))[2].replace(/^ {4}body = |,$/g, '');

  it('writes the worked examples', () => {
    assert.equal(colourOf('#FFFFFF', 2), '{ 2, 2, 2 }');
    assert.equal(colourOf('#808080', 2), '{ 0.432, 0.432, 0.432 }');
    assert.equal(colourOf('#808080', 1), '"#808080"');
  });

  it('writes a quoted upper-case hex for neon 1 or less and a table above 1', () => {
    assert.equal(colourOf('#a1b2c3', 1), '"#A1B2C3"');
    assert.equal(colourOf('#a1b2c3', 0.5), '"#A1B2C3"');
    assert.match(colourOf('#a1b2c3', 1.5), /^\{ [\d.]+, [\d.]+, [\d.]+ \}$/);
    assert.match(colourOf('#a1b2c3', 1.0000001), /^\{ /);
  });

  it('uses linear light times the neon factor, rounded to three decimals, for every channel', () => {
    const samples = [['#00FFFF', 4], ['#5A0A0A', 2.5], ['#0A0B0C', 20], ['#C41E1E', 1.5], ['#010203', 7], ['#FEDCBA', 3]];
    for (const [hex, glow] of samples) {
      const expected = [1, 3, 5].map((at) => Math.round(srgbToLinear(parseInt(hex.slice(at, at + 2), 16)) * glow * 1000) / 1000);
      const got = colourOf(hex, glow).slice(2, -2).split(', ').map(Number);
      assert.deepEqual(got, expected, `${hex} x ${glow}`);
    }
  });

  it('treats the dark end of sRGB as a straight line', () => {
    // 10/255 is below the 0.04045 knee: 10 / 255 / 12.92 * 20 = 0.0607...
    assert.equal(colourOf('#0A0A0A', 20), '{ 0.061, 0.061, 0.061 }');
  });

  it('writes numbers in their shortest form: no trailing zeros, no exponent, no minus zero', () => {
    assert.equal(core.luaNumber(2), '2');
    assert.equal(core.luaNumber(0.5), '0.5');
    assert.equal(core.luaNumber(0.25), '0.25');
    assert.equal(core.luaNumber(1.2301), '1.23');
    assert.equal(core.luaNumber(0.0004), '0');
    assert.equal(core.luaNumber(-0.0001), '0');
    assert.equal(core.luaNumber(0.0015), '0.002');
    assert.equal(core.luaNumber(19.9996), '20');
    assert.equal(colourOf('#000000', 3), '{ 0, 0, 0 }');
    for (let byte = 0; byte < 256; byte += 5) {
      const out = colourOf('#' + byte.toString(16).padStart(2, '0').repeat(3), 2.5);
      assert.doesNotMatch(out, /e|-|\.\d*0[ ,]|\.\d{4}/, out);
    }
  });

  it('converts each channel on its own', () => {
    assert.equal(colourOf('#FF0000', 2), '{ 2, 0, 0 }');
    assert.equal(colourOf('#00FF00', 2), '{ 0, 2, 0 }');
    assert.equal(colourOf('#0000FF', 2), '{ 0, 0, 2 }');
  });
});

describe('skins.lua generator: the default skin list written for a new skins resource', () => {
  // The host writes that list for `newResource skins`; the page must be able to express the
  // same skins. Read it from the template so the test follows the template if it changes.
  const source = fs.readFileSync(path.join(REPO, 'src', 'server', 'templates.cpp'), 'utf8');
  const template = source.match(/R"lua\((Skins = \{[\s\S]*?)\)lua"/)[1];
  const blocks = {};
  for (const m of template.matchAll(/^ {2}(\w+) = \{\n([\s\S]*?)^ {2}\},\n/gm)) blocks[m[1]] = m[2].split('\n').filter(Boolean);

  function templateSkin(name) {
    const s = skin(name);
    const colours = {};
    for (const line of blocks[name]) {
      const [, key, value] = line.match(/^ {4}(\w+) = (.*),$/);
      if (key === 'species') s.species = JSON.parse(value);
      else if (key === 'admin') s.admin = value === 'true';
      else colours[key] = value;
    }
    return { skin: s, colours };
  }

  it('finds the four template skins', () => {
    assert.deepEqual(Object.keys(blocks), ['neon_rex', 'blood', 'albino', 'gold']);
  });

  it('writes the hex-only template skins byte for byte as the template has them', () => {
    for (const name of ['blood', 'albino']) {
      const { skin: s, colours } = templateSkin(name);
      for (const [key, c] of Object.entries(colours)) s.zones[key] = { on: true, hex: JSON.parse(c), glow: 1 };
      const lua = core.skinsLua([s]);
      assert.equal(lua, ['Skins = {', `  ${name} = {`, ...blocks[name], '  },', '}', ''].join('\r\n'));
    }
  });

  it('writes neon_rex\'s glowing body as the same numbers in their shortest form', () => {
    const { skin: s, colours } = templateSkin('neon_rex');
    s.zones.body = { on: true, hex: '#00FFFF', glow: 4 };
    const body = linesOf(core.skinsLua([s])).find((l) => l.startsWith('    body = '));
    const numbers = (text) => text.replace(/[{} ]/g, '').split(',').map(Number);
    assert.equal(body, '    body = { 0, 4, 4 },');
    assert.deepEqual(numbers(body.slice(11, -1)), numbers(colours.body));
  });
});
