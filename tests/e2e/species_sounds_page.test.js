'use strict';
// The sounds section inside the Species page, end to end: a workspace with an imported model
// and animation on disk, sounds added through the page-drawn file dialog, markers placed and
// dragged, saved, and species.json on disk holding the sounds and their events; the preview
// of the real animated FBX draws and then stays idle.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { startSessionWith, recordTraffic, sent, waitNotice, waitReceived } = require('./harness.js');
const { wavBytes } = require('./species_sounds_support.js');

const FBX = '/usr/share/assimp/models/FBX/animation_with_skeleton.fbx';

/** A workspace as an import leaves it and a first save wrote it. */
function makeWorkspace(root) {
  const ws = path.join(root, 'species', 'raptor');
  fs.mkdirSync(path.join(ws, 'source', 'anims'), { recursive: true });
  fs.copyFileSync(FBX, path.join(ws, 'source', 'Raptor.fbx'));
  fs.copyFileSync(FBX, path.join(ws, 'source', 'anims', 'Walk.fbx'));
  const inspect = {
    mesh: { file: 'Raptor.fbx', triangles: 100, bones: 15, lengthCm: 700, materials: ['Body'] },
    animations: [{ file: 'anims/Walk.fbx', id: 'walk', seconds: 2 }],
    textures: [],
    warnings: [],
  };
  fs.writeFileSync(path.join(ws, 'source', 'inspect.json'), JSON.stringify(inspect));
  const doc = {
    version: 1,
    name: 'raptor',
    label: 'Raptor',
    template: 'deinosuchus',
    source: { mesh: 'Raptor.fbx', animations: [{ file: 'anims/Walk.fbx', id: 'walk' }], sounds: [] },
    animations: { idle: 'walk' },
  };
  fs.writeFileSync(path.join(ws, 'species.json'), JSON.stringify(doc, null, 2));
  return ws;
}

/**
 * The timeline's box on screen, measured afresh each time: the page around the section
 * changes as it is edited (the unsaved badge, notices), which moves the track.
 */
async function track(page) {
  const locator = page.locator('#panel-species [data-timeline="track"]');
  await locator.scrollIntoViewIfNeeded();
  return locator.boundingBox();
}

/** Light grey pixels of the preview: the model, as a person sees it. */
const greyPixels = (page) => page.evaluate(() => {
  const source = document.querySelector('#panel-species .sounds-preview-canvas');
  const canvas = document.createElement('canvas');
  canvas.width = source.width;
  canvas.height = source.height;
  const ctx = canvas.getContext('2d');
  ctx.drawImage(source, 0, 0);
  const data = ctx.getImageData(0, 0, canvas.width, canvas.height).data;
  let grey = 0;
  for (let p = 0; p < data.length; p += 4) if (data[p] > 60 && Math.abs(data[p] - data[p + 2]) < 40) grey++;
  return grey;
});

describe('sounds in the Species page', { timeout: 180000 }, () => {
  let session;
  let page;
  let ws;

  before(async () => {
    session = await startSessionWith({ webgl: true });
    ws = makeWorkspace(session.root);
    page = session.page;
    await page.evaluate(() => window.chrome.webview.postMessage({ cmd: 'speciesRefresh' }));
    await page.click('#tab-species');
    await page.click('#species-list [data-name="raptor"]');
    await page.waitForSelector('#panel-species .sounds-section [data-timeline="track"]', { timeout: 15000 });
    await recordTraffic(page);
  });

  after(async () => {
    if (session) await session.close();
  });

  it('adds sounds through the file dialog, places and drags markers, and saves them', async () => {
    const picked = path.join(session.base, 'picked');
    fs.mkdirSync(picked, { recursive: true });
    fs.writeFileSync(path.join(picked, 'Roar 1.wav'), wavBytes(0.2));
    fs.writeFileSync(path.join(picked, 'step.ogg'), wavBytes(0.1));
    await page.click('#panel-species [data-sound-action="add"]');
    await page.waitForSelector('.picker-layer[data-listed]', { state: 'attached', timeout: 8000 });
    await page.fill('.picker-path', picked);
    await page.press('.picker-path', 'Enter');
    await page.waitForFunction(() => document.querySelectorAll('.picker-row').length === 2);
    await page.click('.picker-row:nth-child(1)');
    await page.click('.picker-row:nth-child(2)', { modifiers: ['Control'] });
    await page.focus('.picker-list');
    await page.keyboard.press('Enter');
    await waitReceived(page, (m) => m.type === 'speciesSounds');
    assert.deepEqual(await waitNotice(page, 'Added'), { text: 'Added 2 sounds. Save to keep them.', error: false });
    assert.deepEqual(await page.$$eval('#panel-species .sound-id', (els) => els.map((e) => e.value)), ['roar_1', 'step']);

    assert.equal(await page.textContent('#panel-species [data-timeline="clock"]'), '0.000 / 2.000 s');
    let box = await track(page);
    await page.mouse.click(box.x + box.width * 0.25, box.y + box.height / 2);
    await page.click('#panel-species [data-timeline-action="addMarker"]');
    await page.selectOption('#panel-species [data-timeline="pick"]', 'step');
    box = await track(page);
    await page.mouse.click(box.x + box.width * 0.75, box.y + box.height / 2);
    await page.click('#panel-species [data-timeline-action="addMarker"]');
    // The first marker dragged past the second: events stay in time order.
    box = await track(page);
    const first = await page.locator('#panel-species .sound-marker').first().boundingBox();
    await page.mouse.move(first.x + first.width / 2, first.y + first.height / 2);
    await page.mouse.down();
    await page.mouse.move(box.x + box.width * 0.9, first.y + first.height / 2, { steps: 5 });
    await page.mouse.up();
    await page.fill('#panel-species [data-marker-field="volume"]', '2,5');
    await page.press('#panel-species [data-marker-field="volume"]', 'Tab');

    await page.click('#species-save');
    await waitNotice(page, 'Saved.');
    const saved = JSON.parse(fs.readFileSync(path.join(ws, 'species.json'), 'utf8'));
    assert.deepEqual(saved.source.sounds, [
      { id: 'roar_1', file: 'Sounds/Roar 1.wav', kind: 'body', radius: 60 },
      { id: 'step', file: 'Sounds/step.ogg', kind: 'body', radius: 60 },
    ]);
    const events = saved.source.animations[0].sounds;
    assert.deepEqual(events.map((e) => e.sound), ['step', 'roar_1']);
    assert.equal(events[0].time, 1.5);
    assert.ok(Math.abs(events[1].time - 1.8) <= 0.02, `dragged to ${events[1].time}`);
    assert.equal(events[1].volume, 2.5);
    for (const message of await sent(page)) assert.doesNotThrow(() => JSON.parse(JSON.stringify(message)));
    assert.ok((await sent(page)).some((m) => m.cmd === 'addSpeciesSounds' && m.name === 'raptor'));
  });

  it('shows the walk on the grey model and draws nothing while idle', async () => {
    await page.waitForFunction(() => {
      const c = document.querySelector('#panel-species .sounds-preview-canvas');
      return c && c.width > 0;
    });
    await page.waitForTimeout(1000);
    const grey = await greyPixels(page);
    assert.ok(grey > 500, `grey model pixels: ${grey}`);
    // Every draw call of WebGL is counted from here on: the page's own code stays as it is.
    await page.evaluate(() => {
      window.__draws = 0;
      for (const proto of [WebGLRenderingContext.prototype, WebGL2RenderingContext.prototype]) {
        for (const name of ['drawElements', 'drawArrays']) {
          const real = proto[name];
          proto[name] = function (...args) {
            window.__draws++;
            return real.apply(this, args);
          };
        }
      }
    });
    await page.waitForTimeout(3000);
    assert.equal(await page.evaluate(() => window.__draws), 0, 'no draw calls while nothing changes');
    const box = await track(page);
    await page.mouse.click(box.x + box.width * 0.5, box.y + box.height / 2);
    await page.waitForFunction(() => window.__draws > 0, null, { timeout: 5000 });
    assert.ok((await greyPixels(page)) > 500);
    assert.deepEqual(session.pageErrors, []);
  });
});
