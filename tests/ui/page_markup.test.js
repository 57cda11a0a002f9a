'use strict';
// Static checks of index.html with the tabs and panels the shell draws for the declared pages:
// what the host serves must line up with what the scripts look for, and nothing may point at
// a host name or a relative path.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

const UI_DIR = path.join(__dirname, '..', '..', 'ui');
const served = fs.readFileSync(path.join(UI_DIR, 'index.html'), 'utf8');
const entryList = fs.readFileSync(path.join(UI_DIR, 'pages.js'), 'utf8');

let core;
let pages;
let html;
before(async () => {
  core = await import(pathToFileURL(path.join(UI_DIR, 'shell', 'tabs.js')).href);
  await import(pathToFileURL(path.join(UI_DIR, 'pages.js')).href);
  pages = (await import(pathToFileURL(path.join(UI_DIR, 'shell', 'pages.js')).href)).declaredPages();
  // The page as the shell leaves it once every page is declared, the first tab selected.
  const tabs = pages.map((p, i) => core.tabMarkup(p.key, p.title, i === 0)).join('');
  const panels = pages.map((p, i) => core.panelMarkup(p.key, i === 0)).join('');
  html = served
    .replace('aria-label="Pages"></nav>', `aria-label="Pages">${tabs}</nav>`)
    .replace('<main class="content"></main>', `<main class="content">${panels}</main>`);
  assert.notEqual(html, served, 'the shell finds where its tabs and panels go');
});

function attrs(tag) {
  const out = {};
  for (const m of tag.matchAll(/([\w-]+)(?:="([^"]*)")?/g)) out[m[1]] = m[2] === undefined ? true : m[2];
  return out;
}

function tags(name) {
  return Array.from(html.matchAll(new RegExp(`<${name}\\b([^>]*)>`, 'g')), (m) => attrs(m[1]));
}

function elementById(id) {
  const found = Array.from(html.matchAll(/<(\w+)\b([^>]*)>/g))
    .map((m) => ({ tag: m[1], attrs: attrs(m[2]) }))
    .filter((el) => el.attrs.id === id);
  assert.equal(found.length, 1, `exactly one element with id ${id}`);
  return found[0];
}

describe('index.html', () => {
  it('carries the window title', () => {
    assert.match(html, /<title>Varra Forgeset Server Tool<\/title>/);
  });

  it('maps three and its addons through an import map placed before any module', () => {
    const m = html.match(/<script type="importmap">([\s\S]*?)<\/script>/);
    assert.ok(m, 'import map present');
    const map = JSON.parse(m[1]);
    assert.equal(map.imports.three, '/three.module.js');
    assert.equal(map.imports['three/addons/'], '/addons/');
    assert.ok(m.index < html.indexOf('type="module"'), 'import map precedes the module scripts');
  });

  // The page's entry imports the list of page entries, which fixes the tab order; what
  // matters is that every entry is there, once, and loads as a module (a classic script
  // cannot import).
  it('loads every entry as a module, each exactly once', () => {
    const scripts = tags('script').filter((s) => s.src);
    const listed = Array.from(entryList.matchAll(/^import '\.\/(\w+\.js)';$/gm), (m) => '/' + m[1]);
    assert.deepEqual(scripts.map((s) => s.src).sort(), ['/animpreview.js', '/app.js']);
    assert.deepEqual(listed, pages.map((p) => `/${p.key}.js`), 'one entry per page, in tab order');
    for (const script of scripts) assert.equal(script.type, 'module', script.src);
    for (const script of [...scripts.map((s) => s.src), ...listed]) assert.ok(fs.existsSync(path.join(UI_DIR, script)), `${script} exists`);
  });

  it('installs the error hook before any other script and posts it as a string', () => {
    const first = html.indexOf('<script');
    const hook = html.indexOf('window.onerror');
    assert.ok(hook > first && hook < html.indexOf('<script', first + 1), 'the hook is in the first script');
    assert.match(html, /postMessage\(JSON\.stringify\(\{ cmd: 'jsError', msg: [^,]+, line: line \}\)\)/);
  });

  it('refers to every file from the root, never by host name or relative path', () => {
    const styles = pages.flatMap((p) => p.styles);
    for (const sheet of styles) assert.ok(fs.existsSync(path.join(UI_DIR, sheet)), `${sheet} exists`);
    const refs = [...tags('script').map((s) => s.src), ...tags('link').map((l) => l.href), ...styles].filter(Boolean);
    assert.ok(refs.length >= 6);
    for (const ref of refs) assert.match(ref, /^\/[^/]/, ref);
  });

  it('has the six tabs in the shell\'s order, each controlling its own panel', () => {
    const tabs = tags('button').filter((b) => b.role === 'tab');
    assert.deepEqual(tabs.map((t) => t['data-tab']), pages.map((p) => p.key));
    const labels = Array.from(html.matchAll(/role="tab"[^>]*>([^<]*)</g), (m) => m[1]);
    assert.deepEqual(labels, ['Server', 'Resources', 'Skins', 'AI', 'Species', 'Zuze Ravizu']);
    for (const tab of tabs) {
      assert.equal(tab['aria-controls'], `panel-${tab['data-tab']}`);
      assert.equal(tab['aria-selected'], tab['data-tab'] === 'server' ? 'true' : 'false');
      const panel = elementById(`panel-${tab['data-tab']}`);
      assert.equal(panel.attrs.hidden === true, tab['data-tab'] !== 'server', `panel-${tab['data-tab']} hidden state`);
    }
  });

  it('puts the tabs, the brand and the window buttons in the title bar', () => {
    const start = html.indexOf('id="titlebar"');
    const end = html.indexOf('</header>', start);
    const bar = html.slice(start, end);
    assert.ok(start > 0 && end > start);
    assert.match(bar, />VF</);
    assert.match(bar, />Varra Forgeset Server Tool</);
    assert.match(bar, /role="tablist"/);
    for (const [id, label] of [['win-min', 'Minimize'], ['win-max', 'Maximize'], ['win-close', 'Close']]) {
      assert.match(bar, new RegExp(`id="${id}"`));
      assert.equal(elementById(id).attrs['aria-label'], label);
    }
  });

  it('starts with the notice bar hidden', () => {
    assert.equal(elementById('notice').attrs.hidden, true);
  });
});

describe('app.css', () => {
  // The sheet the page loads, with the parts it imports in place, as the browser sees it.
  const sheet = fs.readFileSync(path.join(UI_DIR, 'app.css'), 'utf8');
  const css = sheet.replace(/@import url\("\/([^"]+)"\);/g, (_, file) =>
    fs.readFileSync(path.join(UI_DIR, file), 'utf8'));

  it('imports only parts that exist, by their path from the page', () => {
    const imports = Array.from(sheet.matchAll(/@import url\("([^"]+)"\);/g), (m) => m[1]);
    assert.ok(imports.length > 0);
    for (const route of imports) assert.ok(fs.existsSync(path.join(UI_DIR, route)), route);
    assert.doesNotMatch(css, /@import/);
  });

  it('never displays hidden elements, whatever their class', () => {
    assert.match(css, /\[hidden\]\s*\{\s*display:\s*none\s*!important;?\s*\}/);
  });
});
