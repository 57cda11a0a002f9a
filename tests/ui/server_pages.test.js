'use strict';
// The Server, Resources and Skins pages as markup built from the page state, and the
// server.cfg values a save sends.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

const UI_DIR = path.join(__dirname, '..', '..', 'ui');

// The modules under test, merged into one object for the tests to reach their exports.
let core;
before(async () => {
  const modules = [
    'shell/state.js',
    'shell/router.js',
    'pages/server/model.js',
    'pages/server/view.js',
    'pages/resources/view.js',
    'pages/skins/model.js',
    'pages/skins/view.js',
  ];
  core = Object.assign({}, ...(await Promise.all(modules.map((m) => import(pathToFileURL(path.join(UI_DIR, m)).href)))));
});

function pageWith(fields) {
  return Object.assign(core.newPageState(), fields);
}

/** Attributes of the first tag matching `selector`-like pattern `re` (an element's source). */
function attrsOf(tagSource) {
  const out = {};
  for (const m of tagSource.matchAll(/([\w-]+)(?:="([^"]*)")?/g)) out[m[1]] = m[2] === undefined ? true : m[2];
  return out;
}

function tagsWith(html, attr) {
  return Array.from(html.matchAll(new RegExp(`<(\\w+)\\b([^>]*\\b${attr}\\b[^>]*)>`, 'g')), (m) => ({ tag: m[1], attrs: attrsOf(m[2]) }));
}

function button(html, action) {
  const found = tagsWith(html, 'data-action').filter((b) => b.attrs['data-action'] === action);
  assert.equal(found.length, 1, `one ${action} button`);
  return found[0].attrs;
}

const textOf = (html) => html.replace(/<[^>]*>/g, ' ').replace(/\s+/g, ' ');

describe('server.cfg values to save', () => {
  const cfg = { sv_hostname: '  My Server  ', sv_port: '27015 # game', sv_map: 'Gateway' };

  it('sends all ten keys in the host\'s order, trimmed, the command first', () => {
    const msg = core.cfgToSave(cfg, {});
    assert.deepEqual(Object.keys(msg), ['cmd', ...core.CFG_KEYS]);
    assert.equal(msg.cmd, 'saveCfg');
    assert.equal(msg.sv_hostname, 'My Server');
    assert.equal(msg.sv_map, 'Gateway');
    assert.equal(msg.sv_admins, '', 'a key the file lacks is sent empty');
  });

  it('sends what was typed where something was typed, even an emptied field', () => {
    const msg = core.cfgToSave(cfg, { sv_map: '  Island ', sv_hostname: '' });
    assert.equal(msg.sv_map, 'Island');
    assert.equal(msg.sv_hostname, '');
  });

  it('keeps a value a number input cannot show when nobody typed there', () => {
    assert.equal(core.cfgToSave(cfg, {}).sv_port, '27015 # game');
    assert.equal(core.cfgToSave(cfg, { sv_port: '7777' }).sv_port, '7777');
  });

  it('drops unsaved typing after its own save and for another folder, and only then', () => {
    const drafts = { sv_map: 'typed' };
    assert.equal(core.settleCfgDrafts(drafts, { rootChanged: false, afterSave: false }), drafts);
    assert.deepEqual(core.settleCfgDrafts(drafts, { rootChanged: false, afterSave: true }), {});
    assert.deepEqual(core.settleCfgDrafts(drafts, { rootChanged: true, afterSave: false }), {});
  });
});

describe('Server page', () => {
  it('shows the ten inputs in reading order with their labels, hints and types', () => {
    const html = core.serverHtml(pageWith({ found: true, cfg: { sv_hostname: 'Host', sv_port: '7777' } }), {});
    const inputs = tagsWith(html, 'data-cfg').map((t) => t.attrs);
    assert.deepEqual(inputs.map((i) => i['data-cfg']), [
      'sv_hostname', 'sv_map', 'sv_maxplayers', 'sv_port', 'sv_httpport', 'sv_scriptport', 'sv_publicip', 'sv_gamedir', 'sv_admins', 'sv_rconpassword',
    ]);
    assert.deepEqual(inputs.map((i) => i.type), ['text', 'text', 'number', 'number', 'number', 'number', 'text', 'text', 'text', 'text']);
    const labels = Array.from(html.matchAll(/<label for="cfg-(\w+)">([^<]*)</g), (m) => m[2]);
    assert.deepEqual(labels, ['Server name', 'Map', 'Max players', 'Game port', 'Download port', 'Script port', 'Public IP', 'Game folder', 'Admins', 'RCON password']);
    const hints = Array.from(html.matchAll(/<div class="hint">([^<]*)</g), (m) => m[1]);
    assert.deepEqual(hints, ['Shown in the server list', 'Gateway', 'UDP, open in the firewall', 'Resources and mods, TCP', 'Modded clients, TCP',
      'What players connect to', 'Dedicated server install', 'Steam IDs, comma separated']);
    assert.equal(inputs[0].value, 'Host');
    assert.equal(inputs[3].value, '7777');
    assert.equal(inputs[1].value, '', 'a key the state lacks shows empty');
  });

  it('shows unsaved typing over the state\'s values and marks it', () => {
    const html = core.serverHtml(pageWith({ found: true, cfg: { sv_hostname: 'Host' } }), { sv_hostname: 'Typed' });
    const input = tagsWith(html, 'data-cfg')[0].attrs;
    assert.equal(input.value, 'Typed');
    assert.equal(input.class, 'dirty');
  });

  it('enables Open and Save with a found folder and Start server with a runner', () => {
    for (const [found, runner] of [[false, false], [true, false], [true, true]]) {
      const html = core.serverHtml(pageWith({ root: '/srv', found, runner }), {});
      assert.equal(button(html, 'openRoot').disabled, found ? undefined : true);
      assert.equal(button(html, 'saveCfg').disabled, found ? undefined : true);
      assert.equal(button(html, 'startRunner').disabled, runner ? undefined : true);
      assert.equal(button(html, 'pickFolder').disabled, undefined);
      assert.equal(button(html, 'openDocs').disabled, undefined);
    }
  });

  it('names the buttons and the rows as written', () => {
    const text = textOf(core.serverHtml(pageWith({}), {}));
    for (const words of ['Server folder', 'Choose folder', 'Open', 'Start server', 'Owner guide', 'Runner', 'Server plugin',
      'VarraForgesetServer.exe starts the game server and injects the plugin', 'server-plugin\\build\\varra-forgeset-server.dll',
      'After every change here use restart in the runner window, or stop and start it again.']) {
      assert.ok(text.includes(words), words);
    }
    assert.match(core.serverHtml(pageWith({}), {}), /use <code class="mono">restart<\/code> in/);
  });

  it('shows the folder state with its badges, the root or the hint', () => {
    const none = core.serverHtml(pageWith({}), {});
    assert.ok(textOf(none).includes('No folder yet Pick the folder that contains VarraForgesetServer.exe'));
    assert.equal((none.match(/badge-missing">missing</g) || []).length, 3);

    const gone = core.serverHtml(pageWith({ root: '/srv/gone' }), {});
    assert.ok(textOf(gone).includes('No folder yet /srv/gone'), 'a folder that vanished still shows its path');

    const set = core.serverHtml(pageWith({ root: '/srv/ok', found: true, runner: true, plugin: true }), {});
    assert.ok(textOf(set).includes('Folder set /srv/ok'));
    assert.equal((set.match(/badge-ok">found</g) || []).length, 3);
  });

});

describe('Resources page', () => {
  it('joins the scripts and the missing manifest with " · ", or says empty', () => {
    assert.equal(core.resourceLine({ manifest: true, server: true, client: true }), 'server · client');
    assert.equal(core.resourceLine({ manifest: true, server: false, client: true }), 'client');
    assert.equal(core.resourceLine({ manifest: false, server: true, client: false }), 'server · no manifest.lua');
    assert.equal(core.resourceLine({ manifest: false, server: false, client: false }), 'no manifest.lua');
    assert.equal(core.resourceLine({ manifest: true, server: false, client: false }), 'empty');
  });

  it('lists each resource with its switch, off and disabled without a manifest', () => {
    const resources = [
      { name: 'greeter', enabled: true, manifest: true, server: true, client: false },
      { name: 'broken', enabled: true, manifest: false, server: false, client: false },
      { name: 'idle', enabled: false, manifest: true, server: false, client: true },
    ];
    const html = core.resourcesHtml(pageWith({ found: true, resources }), '');
    const switches = tagsWith(html, 'data-resource').map((t) => t.attrs);
    assert.deepEqual(switches.map((s) => [s['data-resource'], !!s.checked, !!s.disabled, s.type]), [
      ['0', true, false, 'checkbox'], ['1', true, true, 'checkbox'], ['2', false, false, 'checkbox'],
    ]);
    const text = textOf(html);
    assert.ok(text.includes('greeter server'));
    assert.ok(text.includes('broken no manifest.lua'));
    assert.ok(text.includes('idle client'));
  });

  it('says what is missing instead of a list', () => {
    assert.ok(textOf(core.resourcesHtml(pageWith({ found: false }), '')).includes('Pick the server folder first'));
    const empty = textOf(core.resourcesHtml(pageWith({ found: true, resources: [] }), ''));
    assert.ok(empty.includes('No resources yet'));
    assert.ok(!empty.includes('Pick the server folder first'));
  });

  it('offers Refresh, Open folder and New resource, and keeps the typed name', () => {
    const html = core.resourcesHtml(pageWith({ found: true }), 'my "res"');
    for (const [action, label] of [['refresh', 'Refresh'], ['openResources', 'Open folder'], ['newResource', 'New resource']]) {
      button(html, action);
      assert.match(html, new RegExp(`data-action="${action}"[^>]*>${label}<`));
    }
    assert.match(html, /id="resource-name"[^>]*value="my &quot;res&quot;"/);
  });

});

describe('Skins page', () => {
  function skin(name, on, fields = {}) {
    const s = core.blankSkin();
    s.name = name;
    for (const key of core.ZONE_KEYS) s.zones[key].on = on.includes(key);
    return Object.assign(s, fields);
  }

  it('lists name, admin badge, species or "any species", and up to six swatches of the zones on', () => {
    const skins = [
      skin('rex', core.ZONE_KEYS, { admin: true, species: 'Tyrannosaurus' }),
      skin('plain', ['eyes', 'flank']),
    ];
    skins[1].zones.flank.hex = '#123456';
    const html = core.skinsHtml(pageWith({ found: true }), skins);
    const rows = html.split('<li').slice(1);
    assert.equal(rows.length, 2);
    assert.match(rows[0], /rex <span class="badge[^"]*">admin<\/span>/);
    assert.ok(textOf(rows[0]).includes('Tyrannosaurus'));
    assert.equal((rows[0].match(/class="swatch[ "]/g) || []).length, 6);
    assert.ok(!rows[1].includes('>admin<'));
    assert.ok(textOf(rows[1]).includes('any species'));
    const titles = Array.from(rows[1].matchAll(/class="swatch[^"]*" style="background:(#\w+)" title="([^"]+)"/g), (m) => [m[2], m[1]]);
    assert.deepEqual(titles, [['Flank', '#123456'], ['Eyes', '#808080']], 'swatches follow zone order');
    for (const action of ['editSkin', 'deleteSkin']) assert.equal(tagsWith(html, 'data-index').filter((t) => t.attrs['data-action'] === action).length, 2);
  });

  it('warns about a hand-written skins.lua only when there is no skins.json and no skin', () => {
    const warn = core.TEXT.handWritten;
    assert.equal(warn, 'skins.lua exists but was written by hand. Saving here replaces it.');
    assert.ok(core.skinsHtml(pageWith({ found: true, skinsLua: true, skinsStored: false }), []).includes(warn));
    assert.ok(!core.skinsHtml(pageWith({ found: true, skinsLua: false }), []).includes(warn));
    assert.ok(!core.skinsHtml(pageWith({ found: true, skinsLua: true, skinsStored: false }), [skin('a', ['body'])]).includes(warn));
    assert.ok(!core.skinsHtml(pageWith({ found: true, skinsLua: true, skinsStored: true }), []).includes(warn),
      'an empty list saved here wrote that skins.lua itself');
  });

  it('warns about a skins.json that is not JSON instead', () => {
    const html = core.skinsHtml(pageWith({ found: true, skinsLua: true, skinsStored: true, skinsBroken: true }), []);
    assert.ok(html.includes(core.TEXT.skinsBroken));
    assert.ok(!html.includes(core.TEXT.handWritten));
  });

  it('opens the editor with the species list, the textures and one row per zone', () => {
    const s = skin('rex', ['body', 'eyes'], { species: 'Troodon', texture: 'gone.png', pattern: '3' });
    s.zones.eyes = { on: true, hex: '#00FF00', glow: 2.5 };
    const page = pageWith({ found: true, textures: ['a.png', '<x>.png'], edit: { index: 0, original: 'rex', skin: s, drafts: {} } });
    const html = core.skinsHtml(page, [s]);
    const species = html.match(/<select id="skin-species"[^>]*>([\s\S]*?)<\/select>/)[1];
    const speciesOptions = Array.from(species.matchAll(/<option value="([^"]*)"[^>]*>([^<]*)</g), (m) => m[2]);
    assert.deepEqual(speciesOptions, ['any species', ...core.SKIN_SPECIES]);
    assert.equal(core.SKIN_SPECIES.length, 22);
    assert.match(species, /<option value="Troodon" selected>/);
    const textures = html.match(/<select id="skin-texture"[^>]*>([\s\S]*?)<\/select>/)[1];
    assert.deepEqual(Array.from(textures.matchAll(/<option[^>]*>([^<]*)</g), (m) => m[1]), ['none', 'a.png', '&lt;x&gt;.png', 'gone.png']);
    assert.match(textures, /value="gone.png" selected/);
    assert.match(html, /id="skin-pattern"[^>]*type|type="number" id="skin-pattern"[^>]*value="3"/);
    assert.match(html, /type="number" id="skin-theme"/);
    assert.ok(textOf(html).includes('admins only'));
    const rows = Array.from(html.matchAll(/<div class="zone-row" data-zone="(\w+)">([\s\S]*?)<\/div>/g));
    assert.deepEqual(rows.map((r) => r[1]), core.ZONE_KEYS);
    assert.deepEqual(rows.map((r) => r[2].match(/<label class="zone-label"[^>]*>([^<]*)</)[1]),
      ['Body', 'Flank', 'Underbelly', 'Markings', 'Male display', 'Teeth', 'Mouth', 'Claws', 'Detail', 'Eyes']);
    const eyes = rows[9][2];
    assert.match(eyes, /type="checkbox"[^>]*checked/);
    assert.match(eyes, /type="color"[^>]*value="#00ff00"/);
    assert.match(eyes, /type="text"[^>]*maxlength="7"[^>]*value="#00FF00"/);
    assert.match(eyes, /neon <input type="number"[^>]*min="1" max="20" step="0.5" value="2.5"/);
    assert.doesNotMatch(rows[1][2], /checked/);
  });
});

describe('state message and skins.json', () => {
  function route(page, msg, log) {
    core.createRouter({
      page,
      send: () => {},
      render: () => {},
      notice: (text, error) => log.push([text, error]),
      deliver: () => {},
      stateApplied: (applied) => log.push(['applied', applied.rootChanged]),
    })({ type: 'state', root: '/srv', found: true, cfg: {}, resources: [], skinsLua: true, textures: [], ai: {}, ...msg });
  }

  it('reports a skins.json that is not JSON once, as an error, and shows no skins', () => {
    const page = core.newPageState();
    const log = [];
    route(page, { skins: '[{"name": broken' }, log);
    assert.deepEqual(log, [['skins.json is not valid JSON. Fix it by hand or save to replace it.', true], ['applied', true]]);
    assert.deepEqual(page.skins, []);
    assert.equal(page.skinsBroken, true);
    route(page, { skins: '[{"name": broken' }, log);
    assert.equal(log.filter((e) => e[0] !== 'applied').length, 1, 'not again on the next state message');
    route(page, { skins: [] }, log);
    assert.equal(page.skinsBroken, false);
    route(page, { skins: 'bad again' }, log);
    assert.equal(log.filter((e) => e[0] !== 'applied').length, 2, 'again once it broke anew');
  });

  it('tells a missing skins.json from an empty one', () => {
    const page = core.newPageState();
    route(page, { skins: null }, []);
    assert.equal(page.skinsStored, false);
    route(page, { skins: [] }, []);
    assert.equal(page.skinsStored, true);
  });
});
