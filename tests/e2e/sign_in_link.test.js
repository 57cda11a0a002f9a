'use strict';
// Sign-in with Steam from the page of the browser host: the host shows the sign-in address as
// a link (no desktop browser is started for it here), the person clicks it, the fake service
// sends the browser on to the tool's loopback listener, and the page reports the sign-in.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const readline = require('node:readline');
const { startSessionWith, waitNotice } = require('./harness.js');

const REPO = path.resolve(__dirname, '..', '..');
const TOOL = process.env.FORGESET_TOOL || path.join(REPO, 'build', 'forgeset-server-tool');
const FAKE_SERVICE = process.env.FORGESET_FAKE_BUILD_SERVICE || path.join(path.dirname(TOOL), 'fakes', 'fake-build-service');
const FAKES = path.join(REPO, 'tests', 'fakes');

/** Starts the fake build service; resolves with its child and its base URL. */
function startService() {
  const child = spawn(FAKE_SERVICE, [], { stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((resolve, reject) => {
    child.on('error', reject);
    readline.createInterface({ input: child.stdout }).once('line', (url) => resolve({ child, url }));
  });
}

describe('sign-in link in the browser host', { timeout: 60000 }, () => {
  let service;
  let session;
  let opened;

  before(async () => {
    service = await startService();
    opened = path.join(fs.mkdtempSync(path.join(require('node:os').tmpdir(), 'forgeset-open-')), 'opened.txt');
    session = await startSessionWith({
      env: {
        VARRAFORGESET_BUILD_URL: service.url,
        PATH: FAKES + ':' + process.env.PATH,
        FAKE_XDG_OPEN_LOG: opened,
        no_proxy: '*',
      },
    });
  });

  after(async () => {
    if (session) await session.close();
    if (service) service.child.kill('SIGTERM');
    fs.rmSync(path.dirname(opened), { recursive: true, force: true });
  });

  it('shows the address as a link that completes the sign-in when clicked', async () => {
    const page = session.page;
    await page.evaluate(() => window.chrome.webview.postMessage({ cmd: 'buildLogin' }));
    const link = page.locator('#open-link a');
    await link.waitFor({ state: 'visible', timeout: 10000 });
    const href = await link.getAttribute('href');
    assert.match(href, new RegExp('^' + service.url + '/auth/steam\\?port=\\d+&state=[0-9a-f]{32}$'));
    assert.equal(await link.getAttribute('target'), '_blank');
    // The desktop opener was asked too, with the same address.
    assert.equal(fs.readFileSync(opened, 'utf8').trim(), href);

    const [tab] = await Promise.all([session.context.waitForEvent('page'), link.click()]);
    await tab.waitForLoadState('domcontentloaded');
    assert.match(await tab.textContent('body'), /^Signed in\. You can close this tab/);
    assert.deepEqual(await waitNotice(page, 'Signed in as'), { text: 'Signed in as Test User.', error: false });
    assert.equal(await page.locator('#open-link').isHidden(), true);
    const stored = JSON.parse(fs.readFileSync(path.join(session.dataDir, 'build-auth.json'), 'utf8'));
    assert.equal(stored.token, 'test-token');
    assert.deepEqual(session.pageErrors, []);
  });
});
