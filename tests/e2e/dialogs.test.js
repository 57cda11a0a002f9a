'use strict';
// The browser host's dialogs as a person meets them: no --dialogs, so the page draws the
// folder and file pickers and the host lists folders for them while a dialog is open. The
// paths typed and shown are the tool's own: Linux paths, or under Wine the same folders on Z:.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { startSessionWith, recordTraffic, toolPath, waitLoaded, waitReceived, received, toolHome } = require('./harness.js');

const FOLDER_TITLE = 'Server folder (where VarraForgesetServer.exe lives)';

// A visible and a hidden folder in the home folder.
const VISIBLE = `servers-${process.pid}`;
const HIDDEN = `.cache-${process.pid}`;

/**
 * The folders in `folder` in the picker's order, by name with letter case folded; those
 * named with a leading dot only with `hidden`.
 */
function foldersIn(folder, hidden) {
  const fold = (name) => name.toLowerCase();
  return fs.readdirSync(folder)
    .filter((name) => (hidden || !name.startsWith('.')) && fs.statSync(path.join(folder, name), { throwIfNoEntry: false })?.isDirectory())
    .sort((a, b) => (fold(a) === fold(b) ? (a < b ? -1 : 1) : fold(a) < fold(b) ? -1 : 1));
}

const pickerShown = (page) => page.waitForSelector('.picker-layer[data-listed]', { state: 'attached', timeout: 8000 });
const pickerGone = (page) => page.waitForSelector('.picker-layer', { state: 'detached', timeout: 8000 });
const rowNames = (page) => page.$$eval('.picker-row .picker-name', (els) => els.map((el) => el.textContent));

/** Types a path into the picker's path field and goes there; resolves once it is listed. */
async function goTo(page, folder) {
  await page.fill('.picker-path', folder);
  await page.press('.picker-path', 'Enter');
  await page.waitForFunction((want) => {
    const layer = document.querySelector('.picker-layer');
    return !!layer && layer.dataset.listed === want;
  }, folder);
}

/** A post from inside the page to one of the host's dialog routes; resolves with the status. */
function postFromPage(page, route, body) {
  return page.evaluate(async ([target, text]) => {
    const key = window.sessionStorage.getItem('forgesetToken');
    const response = await fetch(target, { method: 'POST', headers: { 'Content-Type': 'application/json', 'X-Forgeset-Token': key }, body: text });
    return response.status;
  }, [route, JSON.stringify(body)]);
}

describe('dialogs drawn by the page in the browser host', { timeout: 120000 }, () => {
  let session;
  let page;
  let home;

  before(async () => {
    const base = fs.mkdtempSync(path.join(require('node:os').tmpdir(), 'forgeset-home-'));
    home = toolHome(path.join(base, 'home'));
    // Named for this run: under Wine the home is the prefix's profile, which runs share.
    const made = [VISIBLE, HIDDEN].map((name) => path.join(home.folder, name));
    for (const folder of made) fs.mkdirSync(folder, { recursive: true });
    session = await startSessionWith({ withRoot: false, env: home.env });
    session.close = ((close) => async () => {
      await close();
      for (const folder of made) fs.rmSync(folder, { recursive: true, force: true });
      fs.rmSync(base, { recursive: true, force: true });
    })(session.close);
    page = session.page;
    await recordTraffic(page);
  });

  after(async () => {
    if (session) await session.close();
  });

  it('starts a new owner in the home folder and sets the server folder chosen there', async () => {
    assert.match(await page.textContent('#panel-server'), /No folder yet/);
    await page.click('[data-action="pickFolder"]');
    await pickerShown(page);
    assert.equal(await page.textContent('#picker-title'), FOLDER_TITLE);
    assert.equal(await page.inputValue('.picker-path'), home.shown);
    const shown = await rowNames(page);
    assert.deepEqual(shown, foldersIn(home.folder, false));
    assert.ok(shown.includes(VISIBLE) && !shown.includes(HIDDEN), 'hidden folders stay behind the toggle');
    await page.check('[data-pick-field="hidden"]');
    const all = foldersIn(home.folder, true);
    await page.waitForFunction((n) => document.querySelectorAll('.picker-row').length === n, all.length);
    assert.deepEqual(await rowNames(page), all);
    assert.ok(all.includes(HIDDEN));

    await goTo(page, toolPath(session.root));
    assert.deepEqual(await rowNames(page), ['resources']);
    await page.click('[data-pick="choose"]');
    await pickerGone(page);
    // A new folder reloads the page, which asks for everything again.
    await page.waitForFunction((root) => document.body.dataset.loaded === 'true' && document.getElementById('panel-server').textContent.includes(root), toolPath(session.root), { timeout: 10000 });
    assert.equal(fs.readFileSync(path.join(session.dataDir, 'server-root.txt'), 'utf8'), toolPath(session.root));
    assert.deepEqual(session.pageErrors, []);
  });

  it('cancels with Escape and with the Cancel button, and the page goes on as before', async () => {
    await waitLoaded(page);
    await recordTraffic(page);
    for (const how of ['Escape', 'button']) {
      const before = (await received(page)).length;
      await page.click('[data-action="pickFolder"]');
      await pickerShown(page);
      assert.equal(await page.inputValue('.picker-path'), toolPath(session.root), 'opens in the server folder');
      await page.click('.picker-row');
      if (how === 'Escape') await page.keyboard.press('Escape');
      else await page.click('[data-pick="cancel"]');
      await pickerGone(page);
      // A cancelled folder dialog answers with a fresh state, and the root is unchanged.
      const state = await waitReceived(page, (msg) => msg.type === 'state' && msg.root === toolPath(session.root));
      assert.ok(state);
      assert.ok((await received(page)).length > before);
    }
    assert.equal(fs.readFileSync(path.join(session.dataDir, 'server-root.txt'), 'utf8'), toolPath(session.root));
  });

  it('picks several sound files through the filter with the keyboard and the mouse', async () => {
    const sounds = path.join(session.base, 'sounds');
    fs.mkdirSync(path.join(sounds, 'more'), { recursive: true });
    for (const name of ['roar.wav', 'STEP.OGG', 'notes.txt', 'song.mp3']) fs.writeFileSync(path.join(sounds, name), 'RIFF');
    await recordTraffic(page);
    await page.evaluate(() => window.chrome.webview.postMessage({ cmd: 'addSpeciesSounds', name: 'raptor' }));
    await pickerShown(page);
    assert.equal(await page.textContent('#picker-title'), 'Sound files for this species');
    assert.match(await page.textContent('.picker-filter'), /Sounds \(WAV, OGG\)\s*\*\.wav; \*\.ogg/);
    await goTo(page, toolPath(sounds));
    assert.deepEqual(await rowNames(page), ['more', 'roar.wav', 'STEP.OGG']);
    await page.click('.picker-row:nth-child(2)');
    await page.click('.picker-row:nth-child(3)', { modifiers: ['Control'] });
    assert.equal(await page.locator('.picker-row[aria-selected="true"]').count(), 2);
    await page.focus('.picker-list');
    await page.keyboard.press('Enter');
    await pickerGone(page);
    const msg = await waitReceived(page, (m) => m.type === 'speciesSounds');
    assert.deepEqual(msg, { type: 'speciesSounds', name: 'raptor', files: ['Sounds/roar.wav', 'Sounds/STEP.OGG'] });
    assert.ok(fs.existsSync(path.join(session.root, 'species', 'raptor', 'source', 'Sounds', 'STEP.OGG')));
  });

  it('cancels the command when the page reloads while the dialog is open', async () => {
    await page.evaluate(() => window.chrome.webview.postMessage({ cmd: 'addSpeciesSounds', name: 'raptor' }));
    await pickerShown(page);
    await page.reload({ waitUntil: 'domcontentloaded' });
    await waitLoaded(page);
    // The reloaded page's init is only answered once the waiting command has ended, and no
    // picker comes back: the dialog ended as cancelled with the old page.
    await recordTraffic(page);
    const start = Date.now();
    await page.evaluate(() => window.chrome.webview.postMessage({ cmd: 'refresh' }));
    await waitReceived(page, (m) => m.type === 'state', 8000);
    assert.ok(Date.now() - start < 8000);
    assert.equal(await page.$('.picker-layer'), null);
  });

  it('refuses a listing without an open dialog, without the token, or from another origin', async () => {
    assert.equal(await postFromPage(page, '/_host/dialog/list', { id: 1, path: toolPath('/') }), 403, 'no dialog open');
    await page.click('[data-action="pickFolder"]');
    await pickerShown(page);
    const id = (await received(page)).filter((m) => m.type === 'dialog').pop().id;
    assert.equal(await postFromPage(page, '/_host/dialog/list', { id, path: toolPath('/') }), 200, 'the page itself while open');

    // From outside the browser, with and without the page's cookie, token and origin. The
    // cookie is all another local web service could have learnt from the browser.
    const base = new URL(session.url).origin;
    const key = { 'X-Forgeset-Token': new URL(session.url).searchParams.get('token') };
    const [cookie] = await session.context.cookies(base);
    const listFrom = (headers) => fetch(`${base}/_host/dialog/list`, { method: 'POST', headers: { 'Content-Type': 'application/json', ...headers }, body: JSON.stringify({ id, path: toolPath('/') }) }).then((r) => r.status);
    const withCookie = { Cookie: `${cookie.name}=${cookie.value}`, ...key };
    assert.equal(await listFrom({ ...withCookie, Origin: base }), 200, 'cookie, token and origin: the page');
    assert.equal(await listFrom({ Cookie: `${cookie.name}=${cookie.value}`, Origin: base }), 403, 'the cookie alone');
    assert.equal(await listFrom({ ...key, Origin: base }), 403, 'no cookie');
    assert.equal(await listFrom({ ...withCookie, Origin: 'http://127.0.0.1:1' }), 403, 'another origin');
    assert.equal(await listFrom(withCookie), 403, 'no origin');

    await page.keyboard.press('Escape');
    await pickerGone(page);
    assert.equal(await postFromPage(page, '/_host/dialog/list', { id, path: toolPath('/') }), 403, 'after the dialog ended');
  });
});
