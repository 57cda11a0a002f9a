'use strict';
// The notice bar with notices the host really sends.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { startSession } = require('./harness.js');

const BAD_NAME = 'Resource names use letters, digits, _ and -.';
const CFG_SAVED = 'server.cfg saved. Restart the server to apply.';

const post = (page, message) => page.evaluate((m) => window.chrome.webview.postMessage(m), message);
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function noticeView(page) {
  return page.evaluate(() => {
    const bar = document.getElementById('notice');
    return { shown: !bar.hidden && bar.getClientRects().length > 0, text: bar.textContent, error: bar.classList.contains('error') };
  });
}

describe('notice bar', { timeout: 60000 }, () => {
  let session;
  let page;

  before(async () => {
    session = await startSession();
    page = session.page;
  });

  after(async () => {
    if (session) await session.close();
  });

  it('shows an error notice from the host and hides it five seconds later', async () => {
    await post(page, { cmd: 'newResource', name: 'bad name' });
    await page.waitForSelector('#notice:not([hidden])', { timeout: 5000 });
    const shownAt = Date.now();
    assert.deepEqual(await noticeView(page), { shown: true, text: BAD_NAME, error: true });

    await sleep(4300 - (Date.now() - shownAt));
    assert.equal((await noticeView(page)).shown, true, 'still there before five seconds');
    await page.waitForSelector('#notice', { state: 'hidden', timeout: 2500 });
    assert.ok(Date.now() - shownAt < 6800);
  });

  it('drops the error style for a notice that is not an error', async () => {
    await post(page, { cmd: 'newResource', name: 'bad name' });
    await page.waitForFunction(() => document.getElementById('notice').classList.contains('error'));
    await post(page, { cmd: 'saveCfg', sv_hostname: 'E2E server' });
    await page.waitForFunction((text) => document.getElementById('notice').textContent === text, CFG_SAVED);
    assert.deepEqual(await noticeView(page), { shown: true, text: CFG_SAVED, error: false });
  });

  it('keeps the bar five seconds from a notice that came three seconds after another', async () => {
    await post(page, { cmd: 'newResource', name: 'first one' });
    await page.waitForSelector('#notice:not([hidden])', { timeout: 5000 });
    await sleep(3000);
    await page.evaluate(() => {
      window.__noticeCount = 0;
      new MutationObserver(() => window.__noticeCount++).observe(document.getElementById('notice'), { childList: true });
    });
    await post(page, { cmd: 'newResource', name: 'second one' });
    await page.waitForFunction(() => window.__noticeCount > 0, null, { timeout: 5000 });
    const secondAt = Date.now();

    await sleep(4300 - (Date.now() - secondAt));
    assert.equal((await noticeView(page)).shown, true, 'the first notice\'s timer must not hide the second one');
    await page.waitForSelector('#notice', { state: 'hidden', timeout: 2500 });
  });
});
