'use strict';
// A script error in the page reaches the host only as a string, which the host drops: no
// notice, no command, and the page and host keep working.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { startSession, recordTraffic, sent, received } = require('./harness.js');

describe('global error hook', { timeout: 30000 }, () => {
  let session;
  let page;

  before(async () => {
    session = await startSession();
    page = session.page;
    await recordTraffic(page);
  });

  after(async () => {
    if (session) await session.close();
  });

  it('posts a page error to the host as a JSON string and the host stays quiet', async () => {
    await page.evaluate(() => setTimeout(() => {
      throw new Error('deliberate <failure>');
    }, 0));
    await page.waitForFunction(() => window.__sent.some((m) => typeof m === 'string'), null, { timeout: 5000 });

    const posted = (await sent(page)).filter((m) => typeof m === 'string');
    assert.equal(posted.length, 1);
    const report = JSON.parse(posted[0]);
    assert.equal(report.cmd, 'jsError');
    assert.match(report.msg, /deliberate <failure>/);
    assert.equal(typeof report.line, 'number');

    await new Promise((resolve) => setTimeout(resolve, 1000));
    assert.deepEqual(await received(page), [], 'the host answers nothing');
    assert.equal(await page.isHidden('#notice'), true);
  });

  it('keeps the page and the host working afterwards', async () => {
    await page.click('#tab-skins');
    assert.equal(await page.getAttribute('#tab-skins', 'aria-selected'), 'true');
    await page.evaluate(() => window.chrome.webview.postMessage({ cmd: 'refresh' }));
    await page.waitForFunction(() => window.__received.some((m) => m && m.type === 'state'), null, { timeout: 5000 });
    const state = (await received(page)).find((m) => m.type === 'state');
    assert.equal(state.root, session.root);
    assert.equal(state.found, true);
    assert.equal(session.tool.child.exitCode, null, 'host still running');
  });
});
