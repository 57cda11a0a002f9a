'use strict';
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

const UI_DIR = path.join(__dirname, '..', '..', 'ui');

// The modules under test, merged into one object for the tests to reach their exports.
let core;
before(async () => {
  const modules = [
    'lib/html.js',
    'shell/tabs.js',
    'lib/base64.js',
    'shell/host.js',
  ];
  core = Object.assign({}, ...(await Promise.all(modules.map((m) => import(pathToFileURL(path.join(UI_DIR, m)).href)))));
});

function unescapeHtml(text) {
  return text
    .replace(/&lt;/g, '<')
    .replace(/&gt;/g, '>')
    .replace(/&quot;/g, '"')
    .replace(/&#39;/g, "'")
    .replace(/&amp;/g, '&');
}

describe('esc', () => {
  it('escapes each of the five markup characters', () => {
    assert.equal(core.esc('&'), '&amp;');
    assert.equal(core.esc('<'), '&lt;');
    assert.equal(core.esc('>'), '&gt;');
    assert.equal(core.esc('"'), '&quot;');
    assert.equal(core.esc("'"), '&#39;');
  });

  it('escapes an ampersand that already starts an entity', () => {
    assert.equal(core.esc('&lt;b&gt;'), '&amp;lt;b&amp;gt;');
  });

  it('leaves no markup character behind and round-trips host texts', () => {
    const samples = [
      '<img src=x onerror="alert(1)">',
      "C:\\Servers\\Varra's <test> & \"more\"",
      'plain text with ünïcödé and 🦖',
      '',
      '&&&<<<>>>"""\'\'\'',
    ];
    for (const text of samples) {
      const out = core.esc(text);
      assert.doesNotMatch(out, /[<>"']/, `raw markup left in ${out}`);
      assert.equal(unescapeHtml(out), text);
    }
  });

  it('turns null and undefined into an empty text and other values into their text', () => {
    assert.equal(core.esc(null), '');
    assert.equal(core.esc(undefined), '');
    assert.equal(core.esc(42), '42');
    assert.equal(core.esc(false), 'false');
  });
});

describe('tab stepping', () => {
  let keys;
  before(async () => {
    await import(pathToFileURL(path.join(UI_DIR, 'pages.js')).href);
    const { declaredPages } = await import(pathToFileURL(path.join(UI_DIR, 'shell', 'pages.js')).href);
    keys = declaredPages().map((page) => page.key);
  });

  it('wraps from the last tab to the first going right and back going left', () => {
    assert.equal(core.stepTab(keys, 'studio', 1), 'server');
    assert.equal(core.stepTab(keys, 'server', -1), 'studio');
  });

  it('visits every tab once in a full round in either direction', () => {
    for (const delta of [1, -1]) {
      const seen = [];
      let tab = 'ai';
      for (let i = 0; i < keys.length; i++) {
        tab = core.stepTab(keys, tab, delta);
        seen.push(tab);
      }
      assert.equal(tab, 'ai');
      assert.equal(new Set(seen).size, keys.length);
    }
  });

  it('steps from the first tab when the current one is unknown', () => {
    assert.equal(core.stepTab(keys, 'nope', 1), 'resources');
  });

  it('maps only the left and right arrows to steps', () => {
    assert.equal(core.arrowDelta('ArrowLeft'), -1);
    assert.equal(core.arrowDelta('ArrowRight'), 1);
    for (const key of ['ArrowUp', 'ArrowDown', 'Enter', 'Tab', 'a']) assert.equal(core.arrowDelta(key), 0);
  });
});

describe('base64 of UTF-8', () => {
  const texts = [
    '',
    'a',
    'ab',
    'abc',
    'Skins = {\r\n}\r\n',
    'grüße, Æsir',
    '€ and ¢',
    '恐竜サーバー',
    'rex 🦖 and 🦕',
    'lone \ud83e high',
    'lone \udd96 low',
    'ends with high \ud83e',
  ];

  it('matches node\'s own UTF-8 bytes for ASCII, accents, CJK, emoji and lone surrogates', () => {
    for (const text of texts) {
      assert.deepEqual(Array.from(core.utf8Bytes(text)), Array.from(Buffer.from(text, 'utf8')), JSON.stringify(text));
    }
  });

  it('matches node\'s base64 of the same bytes', () => {
    for (const text of texts) {
      assert.equal(core.base64Utf8(text), Buffer.from(text, 'utf8').toString('base64'), JSON.stringify(text));
    }
  });

  it('encodes every byte value and every padding length', () => {
    const all = Array.from({ length: 256 }, (_, i) => i);
    for (let len = 0; len <= 40; len++) {
      const bytes = all.slice(200 - len, 200).concat(all.slice(0, len % 7)).map((b, i) => (b * 31 + i) & 255);
      assert.equal(core.base64FromBytes(bytes), Buffer.from(bytes).toString('base64'));
    }
    assert.equal(core.base64FromBytes(all), Buffer.from(all).toString('base64'));
  });
});

describe('host URLs', () => {
  it('takes the bases the host announces', () => {
    const urls = core.resolveHostUrls({
      hostUrls: { assets: 'http://127.0.0.1:4000/assets/', species: 'http://127.0.0.1:4000/species/' },
    });
    assert.equal(urls.assets, 'http://127.0.0.1:4000/assets/');
    assert.equal(urls.species, 'http://127.0.0.1:4000/species/');
  });

  it('adds the closing slash when a base lacks it', () => {
    const urls = core.resolveHostUrls({ hostUrls: { assets: 'app://assets', species: 'app://species/' } });
    assert.equal(urls.assets, 'app://assets/');
    assert.equal(urls.species, 'app://species/');
  });

  it('falls back per host when a base is missing, empty or not a text', () => {
    const urls = core.resolveHostUrls({ hostUrls: { assets: '', species: 42 } });
    assert.equal(urls.assets, core.HOST_URL_FALLBACKS.assets);
    assert.equal(urls.species, core.HOST_URL_FALLBACKS.species);
    const partial = core.resolveHostUrls({ hostUrls: { species: 'x://s/' } });
    assert.equal(partial.assets, core.HOST_URL_FALLBACKS.assets);
    assert.equal(partial.species, 'x://s/');
    for (const webview of [null, undefined, {}]) {
      assert.deepEqual({ ...core.resolveHostUrls(webview) }, { ...core.HOST_URL_FALLBACKS });
    }
  });
});
