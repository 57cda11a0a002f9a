'use strict';
// The field machinery the AI and Species pages share: names, units, clamping and merging.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

let f;
before(async () => {
  f = await import(pathToFileURL(path.join(__dirname, '..', '..', 'ui', 'lib', 'fields.js')).href);
});

describe('name rule', () => {
  it('takes 1 to 32 of a-z, 0-9 and _ only', () => {
    for (const good of ['a', 'wolf_2', '_x', '0', 'a'.repeat(32)]) assert.equal(f.isValidName(good), true, good);
    for (const bad of ['', 'a'.repeat(33), 'Wolf', 'wolf-pack', 'wolf pack', 'ä', 'wolf.', null, 5]) {
      assert.equal(f.isValidName(bad), false, String(bad));
    }
  });

  it('keeps species names from starting with an underscore', () => {
    assert.equal(f.isValidName('_raptor', { species: true }), false);
    assert.equal(f.isValidName('raptor_', { species: true }), true);
    assert.equal(f.isValidName('_raptor'), true);
  });

  it('trims and lower-cases what was typed before the test', () => {
    assert.equal(f.cleanName('  Neon_Rex \t'), 'neon_rex');
    assert.equal(f.isValidName(f.cleanName(' WOLF ')), true);
    assert.equal(f.cleanName(undefined), '');
  });
});

describe('free names', () => {
  it('uses the base while it is free, then base_2, base_3 ...', () => {
    assert.equal(f.freeName('wolf', []), 'wolf');
    assert.equal(f.freeName('wolf', ['wolf']), 'wolf_2');
    assert.equal(f.freeName('wolf', ['wolf', 'wolf_2', 'wolf_3']), 'wolf_4');
    assert.equal(f.freeName('wolf', ['wolf', 'wolf_3']), 'wolf_2');
  });

  it('accepts a set, a map, an object or a test as what is taken', () => {
    assert.equal(f.freeName('a', new Set(['a'])), 'a_2');
    assert.equal(f.freeName('a', new Map([['a', 1], ['a_2', 1]])), 'a_3');
    assert.equal(f.freeName('toString', {}), 'toString', 'inherited members are not names');
    assert.equal(f.freeName('a', { a: 1 }), 'a_2');
    assert.equal(f.freeName('a', (n) => n.length < 4), 'a_10', 'a test that refuses a .. a_9');
  });

  it('cuts every candidate to 32 characters', () => {
    const long = 'x'.repeat(40);
    assert.equal(f.freeName(long, []), 'x'.repeat(32));
    const base30 = 'y'.repeat(30);
    assert.equal(f.freeName(base30, [base30]), base30 + '_2');
    const base31 = 'z'.repeat(31);
    assert.equal(f.freeName(base31, [base31]), base31 + '_');
  });

  it('still ends when the cut would swallow the number', () => {
    const long = 'q'.repeat(32);
    const taken = new Set([long]);
    const first = f.freeName(long, taken);
    assert.equal(first.length, 32);
    assert.notEqual(first, long);
    taken.add(first);
    const second = f.freeName(long, taken);
    assert.equal(second.length <= 32, true);
    assert.equal(taken.has(second), false);
    assert.equal(f.isValidName(second), true);
  });
});

describe('units and clamping', () => {
  const metres = { unit: 'm', max: 5000 };

  it('stores metres as whole centimetres', () => {
    assert.equal(f.readNumber('12.34', metres), 1234);
    assert.equal(f.readNumber('0.015', metres), 2);
    assert.equal(f.showNumber(1234, metres), '12.34');
    assert.equal(f.showNumber(1234.6, metres), '12.35');
  });

  it('clamps in shown units before converting', () => {
    assert.equal(f.readNumber('6000', metres), 500000);
    assert.equal(f.readNumber('-3', metres), 0);
    assert.equal(f.readNumber('0.05', { unit: 'm', min: 0.1, max: 1000 }), 10);
    assert.equal(f.readNumber('0', { unit: 'deg', min: 1, max: 360 }), 1);
    assert.equal(f.readNumber('-2e7', { min: -1e7, max: 1e7 }), -1e7);
  });

  it('uses 0 to 100 for per cents and 0 to 10^9 for everything else by default', () => {
    assert.deepEqual(f.limits({ unit: '%' }), { min: 0, max: 100 });
    assert.deepEqual(f.limits({ unit: 's' }), { min: 0, max: 1e9 });
    assert.deepEqual(f.limits({}), { min: 0, max: 1e9 });
    assert.equal(f.readNumber('250', { unit: '%' }), 1);
    assert.equal(f.readNumber('5e9', {}), 1e9);
  });

  it('stores per cents as fractions with one decimal of the per cent', () => {
    assert.equal(f.readNumber('12.34', { unit: '%' }), 0.123);
    assert.equal(f.readNumber('12.35', { unit: '%' }), 0.124);
    assert.equal(f.readNumber('80', { unit: '%' }), 0.8);
    assert.equal(f.showNumber(0.25, { unit: '%' }), '25');
    assert.equal(f.showNumber(0.1234, { unit: '%' }), '12.3');
    assert.equal(f.readNumber('0.5', { unit: '%', min: 1 }), 0.01);
  });

  it('keeps seconds, degrees and plain numbers as entered', () => {
    assert.equal(f.readNumber('12.5', { unit: 's' }), 12.5);
    assert.equal(f.readNumber('90.25', { unit: 'deg', max: 360 }), 90.25);
    assert.equal(f.readNumber('2.5', { min: 0.5, max: 10 }), 2.5);
  });

  it('reads a comma as a decimal point and anything else as 0', () => {
    assert.equal(f.readNumber('12,34', metres), 1234);
    assert.equal(f.parseEntered(' 1,5 '), 1.5);
    assert.equal(f.parseEntered('abc'), 0);
    assert.equal(f.parseEntered('12m'), 0);
    assert.equal(f.parseEntered(''), 0);
    assert.equal(f.parseEntered('Infinity'), 0);
    assert.equal(f.readNumber('wolf', { unit: 's', min: 1, max: 3600 }), 1);
  });

  it('snaps to a step and rounds counts', () => {
    assert.equal(f.readNumber('1.27', { min: 1, max: 5, step: 0.05 }), 1.25);
    assert.equal(f.readNumber('1.28', { min: 1, max: 5, step: 0.05 }), 1.3);
    assert.equal(f.readNumber('9', { min: 1, max: 5, step: 0.05 }), 5);
    assert.equal(f.readNumber('2.6', { min: 1, max: 25, int: true }), 3);
  });
});

describe('merge over defaults', () => {
  const defaults = { a: 1, s: 'x', b: true, list: [1, 2], nested: { n: 1, deep: { m: 'd' } } };

  it('keeps only the defaults\' keys', () => {
    const out = f.merge(defaults, { a: 5, extra: 1, nested: { n: 2, other: 3 } });
    assert.deepEqual(out, { a: 5, s: 'x', b: true, list: [1, 2], nested: { n: 2, deep: { m: 'd' } } });
  });

  it('ignores values of another JSON type', () => {
    const out = f.merge(defaults, { a: '5', s: 7, b: 'true', list: { 0: 1 }, nested: [1] });
    assert.deepEqual(out, defaults);
    assert.deepEqual(f.merge({ n: 1 }, { n: null }), { n: 1 });
    assert.deepEqual(f.merge({ o: { k: 1 } }, { o: null }), { o: { k: 1 } });
  });

  it('replaces arrays whole, whatever their length or content', () => {
    assert.deepEqual(f.merge(defaults, { list: [] }).list, []);
    assert.deepEqual(f.merge(defaults, { list: ['a', { b: 1 }, 3] }).list, ['a', { b: 1 }, 3]);
  });

  it('merges nested objects key by key', () => {
    const out = f.merge(defaults, { nested: { deep: { m: 'loaded', z: 1 } } });
    assert.deepEqual(out.nested, { n: 1, deep: { m: 'loaded' } });
  });

  it('gives a copy that shares nothing with the defaults or the input', () => {
    const input = { list: [1], nested: { deep: { m: 'q' } } };
    const out = f.merge(defaults, input);
    out.list.push(9);
    out.nested.deep.m = 'changed';
    assert.deepEqual(defaults.list, [1, 2]);
    assert.equal(defaults.nested.deep.m, 'd');
    assert.deepEqual(input.list, [1]);
    const blank = f.merge(defaults, undefined);
    blank.list.push(3);
    assert.deepEqual(defaults.list, [1, 2]);
  });

  it('never lets a loaded "__proto__" change an object\'s prototype', () => {
    const loaded = JSON.parse('{"list":[{"__proto__":{"polluted":1}}],"__proto__":{"polluted":1}}');
    const out = f.merge(defaults, loaded);
    assert.equal(out.polluted, undefined);
    assert.equal(out.list[0].polluted, undefined);
    assert.equal({}.polluted, undefined);
  });
});

describe('field controls', () => {
  it('shows numbers in their units and escapes every text', () => {
    const html = f.fieldHtml({ label: 'Sight <range>', unit: 'm' }, 1234, { scope: 'brain', f: 'a"b' });
    assert.match(html, /value="12\.34"/);
    assert.match(html, /Sight &lt;range&gt;/);
    assert.match(html, /data-f="a&quot;b"/);
    const text = f.fieldHtml({ label: 'Label', type: 'text' }, '"><script>', {});
    assert.doesNotMatch(text, /<script>/);
  });

  it('keeps a hand-written choice visible', () => {
    const html = f.fieldHtml({ label: 'Gait', type: 'choice', options: [['walk', 'Walk']] }, 'gallop<', {});
    assert.match(html, /<option value="gallop&lt;" selected>/);
  });

  it('reads a control back in stored units and shows the cleaned value', () => {
    const el = { value: '6000', checked: false };
    assert.equal(f.readInput({ unit: 'm', max: 5000 }, el), 500000);
    assert.equal(el.value, '5000');
    const name = { value: '  Bite ' };
    assert.equal(f.readInput({ type: 'name' }, name), 'bite');
    assert.equal(name.value, 'bite');
    assert.equal(f.readInput({ type: 'bool' }, { checked: true }), true);
  });
});
