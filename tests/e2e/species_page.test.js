'use strict';
// The Species page against the real browser host and the real asset helper: creating a
// species, importing a folder of assimp's animated test model under role and attack names,
// taking the import over and linking it, editing and saving (species.json checked on disk),
// building locally with the fake pwsh, the build section's reasons, live log and pak line,
// and a broken species.json.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { recordTraffic, received, sent, clearSent, toolPath, waitNotice, waitReceived } = require('./harness.js');
const { MODEL_TAKE, SAVED, checkTraffic, createSpecies, importFolder, modelFolder, saveAndWait, speciesSession, tempFile } = require('./species_fixtures.js');

const SHOTS = process.env.FORGESET_SHOTS || '';

// The animations an import of modelFolder finds.
const ANIMATION_FILES = [...(MODEL_TAKE ? ['Raptor.fbx'] : []), 'anims/Attack_Bite.fbx', 'anims/Attack_Bite_Left.fbx', 'anims/Idle.fbx', 'anims/Walk.fbx', 'anims/Walk_Left.fbx'];

const workspace = (session, name) => path.join(session.root, 'species', name);
const readDoc = (session, name) => JSON.parse(fs.readFileSync(path.join(workspace(session, name), 'species.json'), 'utf8'));

/** Picks an animation in one of the page's animation selects, which fill when touched. */
async function pickAnimation(page, selector, id) {
  await page.focus(selector);
  await page.selectOption(selector, id);
}

/** Types into a field and commits it as leaving the field does. */
async function commit(page, selector, text) {
  await page.fill(selector, text);
  await page.press(selector, 'Enter');
}

describe('Species page: create, import, link, save and build', { timeout: 180000 }, () => {
  let session;
  let page;

  before(async () => {
    const output = tempFile('pwsh-output', 'Species: raptor\r\nChecking the model\r\n\r\nBUILD OK\r\n');
    session = await speciesSession({ FAKE_PWSH_OUTPUT: toolPath(output), FAKE_PWSH_PACKAGES: '1' });
    session.close = ((close) => async () => {
      await close();
      fs.rmSync(output, { force: true });
    })(session.close);
    page = session.page;
    await recordTraffic(page);
  });

  after(async () => {
    if (session) await session.close();
  });

  it('refuses bad names, creates a species and saves it at once', async () => {
    for (const [typed, notice] of [['Bad-Name', 'Names use 1 to 32 characters of a-z, 0-9 and _.'], ['_raptor', 'Names use 1 to 32 characters of a-z, 0-9 and _.']]) {
      await page.fill('#species-new-name', typed);
      await page.click('[data-action="create-species"]');
      assert.deepEqual(await waitNotice(page, 'Names'), { text: notice, error: true });
    }
    await page.selectOption('#species-new-template', 'tyrannosaurus');
    await createSpecies(page, ' Raptor ', 'Swift raptor');
    assert.equal(await page.textContent('#species-name'), 'raptor');
    const doc = readDoc(session, 'raptor');
    assert.deepEqual([doc.version, doc.name, doc.label, doc.template, doc.source.mesh], [1, 'raptor', 'Swift raptor', 'tyrannosaurus', '']);
    assert.ok(fs.statSync(path.join(workspace(session, 'raptor'), 'source')).isDirectory());
    await page.fill('#species-new-name', 'raptor');
    await page.click('[data-action="create-species"]');
    assert.deepEqual(await waitNotice(page, 'A species'), { text: 'A species called "raptor" exists already.', error: true });
    await page.fill('#species-new-name', '');
    await checkTraffic(page);
  });

  it('blocks both builds until there is a model, with the reason shown', async () => {
    assert.equal(await page.isDisabled('[data-action="build-local"]'), true);
    assert.equal(await page.textContent('#species-local-reason'), 'Import a model first.');
    assert.equal(await page.textContent('#species-remote-reason'), 'Sign in first.');
    assert.equal(await page.textContent('#species-pak'), 'Not built yet.');
  });

  it('imports a folder through the page’s picker, takes it over and links it', async () => {
    const folder = modelFolder(session.base);
    await clearSent(page);
    assert.deepEqual(await importFolder(page, folder), { text: 'Linked 5 animations from their file names.', error: false });
    assert.deepEqual(await sent(page), [{ cmd: 'importSpecies', name: 'raptor' }]);
    assert.ok(fs.existsSync(path.join(workspace(session, 'raptor'), 'source', 'anims', 'Walk_Left.fbx')));
    assert.equal(fs.existsSync(path.join(workspace(session, 'raptor'), 'source', 'notes.txt')), false);

    assert.equal(await page.textContent('#species-mesh'), 'Raptor.fbx');
    assert.equal(await page.isVisible('#species-unsaved'), true);
    const idle = 'select[data-scope="role-anim"][data-role="idle"]';
    assert.equal(await page.inputValue(idle), 'idle');
    // Its other choices are added when it is first touched, and the choice stays.
    assert.equal(await page.$eval(idle, (el) => el.options.length), 1);
    await page.focus(idle);
    // One choice per animation, and none.
    assert.deepEqual(await page.$eval(idle, (el) => [el.options.length, el.value]), [ANIMATION_FILES.length + 1, 'idle']);
    // Walk got two positions, so it shows its direction grid with both cells filled.
    assert.equal(await page.isChecked('input[data-scope="role-grid"][data-role="walk"]'), true);
    const cells = await page.$$eval('[data-action="grid-cell"][data-role="walk"].filled', (els) => els.map((el) => [el.dataset.x, el.dataset.y, el.textContent]));
    assert.deepEqual(cells, [['-0.5', '0', 'walk_left'], ['0', '0', 'walk']]);
    assert.equal(await page.textContent('.sp-attack-item.selected .row-title'), 'attack_bite');
    assert.equal(await page.inputValue('select[data-scope="attack"][data-f="animationLeft"]'), 'attack_bite_left');
    assert.equal(await page.textContent('#species-local-reason'), 'Save first.');
  });

  it('edits roles, stats and an attack, checks before saving and writes species.json', async () => {
    // A second grid cell for walk, chosen on the grid and filled from its select.
    await page.click('[data-action="grid-cell"][data-role="walk"][data-x="0.5"][data-y="0"]');
    await pickAnimation(page, 'select[data-scope="role-cell"][data-role="walk"]', 'walk_left');
    // The page is drawn again, and the keyboard stays where it was.
    assert.equal(await page.evaluate(() => document.activeElement.dataset.focus), 'pick:walk');
    await commit(page, 'input[data-scope="role-rate"][data-role="idle"]', '0,5');
    await page.selectOption('select[data-scope="stat-mode"][data-stat="health"]', 'multiply');
    await commit(page, 'input[data-scope="stat-value"][data-stat="health"]', '1.5');
    await page.selectOption('select[data-scope="stat-mode"][data-stat="runSpeed"]', 'set');
    await commit(page, 'input[data-scope="stat-value"][data-stat="runSpeed"]', '99999');
    assert.equal(await page.inputValue('input[data-scope="stat-value"][data-stat="runSpeed"]'), '20000');
    await commit(page, 'input[data-scope="doc"][data-f="thresholds.run"]', '650');
    await commit(page, 'input[data-scope="attack"][data-f="hit.range"]', '4,5');

    await commit(page, 'input[data-scope="attack-id"]', 'Big Bite');
    await page.click('#species-save');
    assert.deepEqual(await waitNotice(page, 'Attack id'), { text: 'Attack id "big bite" needs 1 to 32 characters of a-z, 0-9 and _.', error: true });
    // Typed and saved in one go: leaving the field commits it, and the click still lands.
    await page.fill('input[data-scope="attack-id"]', 'bite');
    assert.deepEqual(await saveAndWait(page), { text: SAVED, error: false });

    const doc = readDoc(session, 'raptor');
    assert.equal(doc.source.mesh, 'Raptor.fbx');
    assert.deepEqual(doc.source.animations.map((a) => a.file), ANIMATION_FILES);
    assert.deepEqual(doc.source.textures, [{ slot: 'Body', diffuse: 'T_Body_D.png' }]);
    assert.deepEqual(doc.animations, {
      idle: { anim: 'idle', rate: 0.5 },
      walk: { blend: [{ anim: 'walk', x: 0, y: 0 }, { anim: 'walk_left', x: -0.5, y: 0 }, { anim: 'walk_left', x: 0.5, y: 0 }], rate: 1 },
    });
    assert.deepEqual(doc.stats, { health: { factor: 1.5 }, runSpeed: 20000 });
    assert.deepEqual(doc.thresholds, { run: 650 });
    assert.deepEqual([doc.attacks.length, doc.attacks[0].id, doc.attacks[0].key, doc.attacks[0].hit.range], [1, 'bite', 'LeftMouseButton', 450]);
    // The document on disk is what the page would send again: 2-space indented.
    assert.match(fs.readFileSync(path.join(workspace(session, 'raptor'), 'species.json'), 'utf8'), /^{\n {2}"version": 1,/);
    assert.equal(await page.isHidden('#species-unsaved'), true);
  });

  it('keeps what is being typed when the host sends the species again', async () => {
    const label = 'input[data-scope="doc"][data-f="label"]';
    await page.click(label);
    await page.keyboard.press('End');
    await page.keyboard.type(' II');
    const count = (await received(page)).filter((m) => m.type === 'species').length;
    await page.evaluate(() => window.chrome.webview.postMessage({ cmd: 'speciesRefresh' }));
    // The recorder listens after the page, so once it has the message the page has drawn it.
    await page.waitForFunction((n) => window.__received.filter((m) => m && m.type === 'species').length > n, count);
    await page.keyboard.type('I');
    assert.equal(await page.inputValue(label), 'Swift raptor III');
    assert.equal(await page.evaluate(() => document.activeElement.dataset.focus), 'doc:label');
    await page.press(label, 'Enter');
    assert.equal(await page.textContent('#species-list [data-name="raptor"] .row-detail'), 'Swift raptor III');
    assert.deepEqual(await saveAndWait(page), { text: SAVED, error: false });
    assert.equal(readDoc(session, 'raptor').label, 'Swift raptor III');
  });

  it('builds locally: live log lines, the success notice, the stored log and the pak line', async () => {
    assert.equal(await page.textContent('#species-local-reason'), '');
    await clearSent(page);
    await page.click('[data-action="build-local"]');
    assert.deepEqual(await waitNotice(page, 'Build finished.'), {
      text: 'Build finished. The species is in client-mods and server-mods. Restart the server to load it.',
      error: false,
    });
    assert.deepEqual(await sent(page), [{ cmd: 'buildSpecies', name: 'raptor' }]);
    await waitReceived(page, (m) => m.type === 'speciesLog' && m.line === 'BUILD OK');
    await page.waitForFunction(() => document.getElementById('species-pak').textContent.includes('species_raptor.pak'));
    assert.equal((await page.textContent('#species-pak')).trim(), 'built client-mods\\species_raptor.pak');
    const lines = (await received(page)).filter((m) => m.type === 'speciesLog').map((m) => [m.name, m.line]);
    assert.deepEqual(lines, [['raptor', 'Species: raptor'], ['raptor', 'Checking the model'], ['raptor', ''], ['raptor', 'BUILD OK']]);
    // Once the build has ended, the box shows the log it left in the workspace.
    // (markup turns its CR LF line ends into LF)
    const stored = fs.readFileSync(path.join(workspace(session, 'raptor'), 'build', 'build.log'), 'utf8').replace(/\r\n/g, '\n');
    assert.match(stored, /^Species: raptor\n/);
    await page.waitForFunction((text) => document.getElementById('species-log').textContent === text, stored);
    assert.deepEqual(session.pageErrors, []);
    if (SHOTS) await page.screenshot({ path: path.join(SHOTS, 'species-page.png') });
  });

  it('reports a broken species.json, keeps it listed and replaces it on save', async () => {
    fs.mkdirSync(path.join(session.root, 'species', 'broken'), { recursive: true });
    fs.writeFileSync(path.join(session.root, 'species', 'broken', 'species.json'), '{"label": "Half');
    await page.evaluate(() => window.chrome.webview.postMessage({ cmd: 'speciesRefresh' }));
    assert.deepEqual(await waitNotice(page, 'species.json'), { text: 'species.json is not valid JSON. Saving replaces it.', error: true });
    await page.click('#species-list [data-name="broken"]');
    assert.equal(await page.isDisabled('#species-save'), false);
    assert.equal(await page.textContent('#species-local-reason'), 'Save first.');
    assert.deepEqual(await saveAndWait(page), { text: SAVED, error: false });
    assert.deepEqual([readDoc(session, 'broken').name, readDoc(session, 'broken').label], ['broken', '']);
  });

  it('shows a species.json of the wrong shape without sending anything, and saves it by the schema', async () => {
    const hostile = {
      label: 'L'.repeat(5 * 1024 * 1024),
      template: 42,
      source: { mesh: ['x'], animations: 'none', sounds: [{ id: 'a' }] },
      stats: 'strong',
      animations: [1, 2],
      attacks: Array.from({ length: 10000 }, (_, i) => ({ id: `a${i}`, damage: '9', animation: 'bite' })),
    };
    fs.mkdirSync(workspace(session, 'odd'), { recursive: true });
    fs.writeFileSync(path.join(workspace(session, 'odd'), 'species.json'), JSON.stringify(hostile));
    await clearSent(page);
    await page.evaluate(() => window.chrome.webview.postMessage({ cmd: 'speciesRefresh' }));
    await page.click('#species-list [data-name="odd"]', { timeout: 15000 });
    assert.equal(await page.textContent('#species-name'), 'odd');
    assert.deepEqual(await sent(page), [{ cmd: 'speciesRefresh' }], 'nothing is sent before a save');
    assert.equal(await page.textContent('#species-attacks .hint'), '16 of 16');
    await page.fill('input[data-scope="doc"][data-f="label"]', 'Odd one');
    assert.deepEqual(await saveAndWait(page), { text: SAVED, error: false });
    const doc = readDoc(session, 'odd');
    assert.deepEqual([doc.label, doc.template, doc.source.mesh, doc.source.animations, doc.source.sounds], ['Odd one', 'deinosuchus', '', [], []]);
    assert.deepEqual([doc.stats, doc.animations, doc.attacks.length, doc.attacks[0].damage], [{}, {}, 16, 50]);
  });

  it('removes a species only on the second click and keeps its folder', async () => {
    await page.click('#species-list [data-name="broken"]');
    await page.click('[data-action="delete"]');
    assert.equal(await page.textContent('[data-action="delete"]'), 'Remove it? Click again');
    await page.click('[data-action="delete"]');
    const notice = await waitNotice(page, 'Removed.');
    assert.match(notice.text, /^Removed\. The folder was kept as _deleted_broken_\d+\.$/);
    await page.waitForFunction(() => !document.querySelector('#species-list [data-name="broken"]'));
    // The first species in the list is shown instead.
    assert.equal(await page.textContent('#species-name'), 'odd');
    assert.ok(fs.readdirSync(path.join(session.root, 'species')).some((n) => /^_deleted_broken_\d+$/.test(n)));
    await checkTraffic(page);
  });
});
