'use strict';
// How the page draws, in the browser host: it starts without three.js, each preview fetching
// it when its page is first shown, and a redraw changes only what differs, so the scroll
// positions, the focus and the caret stay where the person left them and the parts of the
// page a change did not touch stay as they are.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { startSession } = require('./harness.js');

// What the page has fetched so far, by path.
const fetched = (page) => page.evaluate(() => performance.getEntriesByType('resource').map((e) => new URL(e.name).pathname));
const LIBRARIES = ['/three.module.js', '/three.core.js', '/addons/loaders/FBXLoader.js', '/addons/loaders/GLTFLoader.js'];

function writeSpecies(root, name, animations) {
  const ws = path.join(root, 'species', name);
  fs.mkdirSync(path.join(ws, 'source'), { recursive: true });
  const list = Array.from({ length: animations }, (_, i) => ({ file: `anims/a${i}.fbx`, id: `anim_${i}` }));
  fs.writeFileSync(path.join(ws, 'species.json'), JSON.stringify({ version: 1, name, label: 'Long label', source: { mesh: 'm.fbx', animations: list } }, null, 2));
}

describe('how the page draws', { timeout: 90000 }, () => {
  let session;
  let page;

  before(async () => {
    session = await startSession();
    page = session.page;
    writeSpecies(session.root, 'raptor', 40);
  });

  after(async () => {
    if (session) await session.close();
  });

  it('fetches three.js and its loaders only when a page that shows a model is first shown', async () => {
    // Each tab, and what the page may have fetched once it has been shown.
    const steps = [
      ['server', []],
      ['resources', []],
      ['skins', []],
      ['ai', []],
      ['species', ['/three.module.js', '/three.core.js', '/addons/loaders/FBXLoader.js']],
      ['studio', LIBRARIES],
    ];
    for (const [tab, allowed] of steps) {
      await page.click(`#tab-${tab}`);
      if (allowed.length) await page.waitForFunction((want) => want.every((p) => performance.getEntriesByType('resource').some((e) => new URL(e.name).pathname === p)), allowed, { timeout: 15000 });
      const libraries = (await fetched(page)).filter((p) => LIBRARIES.includes(p));
      assert.deepEqual(libraries.filter((p) => !allowed.includes(p)), [], `after showing ${tab}`);
    }
    await page.waitForFunction(() => window.threeRevision === '184', null, { timeout: 15000 });
  });

  it('keeps scroll positions, focus and caret through redraws, and leaves untouched parts alone', async () => {
    await page.click('#tab-species');
    await page.evaluate(() => window.chrome.webview.postMessage({ cmd: 'speciesRefresh' }));
    await page.waitForSelector('#species-list [data-name="raptor"]');
    await page.click('#species-list [data-name="raptor"]');
    await page.$eval('#species-model .sp-anims', (el) => {
      el.scrollTop = 300;
    });
    const label = 'input[data-scope="doc"][data-f="label"]';
    await page.click(label);
    await page.evaluate((sel) => document.querySelector(sel).setSelectionRange(2, 5), label);
    // Redraws of two kinds: a host message, and an edit elsewhere on the page.
    const redraws = [
      ['species message', () => page.evaluate(() => window.chrome.webview.postMessage({ cmd: 'speciesRefresh' }))],
      ['role edit', () => page.evaluate(() => {
        const select = document.querySelector('select[data-scope="role-anim"][data-role="idle"]');
        select.dispatchEvent(new PointerEvent('pointerdown', { bubbles: true }));
        select.value = 'anim_3';
        select.dispatchEvent(new Event('change', { bubbles: true }));
        document.querySelector('input[data-scope="doc"][data-f="label"]').focus();
      })],
    ];
    for (const [what, redraw] of redraws) {
      await page.evaluate(() => {
        window.__touched = new Set();
        window.__watch = new MutationObserver((records) => {
          for (const r of records) window.__touched.add((r.target.nodeType === 1 ? r.target : r.target.parentElement).closest('section[id]')?.id || '');
        });
        window.__watch.observe(document.getElementById('panel-species'), { subtree: true, childList: true, attributes: true, characterData: true });
        window.__scrolls = document.querySelector('#species-model .sp-anims');
      });
      await redraw();
      await page.waitForTimeout(300);
      const seen = await page.evaluate((sel) => {
        window.__watch.disconnect();
        const el = document.activeElement;
        const box = document.querySelector('#species-model .sp-anims');
        return {
          same: box === window.__scrolls,
          scrollTop: box.scrollTop,
          focus: el.matches(sel),
          caret: [el.selectionStart, el.selectionEnd],
          // The edited roles and the build section, whose reasons follow unsaved changes, may change.
          touched: [...window.__touched].filter((id) => id.startsWith('species-') && !['species-roles', 'species-build'].includes(id)).sort(),
        };
      }, label);
      assert.deepEqual(seen, { same: true, scrollTop: 300, focus: true, caret: [2, 5], touched: [] }, what);
    }
    assert.equal(await page.inputValue('select[data-scope="role-anim"][data-role="idle"]'), 'anim_3');
    assert.deepEqual(session.pageErrors, []);
  });
});
