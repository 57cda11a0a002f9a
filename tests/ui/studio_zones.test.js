'use strict';
// Reading zones from the painted pattern and from the game's mask: which colours count, and
// exactly where a channel turns on.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

let S;
before(async () => {
  S = await import(pathToFileURL(path.join(__dirname, '..', '..', 'ui', 'pages', 'studio', 'zones.js')).href);
});

function rgba(pixels) {
  const data = new Uint8ClampedArray(pixels.length * 4);
  pixels.forEach(([r, g, b], i) => data.set([r, g, b, 255], i * 4));
  return data;
}

describe('pattern zones by pure colour', () => {
  it('names the six pure colours after their zones and leaves black and white without one', () => {
    const cases = [
      [[255, 0, 0], 'display'],
      [[0, 255, 0], 'underbelly'],
      [[0, 0, 255], 'flank'],
      [[0, 255, 255], 'body'],
      [[255, 0, 255], 'markings'],
      [[255, 255, 0], 'detail'],
      [[0, 0, 0], null],
      [[255, 255, 255], null],
    ];
    for (const [rgb, zone] of cases) assert.equal(S.zoneOfColour(...rgb), zone, `colour ${rgb}`);
  });

  it('counts a channel as on from 128 up and off at 127', () => {
    assert.equal(S.channelOn(127), false);
    assert.equal(S.channelOn(128), true);
    assert.equal(S.zoneOfColour(128, 127, 127), 'display');
    assert.equal(S.zoneOfColour(127, 127, 127), null);
    assert.equal(S.zoneOfColour(127, 128, 128), 'body');
    assert.equal(S.zoneOfColour(128, 128, 127), 'detail');
    assert.equal(S.zoneOfColour(128, 128, 128), null);
  });

  it('reads any shade by its on-channels, so a darkened colour keeps its zone', () => {
    assert.equal(S.zoneOfColour(200, 30, 90), 'display');
    assert.equal(S.zoneOfColour(12, 140, 250), 'body');
    assert.equal(S.zoneOfColour(240, 100, 131), 'markings');
  });

  it('labels the zones with the names the owner sees, in the order of the brushes', () => {
    assert.deepEqual(S.PAINT_ZONES.map((z) => z.label), ['Male display', 'Underbelly', 'Flank', 'Body', 'Markings', 'Detail']);
    assert.deepEqual(S.MASK_ZONES.map((z) => z.label), ['Teeth', 'Mouth', 'Claws']);
    // Each brush paints the colour the reader takes for its zone.
    for (const zone of S.PAINT_ZONES) assert.equal(S.zoneOfColour(...zone.rgb), zone.key);
  });

  it('starts from the listed default colours', () => {
    assert.deepEqual(S.defaultColours(), {
      display: '#6C3729',
      underbelly: '#D3B48B',
      flank: '#594934',
      body: '#897559',
      markings: '#342F29',
      detail: '#000000',
      teeth: '#E9DDC5',
      mouth: '#7C5859',
      claws: '#3A3128',
    });
    assert.ok(Object.values(S.defaultGlows()).every((g) => g === 1));
  });

  it('reads a whole image texel by texel, row by row', () => {
    const data = rgba([
      [255, 0, 0], [0, 255, 0], [0, 0, 255],
      [0, 255, 255], [255, 0, 255], [255, 255, 0],
      [0, 0, 0], [127, 200, 127], [255, 255, 255],
    ]);
    const zones = S.readZones(data, 3, 3);
    const keys = Array.from(zones, (i) => (i === 0 ? null : S.PAINT_ZONES[i - 1].key));
    assert.deepEqual(keys, ['display', 'underbelly', 'flank', 'body', 'markings', 'detail', null, 'underbelly', null]);
  });

  it('ignores alpha: a transparent texel of a pure colour still marks its zone', () => {
    const data = new Uint8ClampedArray([0, 0, 255, 0]);
    assert.equal(S.PAINT_ZONES[S.readZones(data, 1, 1)[0] - 1].key, 'flank');
  });

  it('refuses pixel data smaller than the size it claims', () => {
    assert.throws(() => S.readZones(new Uint8ClampedArray(4 * 3), 2, 2), RangeError);
  });
});

describe('mask zones', () => {
  it('reads teeth from red, mouth from green and claws from blue', () => {
    assert.equal(S.maskZoneOfColour(255, 0, 0), 'teeth');
    assert.equal(S.maskZoneOfColour(0, 255, 0), 'mouth');
    assert.equal(S.maskZoneOfColour(0, 0, 255), 'claws');
    assert.equal(S.maskZoneOfColour(0, 0, 0), null);
  });

  it('uses the same threshold as the pattern', () => {
    assert.equal(S.maskZoneOfColour(127, 127, 127), null);
    assert.equal(S.maskZoneOfColour(127, 127, 128), 'claws');
    assert.equal(S.maskZoneOfColour(127, 128, 0), 'mouth');
  });

  it('gives a texel marked twice to the zone listed first', () => {
    assert.equal(S.maskZoneOfColour(255, 255, 255), 'teeth');
    assert.equal(S.maskZoneOfColour(0, 255, 255), 'mouth');
  });

  it('reads a whole mask', () => {
    const zones = S.readMaskZones(rgba([[0, 0, 0], [200, 0, 0], [0, 130, 0], [0, 0, 129]]), 2, 2);
    assert.deepEqual(Array.from(zones, (i) => (i === 0 ? null : S.MASK_ZONES[i - 1].key)), [null, 'teeth', 'mouth', 'claws']);
  });
});
