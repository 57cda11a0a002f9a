'use strict';
// The Server and Resources pages as a person uses them, checked on disk afterwards.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const {
  startSession, recordTraffic, sent, clearSent, nextState, refreshState,
  holdCommands, heldCommands, noticeShown, clearNotice, fillLargeServer, timeMessageHandling, stateHandlingTimes,
  rowTexts, toolPath,
} = require('./harness.js');

const CFG_SAVED = 'server.cfg saved. Restart the server to apply.';
const BAD_NAME = 'Resource names use letters, digits, _ and -.';

const read = (file) => fs.readFileSync(file, 'latin1');

describe('Server page', { timeout: 90000 }, () => {
  let session;
  let page;
  let cfgFile;

  before(async () => {
    session = await startSession();
    page = session.page;
    cfgFile = path.join(session.root, 'server.cfg');
    await recordTraffic(page);
    await holdCommands(page, ['open', 'startRunner', 'pickFolder']);
  });

  after(async () => {
    if (session) await session.close();
  });

  it('shows the folder, the runner and the missing plugin with their badges', async () => {
    const rows = await page.$$eval('#panel-server .status-row', (els) => els.map((el) => el.innerText.replace(/\s+/g, ' ').trim()));
    assert.equal(rows.length, 3);
    assert.ok(rows[0].startsWith('found Folder set ') && rows[0].endsWith(toolPath(session.root)), rows[0]);
    assert.equal(rows[1], 'found Runner VarraForgesetServer.exe starts the game server and injects the plugin');
    assert.equal(rows[2], 'missing Server plugin server-plugin\\build\\varra-forgeset-server.dll');
  });

  it('sends one command per button', async () => {
    await clearSent(page);
    for (const label of ['Choose folder', 'Open', 'Start server', 'Owner guide']) {
      await page.click(`#panel-server button:text-is("${label}")`);
    }
    assert.deepEqual(await heldCommands(page), [
      { cmd: 'pickFolder' }, { cmd: 'open', what: 'root' }, { cmd: 'startRunner' }, { cmd: 'open', what: 'docs' },
    ]);
  });

  it('follows the plugin and the runner on disk', async () => {
    const plugin = path.join(session.base, 'server-plugin', 'build');
    fs.mkdirSync(plugin, { recursive: true });
    fs.writeFileSync(path.join(plugin, 'varra-forgeset-server.dll'), 'dll');
    fs.renameSync(path.join(session.root, 'VarraForgesetServer.exe'), path.join(session.base, 'runner.bak'));
    try {
      await refreshState(page);
      const badges = await page.$$eval('#panel-server .status-row .badge', (els) => els.map((el) => el.textContent));
      assert.deepEqual(badges, ['found', 'missing', 'found']);
      assert.equal(await page.isDisabled('#panel-server button:text-is("Start server")'), true);
      assert.equal(await page.isEnabled('#panel-server button:text-is("Open")'), true);
    } finally {
      fs.renameSync(path.join(session.base, 'runner.bak'), path.join(session.root, 'VarraForgesetServer.exe'));
    }
    await refreshState(page);
    assert.equal(await page.isEnabled('#panel-server button:text-is("Start server")'), true);
  });

  it('saves the ten settings, trimmed, and keeps every other line of server.cfg', async () => {
    fs.writeFileSync(cfgFile, [
      '# my server',
      'sv_hostname    Old Name  ',
      '',
      'sv_port 7000',
      'sv_custom keep me',
      'sv_port 7001',
      'load greeter',
      '',
    ].join('\n'));
    await refreshState(page);
    assert.equal(await page.inputValue('#cfg-sv_hostname'), 'Old Name  ');
    assert.equal(await page.inputValue('#cfg-sv_port'), '7000');

    const typed = {
      sv_hostname: '  My Server  ',
      sv_map: 'Gateway',
      sv_maxplayers: '32',
      sv_port: '7777',
      sv_httpport: '8080',
      sv_scriptport: '8081',
      sv_publicip: ' 203.0.113.5 ',
      sv_gamedir: 'C:\\Games\\Varra "Dedicated"',
      sv_admins: '7656119, 7656120',
      sv_rconpassword: 'p#ss word',
    };
    for (const [key, value] of Object.entries(typed)) await page.fill(`#cfg-${key}`, value);
    await clearNotice(page);
    const state = await nextState(page, () => page.click('#panel-server button:text-is("Save")'));

    assert.equal(read(cfgFile), [
      '# my server',
      'sv_hostname My Server',
      '',
      'sv_port 7777',
      'sv_custom keep me',
      'sv_port 7001',
      'load greeter',
      'sv_maxplayers 32',
      'sv_map Gateway',
      'sv_httpport 8080',
      'sv_scriptport 8081',
      'sv_publicip 203.0.113.5',
      'sv_admins 7656119, 7656120',
      'sv_gamedir C:\\Games\\Varra "Dedicated"',
      'sv_rconpassword p#ss word',
      '',
    ].join('\r\n'));
    assert.deepEqual(await noticeShown(page), { shown: true, text: CFG_SAVED, error: false });
    assert.equal(state.cfg.sv_hostname, 'My Server');
    assert.equal(await page.inputValue('#cfg-sv_hostname'), 'My Server', 'the inputs show what the file now holds');
    assert.equal(await page.locator('#panel-server input.dirty').count(), 0);
  });

  it('sends every key even when nothing was typed, leaving the file as it was', async () => {
    const beforeSave = read(cfgFile);
    await clearSent(page);
    await nextState(page, () => page.click('#panel-server button:text-is("Save")'));
    const saves = (await sent(page)).filter((m) => m.cmd === 'saveCfg');
    assert.equal(saves.length, 1);
    assert.deepEqual(Object.keys(saves[0]), ['cmd', 'sv_hostname', 'sv_maxplayers', 'sv_map', 'sv_port', 'sv_httpport',
      'sv_scriptport', 'sv_publicip', 'sv_admins', 'sv_gamedir', 'sv_rconpassword']);
    assert.equal(read(cfgFile), beforeSave);
  });

  it('keeps unsaved typing, and the caret, through a state message from another command', async () => {
    await page.fill('#cfg-sv_map', 'Island');
    await page.fill('#cfg-sv_hostname', 'Half typed');
    await page.focus('#cfg-sv_hostname');
    await page.keyboard.press('End');
    await page.keyboard.press('ArrowLeft');
    await refreshState(page);
    assert.equal(await page.inputValue('#cfg-sv_map'), 'Island');
    assert.equal(await page.inputValue('#cfg-sv_hostname'), 'Half typed');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'cfg-sv_hostname');
    assert.equal(await page.evaluate(() => document.activeElement.selectionStart), 'Half typed'.length - 1);
    await page.keyboard.type('!');
    assert.equal(await page.inputValue('#cfg-sv_hostname'), 'Half type!d');

    // A switch on the Resources page is another command; the typing is still there after it.
    await page.click('#tab-resources');
    await nextState(page, () => page.click('#panel-resources input[aria-label="greeter"]'));
    await nextState(page, () => page.click('#panel-resources input[aria-label="greeter"]'));
    await page.click('#tab-server');
    assert.equal(await page.inputValue('#cfg-sv_map'), 'Island');
    assert.equal(await page.locator('#panel-server input.dirty').count(), 2);

    await nextState(page, () => page.click('#panel-server button:text-is("Save")'));
    const text = read(cfgFile);
    assert.match(text, /\r\nsv_map Island\r\n/);
    assert.match(text, /\r\nsv_hostname Half type!d\r\n/);
  });

  it('draws a hostile root and values as text', async () => {
    fs.writeFileSync(cfgFile, 'sv_hostname <img src=x onerror="window.__pwned=1">\r\nsv_admins "><b id=evil>x</b>\r\n');
    await refreshState(page);
    assert.equal(await page.inputValue('#cfg-sv_hostname'), '<img src=x onerror="window.__pwned=1">');
    assert.equal(await page.inputValue('#cfg-sv_admins'), '"><b id=evil>x</b>');
    assert.equal(await page.locator('#evil, #panel-server img').count(), 0);
    assert.equal(await page.evaluate(() => window.__pwned), undefined);
  });

  it('raised no script errors', () => {
    assert.deepEqual(session.pageErrors, []);
  });
});

describe('Resources page', { timeout: 90000 }, () => {
  let session;
  let page;
  let cfgFile;
  let resources;

  const resourceRows = () => rowTexts(page, '#panel-resources .resource-list li');

  before(async () => {
    session = await startSession();
    page = session.page;
    cfgFile = path.join(session.root, 'server.cfg');
    resources = path.join(session.root, 'resources');
    await recordTraffic(page);
    await holdCommands(page, ['open']);
    fs.mkdirSync(path.join(resources, 'scripts_only'));
    fs.writeFileSync(path.join(resources, 'scripts_only', 'server.lua'), '');
    fs.mkdirSync(path.join(resources, 'full'));
    for (const f of ['manifest.lua', 'server.lua', 'client.lua']) fs.writeFileSync(path.join(resources, 'full', f), '');
    fs.mkdirSync(path.join(resources, '<b id="evil">x&\''));
    fs.mkdirSync(path.join(resources, '.hidden'));
    await page.click('#tab-resources');
    await refreshState(page);
  });

  after(async () => {
    if (session) await session.close();
  });

  it('lists each resource with what it holds and a switch that only works with a manifest', async () => {
    const rows = await resourceRows();
    assert.deepEqual(rows.slice().sort(), ['<b id="evil">x&\' no manifest.lua', 'full server · client', 'greeter empty', 'scripts_only server · no manifest.lua'].sort());
    const switches = await page.$$eval('#panel-resources .resource-list input.switch', (els) => els.map((el) => [el.getAttribute('aria-label'), el.checked, el.disabled]));
    const byName = Object.fromEntries(switches.map(([name, on, off]) => [name, [on, off]]));
    assert.deepEqual(byName, { greeter: [true, false], full: [false, false], scripts_only: [false, true], '<b id="evil">x&\'': [false, true] });
    assert.equal(await page.locator('#evil').count(), 0);
  });

  it('switches a resource on and off through its load line', async () => {
    await nextState(page, () => page.click('#panel-resources input[aria-label="full"]'));
    assert.equal(read(cfgFile), 'sv_hostname E2E server\r\nload greeter\r\nload full\r\n');
    assert.equal(await page.isChecked('#panel-resources input[aria-label="full"]'), true);

    await nextState(page, () => page.click('#panel-resources input[aria-label="greeter"]'));
    assert.equal(read(cfgFile), 'sv_hostname E2E server\r\nload full\r\n');
    assert.equal(await page.isChecked('#panel-resources input[aria-label="greeter"]'), false);

    await nextState(page, () => page.click('#panel-resources input[aria-label="full"]'));
    assert.equal(read(cfgFile), 'sv_hostname E2E server\r\n');
    assert.deepEqual((await sent(page)).filter((m) => m.cmd === 'toggleResource').map((m) => [m.name, m.enabled]),
      [['full', true], ['greeter', false], ['full', false]]);
  });

  it('asks for a name before creating a resource', async () => {
    await clearSent(page);
    await clearNotice(page);
    await page.fill('#resource-name', '   ');
    await page.click('#panel-resources button:text-is("New resource")');
    assert.deepEqual(await noticeShown(page), { shown: true, text: 'Type a name first.', error: true });
    assert.deepEqual(await sent(page), []);
  });

  it('shows the host\'s notice for a bad name and keeps the name to fix', async () => {
    await clearNotice(page);
    await page.fill('#resource-name', 'bad name');
    await page.click('#panel-resources button:text-is("New resource")');
    await page.waitForFunction((text) => document.getElementById('notice').textContent === text, BAD_NAME);
    assert.deepEqual(await noticeShown(page), { shown: true, text: BAD_NAME, error: true });
    assert.equal(fs.existsSync(path.join(resources, 'bad name')), false);
    assert.equal(await page.inputValue('#resource-name'), 'bad name');
  });

  it('creates and enables a resource from its trimmed name, with Enter as well', async () => {
    await page.fill('#resource-name', '  arena ');
    await clearSent(page);
    await nextState(page, () => page.press('#resource-name', 'Enter'));
    assert.deepEqual((await sent(page)).filter((m) => m.cmd === 'newResource'), [{ cmd: 'newResource', name: 'arena' }]);
    assert.ok(fs.existsSync(path.join(resources, 'arena', 'manifest.lua')));
    assert.equal(read(cfgFile), 'sv_hostname E2E server\r\nload arena\r\n');
    assert.ok((await resourceRows()).includes('arena server · client'));
    assert.equal(await page.isChecked('#panel-resources input[aria-label="arena"]'), true);
    assert.equal(await page.inputValue('#resource-name'), '', 'the name box empties once the resource is listed');
    assert.equal((await noticeShown(page)).text, 'Resource arena created and enabled.');
  });

  it('refreshes and opens the folder', async () => {
    fs.rmSync(path.join(resources, 'scripts_only'), { recursive: true });
    await clearSent(page);
    await nextState(page, () => page.click('#panel-resources button:text-is("Refresh")'));
    assert.ok(!(await resourceRows()).some((r) => r.startsWith('scripts_only')));
    await page.click('#panel-resources button:text-is("Open folder")');
    assert.deepEqual(await sent(page), [{ cmd: 'refresh' }]);
    assert.deepEqual(await heldCommands(page), [{ cmd: 'open', what: 'resources' }]);
  });

  it('says "No resources yet" for an empty folder', async () => {
    fs.rmSync(resources, { recursive: true });
    await refreshState(page);
    assert.equal((await page.textContent('#panel-resources')).includes('No resources yet'), true);
  });

  it('raised no script errors', () => {
    assert.deepEqual(session.pageErrors, []);
  });
});

describe('a large server folder', { timeout: 120000 }, () => {
  let session;
  let page;
  // Far above what the pages need (a few milliseconds each; see bench/page_render.mjs), so a
  // busy machine does not fail it, yet a redraw that grows with the square of the list does.
  const BUDGET_MS = 400;

  before(async () => {
    session = await startSession();
    page = session.page;
    fillLargeServer(session.root, { resources: 500, skins: 200 });
    await timeMessageHandling(page);
  });

  after(async () => {
    if (session) await session.close();
  });

  async function medianFor(tab) {
    await page.click(`#tab-${tab}`);
    const times = [];
    for (let i = 0; i < 7; i++) {
      const count = (await stateHandlingTimes(page)).length;
      await page.evaluate(() => window.chrome.webview.postMessage({ cmd: 'refresh' }));
      await page.waitForFunction((n) => window.__handling.filter((e) => e.type === 'state').length > n, count);
      const last = (await stateHandlingTimes(page)).pop();
      times.push(last.ms + last.layoutMs);
    }
    return times.sort((a, b) => a - b)[3];
  }

  it('draws 500 resources and 200 skins from one state message within budget', async () => {
    const resources = await medianFor('resources');
    assert.equal(await page.locator('#panel-resources .resource-list input.switch').count(), 502, '500, the greeter and skins');
    assert.equal(await page.locator('#panel-resources .resource-list input.switch:disabled').count(), 168, 'every third, and skins, which has no manifest yet');
    const skins = await medianFor('skins');
    assert.equal(await page.locator('#panel-skins .skin-list li').count(), 200);
    const server = await medianFor('server');
    for (const [name, ms] of [['resources', resources], ['skins', skins], ['server', server]]) {
      assert.ok(ms < BUDGET_MS, `${name}: ${ms.toFixed(1)} ms`);
    }
  });

  it('raised no script errors', () => {
    assert.deepEqual(session.pageErrors, []);
  });
});
