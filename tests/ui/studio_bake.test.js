'use strict';
// The preview bake: zone colour or neutral grey, brightened by glow, overridden by the mask,
// shaded by the rac texture and capped at 255.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

let S;
before(async () => {
  const load = (file) => import(pathToFileURL(path.join(__dirname, '..', '..', 'ui', 'pages', 'studio', file)).href);
  S = Object.assign({}, await load('zones.js'), await load('bake.js'));
});

function rgba(pixels) {
  const data = new Uint8ClampedArray(pixels.length * 4);
  pixels.forEach(([r, g, b], i) => data.set([r, g, b, 255], i * 4));
  return data;
}

function texels(data) {
  const out = [];
  for (let p = 0; p < data.length; p += 4) out.push([data[p], data[p + 1], data[p + 2], data[p + 3]]);
  return out;
}

const BLACK = [0, 0, 0];
const CYAN = [0, 255, 255];
const RED = [255, 0, 0];

// Colours chosen so that every expected value below is a whole number or clearly rounds.
const COLOURS = { body: '#102030', display: '#FF803C', teeth: '#0A0B0C', mouth: '#646464' };

/** Bakes one row of texels: paint colours, and optionally rac and mask texels. */
function bakeRow(S, paint, { rac, mask, colours = COLOURS, glows = {} } = {}) {
  return texels(S.bakePreview({
    paint: rgba(paint),
    rac: rac ? rgba(rac) : null,
    mask: mask ? rgba(mask) : null,
    width: paint.length,
    height: 1,
    colours,
    glows,
  }));
}

describe('glow', () => {
  it('brightens by half the glow plus a half, never more than twice', () => {
    assert.equal(S.glowFactor(1), 1);
    assert.equal(S.glowFactor(1.5), 1.25);
    assert.equal(S.glowFactor(2), 1.5);
    assert.equal(S.glowFactor(2.5), 1.75);
    assert.equal(S.glowFactor(3), 2);
    assert.equal(S.glowFactor(20), 2);
  });

  it('leaves a zone without glow (1 or less, or nothing usable) as it is', () => {
    for (const glow of [1, 0.5, 0, -3, undefined, NaN, 'x']) assert.equal(S.glowFactor(glow), 1, String(glow));
  });

  it('takes the typed glow like the skins editor takes neon: 1 to 20, invalid gives 1', () => {
    assert.equal(S.parseGlow('2.5'), 2.5);
    assert.equal(S.parseGlow(' 3 '), 3);
    assert.equal(S.parseGlow('1'), 1);
    assert.equal(S.parseGlow('0.5'), 1);
    assert.equal(S.parseGlow(''), 1);
    assert.equal(S.parseGlow('neon'), 1);
    assert.equal(S.parseGlow('25'), 20);
    assert.equal(S.parseGlow(7), 7);
  });

  it('reads "#RRGGBB" in either case, with or without the hash', () => {
    assert.deepEqual(S.hexToRgb('#FF803C'), [255, 128, 60]);
    assert.deepEqual(S.hexToRgb('ff803c'), [255, 128, 60]);
    assert.equal(S.hexToRgb('#FF80'), null);
    assert.equal(S.hexToRgb('#GG0000'), null);
  });
});

describe('preview bake', () => {
  it('paints texels without a zone in grey 128', () => {
    assert.deepEqual(bakeRow(S, [BLACK, [255, 255, 255], [100, 100, 100]]), [
      [128, 128, 128, 255],
      [128, 128, 128, 255],
      [128, 128, 128, 255],
    ]);
  });

  it('paints each zone in its chosen colour', () => {
    assert.deepEqual(bakeRow(S, [CYAN, RED]), [[16, 32, 48, 255], [255, 128, 60, 255]]);
  });

  it('falls back to the default colour when a chosen one is not a colour', () => {
    assert.deepEqual(bakeRow(S, [CYAN], { colours: { body: 'brown' } }), [[0x89, 0x75, 0x59, 255]]);
    assert.deepEqual(bakeRow(S, [[0, 0, 255]], { colours: {} }), [[0x59, 0x49, 0x34, 255]]);
  });

  it('multiplies a glowing zone by its glow factor and leaves the others', () => {
    assert.deepEqual(bakeRow(S, [CYAN, BLACK], { glows: { body: 2 } }), [[24, 48, 72, 255], [128, 128, 128, 255]]);
    assert.deepEqual(bakeRow(S, [CYAN], { glows: { body: 1.5 } }), [[20, 40, 60, 255]]);
    assert.deepEqual(bakeRow(S, [CYAN], { glows: { body: 3 } }), [[32, 64, 96, 255]]);
    assert.deepEqual(bakeRow(S, [CYAN], { glows: { body: 20 } }), [[32, 64, 96, 255]]);
    assert.deepEqual(bakeRow(S, [CYAN], { glows: { display: 3 } }), [[16, 32, 48, 255]]);
  });

  it('caps each channel at 255', () => {
    assert.deepEqual(bakeRow(S, [RED], { glows: { display: 2 } }), [[255, 192, 90, 255]]);
  });

  it('lets the mask override the painted zone and the grey', () => {
    const mask = [[255, 0, 0], [0, 200, 0], BLACK];
    assert.deepEqual(bakeRow(S, [CYAN, BLACK, CYAN], { mask, glows: { body: 3 } }), [
      [10, 11, 12, 255],
      [100, 100, 100, 255],
      [32, 64, 96, 255],
    ]);
  });

  it('brightens a glowing mask zone like any other zone', () => {
    assert.deepEqual(bakeRow(S, [BLACK], { mask: [[0, 255, 0]], glows: { mouth: 2 } }), [[150, 150, 150, 255]]);
  });

  it('shades by rac green / 128 times rac blue / 255', () => {
    const rac = [[0, 64, 255], [77, 128, 51], [255, 128, 255], [0, 0, 255], [0, 192, 255]];
    assert.deepEqual(bakeRow(S, [BLACK, BLACK, CYAN, CYAN, CYAN], { rac }), [
      [64, 64, 64, 255], // 128 x 0.5
      [26, 26, 26, 255], // 128 x 0.2 = 25.6
      [16, 32, 48, 255], // no change
      [0, 0, 0, 255], // green 0 is full shadow
      [24, 48, 72, 255], // 1.5 brightens
    ]);
  });

  it('ignores the rac red channel', () => {
    assert.deepEqual(bakeRow(S, [CYAN], { rac: [[0, 64, 255]] }), bakeRow(S, [CYAN], { rac: [[255, 64, 255]] }));
  });

  it('caps after shading, so a bright glow is kept in shade', () => {
    // Display (255, 128, 60) at factor 2 is (510, 256, 120); half shade gives (255, 128, 60).
    // Capping before shading would have given (128, 128, 60).
    assert.deepEqual(bakeRow(S, [RED], { rac: [[0, 64, 255]], glows: { display: 3 } }), [[255, 128, 60, 255]]);
    assert.deepEqual(bakeRow(S, [RED], { rac: [[0, 255, 255]] }), [[255, 255, 120, 255]]);
  });

  it('shades the mask colour too', () => {
    assert.deepEqual(bakeRow(S, [CYAN], { mask: [[0, 0, 0]], rac: [[0, 64, 255]] }), [[8, 16, 24, 255]]);
    assert.deepEqual(bakeRow(S, [CYAN], { mask: [[0, 255, 0]], rac: [[0, 64, 255]] }), [[50, 50, 50, 255]]);
  });

  it('writes opaque texels into the array it is given, which may be the paint itself', () => {
    const paint = rgba([CYAN, BLACK]);
    paint[3] = 0;
    const out = S.bakePreview({ paint, rac: null, mask: null, width: 2, height: 1, colours: COLOURS, glows: {} }, paint);
    assert.equal(out, paint);
    assert.deepEqual(texels(out), [[16, 32, 48, 255], [128, 128, 128, 255]]);
  });

  it('refuses inputs smaller than the size', () => {
    const small = new Uint8ClampedArray(4);
    const args = { paint: rgba([CYAN, CYAN]), rac: null, mask: null, width: 2, height: 1, colours: COLOURS, glows: {} };
    assert.throws(() => S.bakePreview({ ...args, paint: small }), RangeError);
    assert.throws(() => S.bakePreview({ ...args, rac: small }), RangeError);
    assert.throws(() => S.bakePreview({ ...args, mask: small }), RangeError);
  });
});

describe('nearest resize of the paint for the bake', () => {
  it('halves by taking one texel of every two by two, never a blend', () => {
    const src = rgba([
      RED, RED, CYAN, CYAN,
      RED, [0, 0, 255], CYAN, [255, 0, 255],
      BLACK, BLACK, [255, 255, 0], [255, 255, 0],
      BLACK, [0, 255, 0], [255, 255, 0], [255, 255, 255],
    ]);
    const out = S.resizeNearest(src, 4, 4, 2, 2);
    assert.deepEqual(texels(out).map((t) => t.slice(0, 3)), [[0, 0, 255], [255, 0, 255], [0, 255, 0], [255, 255, 255]]);
  });

  it('doubles by repeating texels', () => {
    const out = S.resizeNearest(rgba([RED, CYAN]), 2, 1, 4, 2);
    assert.deepEqual(texels(out).map((t) => t.slice(0, 3)), [RED, RED, CYAN, CYAN, RED, RED, CYAN, CYAN]);
  });
});
