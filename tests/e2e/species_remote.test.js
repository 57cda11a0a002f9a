'use strict';
// The Species page's remote build against the fake build service: signing in through the
// loopback listener, the build button's reasons, the upload and the job's progress, its log
// lines shown live, Cancel while it runs, Check it for a job handed over earlier, the
// installed package, and signing out.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const { TOOL, recordTraffic, received, sent, clearSent, waitNotice, waitReceived } = require('./harness.js');
const { checkTraffic, createSpecies, importFolder, modelFolder, saveAndWait, speciesSession } = require('./species_fixtures.js');

const SERVICE = process.env.FORGESET_FAKE_BUILD_SERVICE || path.join(path.dirname(TOOL), 'fakes', 'fake-build-service');

/** Starts the fake build service; resolves with its base URL and a stop(). */
function startService() {
  const child = spawn(SERVICE, ['--port', '0'], { stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((resolve, reject) => {
    let out = '';
    child.on('error', reject);
    child.stdout.on('data', (chunk) => {
      out += chunk;
      if (out.includes('\n')) resolve({ url: out.split('\n')[0].trim(), stop: () => child.kill('SIGTERM') });
    });
  });
}

async function script(service, body) {
  const response = await fetch(`${service.url}/_fake/script`, { method: 'POST', body: JSON.stringify(body) });
  assert.equal(response.status, 200);
}

const remoteShown = (page) => page.evaluate(() => {
  const box = document.getElementById('species-remote');
  return box ? box.textContent.trim() : '';
});

describe('Species page: the remote build', { timeout: 180000 }, () => {
  let service;
  let session;
  let page;

  before(async () => {
    service = await startService();
    // The job waits in the queue, runs for three polls with its log, then is done.
    await script(service, {
      partSize: 65536,
      job: { stages: [{ state: 'queued', position: 2, polls: 1 }, { state: 'running', polls: 3, log: ['Cooking {species}.', 'Packing {species}.'] }, { state: 'done' }] },
    });
    session = await speciesSession({ VARRAFORGESET_BUILD_URL: service.url });
    page = session.page;
    await createSpecies(page, 'raptor');
    await importFolder(page, modelFolder(session.base));
    await saveAndWait(page);
    await recordTraffic(page);
  });

  after(async () => {
    if (session) await session.close();
    if (service) service.stop();
  });

  it('asks for a sign-in first, and signs in through the browser and the loopback listener', async () => {
    assert.equal(await page.isDisabled('[data-action="build-remote"]'), true);
    assert.equal(await page.textContent('#species-remote-reason'), 'Sign in first.');
    await page.click('[data-action="sign-in"]');
    assert.deepEqual(await sent(page), [{ cmd: 'buildLogin' }]);
    const open = await waitReceived(page, (m) => m.type === 'openUrl');
    assert.ok(open.url.startsWith(`${service.url}/auth/steam?port=`));
    // The browser the owner signs in with follows the service's redirect to the listener.
    assert.equal((await fetch(open.url)).status, 200);
    assert.deepEqual(await waitNotice(page, 'Signed in'), { text: 'Signed in as Test User.', error: false });
    await page.waitForSelector('[data-action="sign-out"]');
    assert.match(await page.textContent('#species-build'), /Signed in as Test User/);
    assert.equal(await page.textContent('#species-remote-reason'), '');
  });

  it('uploads the named files, shows the job live and installs the package', async () => {
    await clearSent(page);
    await page.click('[data-action="build-remote"]');
    const [command] = await sent(page);
    assert.deepEqual(command, {
      cmd: 'buildRemote',
      name: 'raptor',
      files: 'Raptor.fbx|anims/Attack_Bite.fbx|anims/Attack_Bite_Left.fbx|anims/Idle.fbx|anims/Walk.fbx|anims/Walk_Left.fbx',
    });
    assert.deepEqual(await waitNotice(page, 'Uploaded.', 60000), { text: 'Uploaded. The build server takes it from here.', error: false });
    // While the job runs: its state, its log lines in the box, Cancel, and no second build.
    await page.waitForFunction(() => (document.getElementById('species-log') || {}).textContent === 'Cooking raptor.\nPacking raptor.', null, { timeout: 20000 });
    await page.waitForFunction(() => /running/.test((document.getElementById('species-remote') || {}).textContent || ''), null, { timeout: 20000 });
    assert.equal(await page.isVisible('[data-action="build-cancel"]'), true);
    assert.equal(await page.textContent('#species-remote-reason'), 'A build of this species is on its way.');
    assert.equal(await page.isDisabled('[data-action="build-local"]'), true);

    assert.deepEqual(await waitNotice(page, 'Build finished.', 30000), {
      text: 'Build finished. The species is in client-mods and server-mods. Restart the server to load it.',
      error: false,
    });
    await page.waitForFunction(() => document.getElementById('species-pak').textContent.includes('species_raptor.pak'));
    assert.equal(await remoteShown(page), 'donePak downloaded');
    assert.equal(await page.isVisible('[data-action="build-cancel"]'), false);
    assert.ok(fs.existsSync(path.join(session.root, 'server-mods', 'species_raptor.ucas')));
    const states = (await received(page)).filter((m) => m.type === 'speciesRemote').map((m) => m.state);
    assert.deepEqual(Array.from(new Set(states)), ['preparing', 'uploading', 'queued', 'running', 'done']);
  });

  it('cancels a build while it runs', async () => {
    await script(service, { job: { stages: [{ state: 'running', polls: 1000, log: ['Cooking {species}.'] }] } });
    await clearSent(page);
    await page.click('[data-action="build-remote"]');
    await page.waitForSelector('[data-action="build-cancel"]', { timeout: 60000 });
    await page.click('[data-action="build-cancel"]');
    assert.deepEqual((await sent(page)).map((m) => m.cmd), ['buildRemote', 'buildCancel']);
    assert.deepEqual(await waitNotice(page, 'Build cancelled.', 30000), { text: 'Build cancelled.', error: false });
    await page.waitForFunction(() => /^cancelled/.test(document.getElementById('species-remote').textContent.trim()));
    assert.equal(await page.isVisible('[data-action="build-cancel"]'), false);
    await page.waitForFunction(() => !document.querySelector('[data-action="build-remote"]').disabled);
  });

  it('offers Check it for a job handed over earlier and follows it to the end', async () => {
    await script(service, { jobs: [{ id: 'job-earlier', species: 'raptor', stages: [{ state: 'running', log: ['Resumed {species}.'] }, { state: 'done' }] }] });
    fs.writeFileSync(path.join(session.root, 'species', 'raptor', 'build', 'remote-job.txt'), 'job-earlier');
    await page.evaluate(() => window.chrome.webview.postMessage({ cmd: 'speciesRefresh' }));
    await page.waitForSelector('[data-action="build-resume"]');
    assert.equal(await page.textContent('#species-remote-reason'), 'A build of this species is on its way.');
    await clearSent(page);
    await page.click('[data-action="build-resume"]');
    assert.deepEqual(await sent(page), [{ cmd: 'buildResume', name: 'raptor' }]);
    assert.deepEqual(await waitNotice(page, 'Build finished.', 30000), {
      text: 'Build finished. The species is in client-mods and server-mods. Restart the server to load it.',
      error: false,
    });
    await page.waitForSelector('[data-action="build-resume"]', { state: 'detached' });
    assert.equal(fs.existsSync(path.join(session.root, 'species', 'raptor', 'build', 'remote-job.txt')), false);
  });

  it('signs out', async () => {
    await page.click('[data-action="sign-out"]');
    assert.deepEqual(await waitNotice(page, 'Signed out'), { text: 'Signed out of the build service.', error: false });
    await page.waitForSelector('[data-action="sign-in"]');
    assert.equal(await page.textContent('#species-remote-reason'), 'Sign in first.');
    await checkTraffic(page);
    assert.deepEqual(session.pageErrors, []);
  });
});
