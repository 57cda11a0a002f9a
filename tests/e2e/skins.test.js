'use strict';
// The Skins page as a person uses it: skins.json and skins.lua are checked byte for byte on
// disk after every save, together with the skins resource the host creates and enables.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const {
  startSession, recordTraffic, sent, clearSent, nextState, refreshState,
  holdCommands, heldCommands, noticeShown, clearNotice, rowTexts,
} = require('./harness.js');

const HAND_WRITTEN = 'skins.lua exists but was written by hand. Saving here replaces it.';
const SAVED = 'Skins saved. Restart the server to apply.';
const HAND_LUA = 'Skins = { mine = { body = "#010101" } }\n';
const ZONE_KEYS = ['body', 'flank', 'underbelly', 'markings', 'display', 'teeth', 'mouth', 'claws', 'detail', 'eyes'];

const lines = (...l) => l.join('\r\n') + '\r\n';

/** A skins.json entry as the page stores it; `zones` names the zones that differ from off/#808080/1. */
function stored(name, fields, zones) {
  const all = {};
  for (const key of ZONE_KEYS) all[key] = zones[key] || { on: false, hex: '#808080', glow: 1 };
  return { name, species: '', admin: false, pattern: '', theme: '', texture: '', ...fields, zones: all };
}

describe('Skins page', { timeout: 120000 }, () => {
  let session;
  let page;
  let skinsDir;
  const file = (name) => fs.readFileSync(path.join(skinsDir, name), 'utf8');
  const rows = () => rowTexts(page, '#panel-skins .skin-list li');
  const zone = (key, part) => `#panel-skins .zone-row[data-zone="${key}"] [data-zone-${part}="${key}"]`;

  async function save() {
    await clearNotice(page);
    return nextState(page, () => page.click('#panel-skins button:text-is("Save")'));
  }

  async function setHex(key, text) {
    await page.fill(zone(key, 'hex'), text);
    await page.press(zone(key, 'hex'), 'Enter');
  }

  async function setNeon(key, text) {
    await page.fill(zone(key, 'glow'), text);
    await page.press(zone(key, 'glow'), 'Tab');
  }

  async function expectNotice(text) {
    assert.deepEqual(await noticeShown(page), { shown: true, text, error: true });
  }

  before(async () => {
    session = await startSession();
    page = session.page;
    skinsDir = path.join(session.root, 'resources', 'skins');
    await recordTraffic(page);
    await holdCommands(page, ['open']);
    await page.click('#tab-skins');
  });

  after(async () => {
    if (session) await session.close();
  });

  it('starts with no skins and warns about a hand-written skins.lua', async () => {
    assert.ok((await page.textContent('#panel-skins')).includes('No skins yet'));
    assert.equal(await page.locator('#panel-skins .warning').count(), 0);
    fs.mkdirSync(skinsDir, { recursive: true });
    fs.writeFileSync(path.join(skinsDir, 'skins.lua'), HAND_LUA);
    await refreshState(page);
    assert.equal(await page.textContent('#panel-skins .warning'), HAND_WRITTEN);
  });

  it('opens a blank skin with the body on', async () => {
    await page.click('#panel-skins button:text-is("New skin")');
    assert.equal(await page.inputValue('#skin-name'), '');
    assert.equal(await page.inputValue('#skin-species'), '');
    assert.equal(await page.textContent('#skin-species option:checked'), 'any species');
    assert.equal(await page.textContent('#skin-texture option:checked'), 'none');
    const zonesShown = await page.$$eval('#panel-skins .zone-row', (els) => els.map((el) => [
      el.dataset.zone, el.querySelector('.switch').checked, el.querySelector('[data-zone-hex]').value, el.querySelector('[data-zone-glow]').value,
    ]));
    assert.deepEqual(zonesShown, ZONE_KEYS.map((k) => (k === 'body' ? [k, true, '#6C3729', '1'] : [k, false, '#808080', '1'])));
    assert.equal(await page.evaluate(() => document.activeElement.id), 'skin-name');
  });

  it('checks the name first, then for a zone or texture', async () => {
    await page.fill('#skin-name', 'neon-rex');
    await page.click('#panel-skins button:text-is("Save")');
    await expectNotice('Name: lowercase letters, digits and _ only.');
    await page.fill('#skin-name', 'Neon_Rex ');
    await page.click(zone('body', 'on'));
    await clearNotice(page);
    await page.click('#panel-skins button:text-is("Save")');
    await expectNotice('Switch on a zone or pick a pattern texture.');
    assert.equal((await sent(page)).filter((m) => m.cmd === 'saveSkins').length, 0, 'nothing was saved');
  });

  it('refuses a bad hex colour and restores the old one; neon below 1 becomes 1', async () => {
    await clearNotice(page);
    await setHex('eyes', 'zz');
    await expectNotice('Hex looks like #RRGGBB.');
    assert.equal(await page.inputValue(zone('eyes', 'hex')), '#808080');
    await setHex('eyes', ' ffffff');
    assert.equal(await page.inputValue(zone('eyes', 'hex')), '#FFFFFF');
    assert.equal(await page.inputValue(zone('eyes', 'colour')), '#ffffff');
    await setNeon('eyes', '0.5');
    assert.equal(await page.inputValue(zone('eyes', 'glow')), '1');
    await setNeon('eyes', '2');
    assert.equal(await page.inputValue(zone('eyes', 'glow')), '2');
  });

  it('saves the first skin: skins.json, skins.lua, the backup and the enabled skins resource', async () => {
    await page.click(zone('body', 'on'));
    await page.click(zone('eyes', 'on'));
    await page.selectOption('#skin-species', 'Tyrannosaurus');
    await page.fill('#skin-pattern', '3');
    const state = await save();

    const expected = [stored('neon_rex', { species: 'Tyrannosaurus', pattern: '3' }, {
      body: { on: true, hex: '#6C3729', glow: 1 },
      eyes: { on: true, hex: '#FFFFFF', glow: 2 },
    })];
    assert.equal(file('skins.json'), JSON.stringify(expected));
    assert.equal(file('skins.lua'), lines(
      'Skins = {',
      '  neon_rex = {',
      '    species = "Tyrannosaurus",',
      '    pattern = 3,',
      '    body = "#6C3729",',
      '    eyes = { 2, 2, 2 },',
      '  },',
      '}'));
    assert.equal(file('skins.lua.bak'), HAND_LUA);
    for (const f of ['manifest.lua', 'server.lua', 'client.lua']) assert.ok(fs.statSync(path.join(skinsDir, f)).isFile(), f);
    assert.ok(fs.statSync(path.join(skinsDir, 'textures')).isDirectory());
    assert.match(fs.readFileSync(path.join(session.root, 'server.cfg'), 'utf8'), /\r\nload skins\r\n$/);
    assert.ok(state.resources.some((r) => r.name === 'skins' && r.enabled && r.manifest));
    assert.deepEqual(await noticeShown(page), { shown: true, text: SAVED, error: false });

    assert.equal(await page.locator('#panel-skins .skin-editor').count(), 0, 'the editor closes');
    assert.deepEqual(await rows(), ['neon_rex Tyrannosaurus Edit Delete']);
    assert.equal(await page.locator('#panel-skins .warning').count(), 0);
    const swatches = await page.$$eval('#panel-skins .skin-list .swatch', (els) => els.map((el) => el.getAttribute('title')));
    assert.deepEqual(swatches, ['Body', 'Eyes']);
  });

  it('refuses a second skin of the same name', async () => {
    await page.click('#panel-skins button:text-is("New skin")');
    await page.fill('#skin-name', 'NEON_REX');
    await clearNotice(page);
    await page.click('#panel-skins button:text-is("Save")');
    await expectNotice('A skin with that name exists.');
  });

  it('adds a second skin with a grey glow, an admin flag and a texture', async () => {
    fs.writeFileSync(path.join(skinsDir, 'textures', 'spots.png'), Buffer.alloc(120));
    await refreshState(page);
    assert.equal(await page.inputValue('#skin-name'), 'NEON_REX', 'the open editor survives a state message');
    await page.fill('#skin-name', 'ghost');
    await page.selectOption('#skin-texture', 'spots.png');
    await page.check('#panel-skins [data-skin="admin"]');
    await setHex('body', '#808080');
    await setNeon('body', '2');
    await page.click(zone('claws', 'on'));
    await setHex('claws', 'a0b1c2');
    await save();

    const json = JSON.parse(file('skins.json'));
    assert.deepEqual(json.map((s) => s.name), ['neon_rex', 'ghost']);
    assert.deepEqual(json[1], stored('ghost', { admin: true, texture: 'spots.png' }, {
      body: { on: true, hex: '#808080', glow: 2 },
      claws: { on: true, hex: '#A0B1C2', glow: 1 },
    }));
    assert.equal(file('skins.lua'), lines(
      'Skins = {',
      '  neon_rex = {',
      '    species = "Tyrannosaurus",',
      '    pattern = 3,',
      '    body = "#6C3729",',
      '    eyes = { 2, 2, 2 },',
      '  },',
      '  ghost = {',
      '    admin = true,',
      '    texture = "textures/spots.png",',
      '    body = { 0.432, 0.432, 0.432 },',
      '    claws = "#A0B1C2",',
      '  },',
      '}'));
    assert.equal(file('skins.lua.bak'), HAND_LUA, 'the backup is made once');
    assert.deepEqual(await rows(), ['neon_rex Tyrannosaurus Edit Delete', 'ghost admin any species Edit Delete']);
  });

  it('edits a skin in its place', async () => {
    await page.click('#panel-skins .skin-list li:nth-child(1) button:text-is("Edit")');
    assert.equal(await page.inputValue('#skin-name'), 'neon_rex');
    assert.equal(await page.inputValue('#skin-species'), 'Tyrannosaurus');
    assert.equal(await page.inputValue(zone('eyes', 'glow')), '2');
    await page.selectOption('#skin-species', '');
    await page.fill('#skin-pattern', '');
    await page.fill('#skin-theme', '12');
    await setNeon('eyes', '1');
    await save();
    assert.equal(file('skins.lua'), lines(
      'Skins = {',
      '  neon_rex = {',
      '    theme = 12,',
      '    body = "#6C3729",',
      '    eyes = "#FFFFFF",',
      '  },',
      '  ghost = {',
      '    admin = true,',
      '    texture = "textures/spots.png",',
      '    body = { 0.432, 0.432, 0.432 },',
      '    claws = "#A0B1C2",',
      '  },',
      '}'));
    const json = JSON.parse(file('skins.json'));
    assert.deepEqual(json.map((s) => [s.name, s.species, s.pattern, s.theme]), [['neon_rex', '', '', '12'], ['ghost', '', '', '']]);
  });

  it('cancels an edit without saving', async () => {
    const before = file('skins.json');
    await clearSent(page);
    await page.click('#panel-skins .skin-list li:nth-child(2) button:text-is("Edit")');
    await page.fill('#skin-name', 'renamed');
    await page.click('#panel-skins button:text-is("Cancel")');
    assert.equal(await page.locator('#panel-skins .skin-editor').count(), 0);
    assert.deepEqual(await sent(page), []);
    assert.equal(file('skins.json'), before);
  });

  it('deletes at once, closing an open editor, down to an empty list', async () => {
    await page.click('#panel-skins .skin-list li:nth-child(2) button:text-is("Edit")');
    await nextState(page, () => page.click('#panel-skins .skin-list li:nth-child(1) button:text-is("Delete")'));
    assert.equal(await page.locator('#panel-skins .skin-editor').count(), 0);
    assert.deepEqual(JSON.parse(file('skins.json')).map((s) => s.name), ['ghost']);
    assert.deepEqual(await rows(), ['ghost admin any species Edit Delete']);

    await nextState(page, () => page.click('#panel-skins .skin-list li:nth-child(1) button:text-is("Delete")'));
    assert.equal(file('skins.json'), '[]');
    assert.equal(file('skins.lua'), 'Skins = {\r\n}\r\n');
    assert.ok((await page.textContent('#panel-skins')).includes('No skins yet'));
    assert.equal(await page.locator('#panel-skins .warning').count(), 0, 'this skins.lua is ours, not hand-written');
  });

  it('reports a skins.json broken by hand and replaces it on the next save', async () => {
    fs.writeFileSync(path.join(skinsDir, 'skins.json'), '[{"name": "half');
    await clearNotice(page);
    await refreshState(page);
    await expectNotice('skins.json is not valid JSON. Fix it by hand or save to replace it.');
    assert.ok((await page.textContent('#panel-skins')).includes('No skins yet'));
    await page.click('#panel-skins button:text-is("New skin")');
    await page.fill('#skin-name', 'fresh');
    await save();
    assert.deepEqual(JSON.parse(file('skins.json')), [stored('fresh', {}, { body: { on: true, hex: '#6C3729', glow: 1 } })]);
    assert.equal(file('skins.lua'), lines('Skins = {', '  fresh = {', '    body = "#6C3729",', '  },', '}'));
  });

  it('opens the skins folder', async () => {
    await page.click('#panel-skins button:text-is("Open folder")');
    assert.deepEqual(await heldCommands(page), [{ cmd: 'open', what: 'skins' }]);
  });

  it('draws names and species from a hand-edited skins.json as text', async () => {
    fs.writeFileSync(path.join(skinsDir, 'skins.json'), JSON.stringify([
      { name: '<img src=x onerror="window.__pwned=1">', species: '<b id="evil">', zones: { body: { on: true, hex: '#FF0000"><b id="evil2">', glow: 1 } } },
    ]));
    await refreshState(page);
    assert.equal(await page.locator('#evil, #evil2, #panel-skins img').count(), 0);
    assert.equal(await page.evaluate(() => window.__pwned), undefined);
    assert.ok((await rows())[0].startsWith('<img src=x onerror="window.__pwned=1"> <b id="evil">'));
  });

  it('raised no script errors', () => {
    assert.deepEqual(session.pageErrors, []);
  });
});
