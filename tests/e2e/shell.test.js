'use strict';
// The page shell against the real browser host: loading, the answer to init, tabs, the title
// bar and three.js through the import map.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { startSession, recordTraffic, sent, clearSent } = require('./harness.js');

const TABS = ['server', 'resources', 'skins', 'ai', 'species', 'studio'];

async function selectedState(page) {
  return page.evaluate(() => ({
    selected: Array.from(document.querySelectorAll('[role="tab"]'))
      .filter((tab) => tab.getAttribute('aria-selected') === 'true')
      .map((tab) => tab.dataset.tab),
    visible: Array.from(document.querySelectorAll('[role="tabpanel"]'))
      .filter((panel) => !panel.hidden && panel.getClientRects().length > 0)
      .map((panel) => panel.id),
    focused: document.activeElement && document.activeElement.dataset ? document.activeElement.dataset.tab || null : null,
  }));
}

describe('page shell in the browser host', { timeout: 60000 }, () => {
  let session;
  let page;

  before(async () => {
    session = await startSession();
    page = session.page;
  });

  after(async () => {
    if (session) await session.close();
  });

  it('loads with its title and the server tab selected', async () => {
    assert.equal(await page.title(), 'Varra Forgeset Server Tool');
    assert.deepEqual(await selectedState(page).then((s) => [s.selected, s.visible]), [['server'], ['panel-server']]);
    assert.equal(await page.isHidden('#notice'), true);
  });

  it('gets the state as the answer to init and draws the server folder from it', async () => {
    assert.equal(await page.evaluate(() => document.body.dataset.loaded), 'true');
    const text = await page.textContent('#panel-server');
    assert.ok(text.includes(session.root), `server panel shows the root: ${text}`);
  });

  it('switches tabs with clicks, one selected tab and one visible panel at a time', async () => {
    for (const key of [...TABS.slice(1), TABS[0]]) {
      await page.click(`#tab-${key}`);
      const state = await selectedState(page);
      assert.deepEqual(state.selected, [key]);
      assert.deepEqual(state.visible, [`panel-${key}`]);
    }
  });

  it('moves along the tabs with the arrow keys, wrapping at both ends', async () => {
    await page.click('#tab-server');
    await page.keyboard.press('ArrowLeft');
    let state = await selectedState(page);
    assert.deepEqual([state.selected, state.visible, state.focused], [['studio'], ['panel-studio'], 'studio']);

    await page.keyboard.press('ArrowRight');
    state = await selectedState(page);
    assert.deepEqual([state.selected, state.visible, state.focused], [['server'], ['panel-server'], 'server']);

    const seen = [];
    for (let i = 0; i < TABS.length; i++) {
      await page.keyboard.press('ArrowRight');
      seen.push((await selectedState(page)).selected[0]);
    }
    assert.deepEqual(seen, [...TABS.slice(1), TABS[0]]);
  });

  it('leaves the tabs alone on other keys', async () => {
    await page.click('#tab-skins');
    await page.keyboard.press('ArrowDown');
    await page.keyboard.press('Home');
    assert.deepEqual((await selectedState(page)).selected, ['skins']);
    await page.click('#tab-server');
  });

  it('turns presses in the title bar into window commands, but not on tabs or buttons', async () => {
    await recordTraffic(page);
    await clearSent(page);
    const brand = await page.locator('.brand-name').boundingBox();
    await page.mouse.move(brand.x + 5, brand.y + 5);
    await page.mouse.down();
    await page.mouse.up();
    assert.deepEqual(await sent(page), [{ cmd: 'dragWindow' }]);

    await clearSent(page);
    await page.mouse.down({ button: 'right' });
    await page.mouse.up({ button: 'right' });
    await page.click('#tab-resources');
    await page.click('#tab-server');
    assert.deepEqual(await sent(page), [], 'right presses and tab clicks move nothing');

    await clearSent(page);
    await page.dblclick('.brand-name');
    const afterDouble = await sent(page);
    assert.deepEqual(afterDouble.filter((m) => m.cmd !== 'dragWindow'), [{ cmd: 'winMax' }]);

    await clearSent(page);
    await page.click('#win-min');
    await page.click('#win-max');
    assert.deepEqual(await sent(page), [{ cmd: 'winMin' }, { cmd: 'winMax' }]);
  });

  it('loads three.js through the import map', async () => {
    await page.waitForFunction(() => window.threeRevision !== undefined, null, { timeout: 10000 });
    assert.equal(await page.evaluate(() => window.threeRevision), '184');
  });

  it('raised no script errors', () => {
    assert.deepEqual(session.pageErrors, []);
  });
});
