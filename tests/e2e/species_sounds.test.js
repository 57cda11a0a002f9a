'use strict';
// The Species page's sounds section in the real browser host with software WebGL: sounds
// added through the page-drawn file dialog, renamed and removed, markers placed, dragged and
// edited on the timeline, playback fetching the sound, and the animation preview of a real
// animated FBX that draws and then stays idle. The section is mounted on a workspace made
// here, as the Species page mounts it on one of its own.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { startSessionWith, recordTraffic, waitReceived, received } = require('./harness.js');
const { mountSection, canvasStats, waitModelShown, wavBytes, previewFrames, track } = require('./species_sounds_support.js');

const FBX = '/usr/share/assimp/models/FBX/animation_with_skeleton.fbx';

const pickerShown = (page) => page.waitForSelector('.picker-layer[data-listed]', { state: 'attached', timeout: 8000 });
const notices = (page) => page.evaluate(() => window.__notices.slice());
const eventsOf = (page, anim = 0) => page.evaluate((i) => window.__ws.doc.source.animations[i].sounds, anim);

describe('species sounds section', { timeout: 180000 }, () => {
  let session;
  let page;
  let source;

  before(async () => {
    session = await startSessionWith({ webgl: true });
    page = session.page;
    source = path.join(session.root, 'species', 'raptor', 'source');
    fs.mkdirSync(path.join(source, 'Anims'), { recursive: true });
    fs.copyFileSync(FBX, path.join(source, 'raptor model.fbx'));
    fs.copyFileSync(FBX, path.join(source, 'Anims', 'walk.fbx'));
    fs.writeFileSync(path.join(source, 'Anims', 'broken.fbx'), 'Kaydara FBX Binary  \0 not really');
    const sounds = path.join(session.base, 'picked');
    fs.mkdirSync(sounds, { recursive: true });
    fs.writeFileSync(path.join(sounds, 'Big Roar.wav'), wavBytes(0.2));
    fs.writeFileSync(path.join(sounds, 'step.wav'), wavBytes(0.1));
    fs.writeFileSync(path.join(sounds, 'broken.ogg'), 'not a sound');
    await recordTraffic(page);
    await mountSection(page, {
      name: 'raptor',
      doc: {
        version: 1,
        name: 'raptor',
        source: {
          mesh: 'raptor model.fbx',
          sounds: [],
          animations: [{ file: 'Anims/walk.fbx', id: 'walk' }, { file: 'Anims/broken.fbx', id: 'broken' }],
        },
      },
      inspect: { animations: [{ file: 'Anims/walk.fbx', id: 'walk', seconds: 2.5 }] },
    });
  });

  after(async () => {
    if (session) await session.close();
  });

  it('adds sounds chosen in the file dialog and words the notice by count', async () => {
    await page.click('[data-sound-action="add"]');
    await pickerShown(page);
    await page.fill('.picker-path', path.join(session.base, 'picked'));
    await page.press('.picker-path', 'Enter');
    await page.waitForFunction(() => document.querySelectorAll('.picker-row').length === 3);
    await page.click('.picker-row:nth-child(1)');
    await page.click('.picker-row:nth-child(2)', { modifiers: ['Control'] });
    await page.click('.picker-row:nth-child(3)', { modifiers: ['Control'] });
    await page.focus('.picker-list');
    await page.keyboard.press('Enter');
    const msg = await waitReceived(page, (m) => m.type === 'speciesSounds');
    assert.deepEqual(msg, { type: 'speciesSounds', name: 'raptor', files: ['Sounds/Big Roar.wav', 'Sounds/broken.ogg', 'Sounds/step.wav'] });
    await page.waitForFunction(() => document.querySelectorAll('.sound-row').length === 3);
    assert.deepEqual(await page.$$eval('.sound-id', (els) => els.map((e) => e.value)), ['big_roar', 'broken', 'step']);
    assert.deepEqual(await notices(page), [{ text: 'Added 3 sounds. Save to keep them.', error: false }]);
    // Sounds that are there already only had their files replaced.
    await page.evaluate(() => window.__deliver({ type: 'speciesSounds', name: 'raptor', files: ['Sounds/STEP.wav'] }));
    assert.equal((await notices(page)).pop().text, 'These sounds are in the list already, their files were replaced.');
    const sentNow = await page.evaluate(() => window.__sent.map((m) => JSON.stringify(m)));
    for (const text of sentNow) assert.doesNotThrow(() => JSON.parse(text));
    assert.ok(sentNow.includes(JSON.stringify({ cmd: 'addSpeciesSounds', name: 'raptor' })));
  });

  it('checks renames, clamps the range and marks the workspace changed', async () => {
    const cases = [
      ['Bad Name!', 'big_roar', 'Sound ids use 1 to 32 characters of a-z, 0-9 and _.'],
      ['step', 'big_roar', 'Another sound is called "step" already.'],
      [' ROAR ', 'roar', null],
    ];
    for (const [typed, shown, notice] of cases) {
      await page.evaluate(() => (window.__notices.length = 0));
      await page.fill('.sound-row:nth-child(1) .sound-id', typed);
      await page.press('.sound-row:nth-child(1) .sound-id', 'Tab');
      assert.equal(await page.inputValue('.sound-row:nth-child(1) .sound-id'), shown, typed);
      assert.deepEqual(await notices(page), notice ? [{ text: notice, error: true }] : [], typed);
    }
    await page.fill('.sound-row:nth-child(1) [data-sound-field="radius"]', '4000');
    await page.press('.sound-row:nth-child(1) [data-sound-field="radius"]', 'Tab');
    await page.selectOption('.sound-row:nth-child(1) [data-sound-field="kind"]', 'voice');
    const first = await page.evaluate(() => window.__ws.doc.source.sounds[0]);
    assert.deepEqual(first, { id: 'roar', file: 'Sounds/Big Roar.wav', kind: 'voice', radius: 1000 });
    assert.equal(await page.inputValue('.sound-row:nth-child(1) [data-sound-field="radius"]'), '1000');
    assert.equal(await page.evaluate(() => window.__ws.unsaved), true);
  });

  it('draws the length from the inspection with its ticks and places markers at the playhead', async () => {
    assert.equal(await page.textContent('[data-timeline="clock"]'), '0.000 / 2.500 s');
    assert.equal(await page.locator('.sound-tick').count(), 11, '0.25 s ticks over 2.5 s');
    const box = await track(page);
    await page.mouse.click(box.x + box.width * 0.4, box.y + box.height / 2);
    assert.equal(await page.textContent('[data-timeline="clock"]'), '1.000 / 2.500 s');
    await page.selectOption('[data-timeline="pick"]', 'roar');
    await page.click('[data-timeline-action="addMarker"]');
    // Dragging the playhead past the end keeps it at the end.
    await page.mouse.move(box.x + 5, box.y + box.height / 2);
    await page.mouse.down();
    await page.mouse.move(box.x + box.width + 80, box.y + box.height / 2, { steps: 4 });
    await page.mouse.up();
    assert.equal(await page.textContent('[data-timeline="clock"]'), '2.500 / 2.500 s');
    await page.selectOption('[data-timeline="pick"]', 'step');
    await page.click('[data-timeline-action="addMarker"]');
    assert.deepEqual(await eventsOf(page), [
      { sound: 'roar', time: 1, volume: 1, pitch: 1 },
      { sound: 'step', time: 2.5, volume: 1, pitch: 1 },
    ]);
  });

  it('drags markers, counts a short move as a click, and edits with clamps', async () => {
    const box = await track(page);
    const marker = page.locator('.sound-marker').first();
    const at = await marker.boundingBox();
    const cx = at.x + at.width / 2;
    const cy = at.y + at.height / 2;
    const drags = [
      [2, 1, 1], // under 3 pixels: a click, the marker stays
      [box.width * 0.2, 0, 1.5],
    ];
    let x = cx;
    for (const [dx, dy, want] of drags) {
      await page.mouse.move(x, cy);
      await page.mouse.down();
      await page.mouse.move(x + dx, cy + dy, { steps: 3 });
      await page.mouse.up();
      const events = await eventsOf(page);
      assert.ok(Math.abs(events[0].time - want) <= 0.01, `${dx}: ${events[0].time}`);
      assert.equal(events[0].time, Math.round(events[0].time * 1000) / 1000, 'whole milliseconds');
      x += dx;
    }
    assert.equal(await page.locator('.sound-marker.selected').count(), 1);
    const edits = [['volume', '9', 4], ['pitch', '0,1', 0.25], ['time', '7', 2.5], ['bone', ' jaw ', 'jaw']];
    for (const [member, typed, want] of edits) {
      await page.fill(`[data-marker-field="${member}"]`, typed);
      await page.press(`[data-marker-field="${member}"]`, 'Tab');
      const moved = (await eventsOf(page)).find((e) => e.sound === 'roar');
      assert.equal(moved[member], want, member);
    }
    // The edited marker moved to the end and the events stay in time order.
    const times = (await eventsOf(page)).map((e) => e.time);
    assert.deepEqual(times, times.slice().sort((a, b) => a - b));
    // A marker opens from the keyboard as well.
    const other = (await page.getAttribute('.sound-marker.selected', 'data-marker')) === '0' ? '1' : '0';
    await page.focus(`.sound-marker[data-marker="${other}"]`);
    await page.keyboard.press('Enter');
    assert.equal(await page.getAttribute('.sound-marker.selected', 'data-marker'), other);
    assert.equal(await page.inputValue('[data-marker-field="sound"]'), (await eventsOf(page))[Number(other)].sound);
  });

  it('plays the timeline, fetching the sounds it reaches, and reports a sound that cannot play', async () => {
    const box = await track(page);
    await page.mouse.click(box.x + 2, box.y + 5);
    const roar = page.waitForRequest((r) => decodeURIComponent(r.url()).endsWith('/raptor/source/Sounds/Big Roar.wav'), { timeout: 10000 });
    await page.click('[data-timeline-action="play"]');
    await page.waitForFunction(() => parseFloat(document.querySelector('[data-timeline="clock"]').textContent) > 2, null, { timeout: 8000 });
    await roar; // the markers sit at the very end: only the end of the loop sounds them
    await page.waitForFunction(() => parseFloat(document.querySelector('[data-timeline="clock"]').textContent) < 1, null, { timeout: 8000 });
    await page.click('[data-timeline-action="play"]');
    assert.equal(await page.textContent('[data-timeline-action="play"]'), 'Play');
    const stopped = await page.textContent('[data-timeline="clock"]');
    await page.waitForTimeout(300);
    assert.equal(await page.textContent('[data-timeline="clock"]'), stopped, 'the playhead stays once stopped');
    await page.evaluate(() => (window.__notices.length = 0));
    await page.click('.sound-row:nth-child(2) [data-sound-action="play"]');
    await page.waitForFunction(() => window.__notices.length > 0);
    assert.deepEqual(await notices(page), [{ text: 'Could not play Sounds/broken.ogg.', error: true }]);
  });

  it('removes a sound with the markers that used it', async () => {
    await page.evaluate(() => (window.__notices.length = 0));
    await page.click('.sound-row:nth-child(3) [data-sound-action="remove"]');
    assert.deepEqual(await notices(page), [{ text: 'Also removed 1 marker that used step.', error: false }]);
    await page.click('.sound-row:nth-child(1) [data-sound-action="remove"]');
    assert.equal((await notices(page)).pop().text, 'Also removed 1 marker that used roar.');
    assert.equal(await eventsOf(page), undefined, 'the emptied animation lost its sounds member');
    assert.equal(await page.locator('.sound-marker').count(), 0);
  });

  it('previews the animation on its model, then draws nothing while idle', async () => {
    await waitModelShown(page);
    // Two times within the 0.83 s clip: the pose differs between them.
    const box = await track(page);
    const poses = [];
    for (const share of [0.1, 0.25]) {
      const before = await previewFrames(page);
      await page.mouse.click(box.x + box.width * share, box.y + box.height / 2);
      await page.waitForFunction((n) => window.__section.previewFrames > n, before);
      poses.push(await canvasStats(page));
    }
    assert.ok(poses.every((p) => p.differs > 1000), JSON.stringify(poses));
    assert.notEqual(poses[0].hash, poses[1].hash, 'the model moved with the playhead');
    const idle = await previewFrames(page);
    await page.waitForTimeout(1500);
    assert.equal(await previewFrames(page), idle, 'no frames while nothing changes');
  });

  it('reports an animation file it cannot read and stays usable', async () => {
    await page.evaluate(() => (window.__notices.length = 0));
    await page.selectOption('[data-timeline="anim"]', '1');
    await page.waitForFunction(() => window.__notices.length > 0, null, { timeout: 15000 });
    const [notice] = await notices(page);
    assert.match(notice.text, /^The preview could not read Anims\/broken\.fbx: /);
    assert.equal(notice.error, true);
    assert.equal(await page.textContent('[data-timeline="clock"]'), '0.000 / 1.000 s', 'no length known: 1 s');
    await page.click('[data-timeline-action="addMarker"]');
    assert.deepEqual(await eventsOf(page, 1), [{ sound: 'broken', time: 0, volume: 1, pitch: 1 }]);
    for (const m of await received(page)) assert.equal(typeof m.type, 'string');
    assert.deepEqual(session.pageErrors, []);
  });

  it('says which model is missing, in a few words, and shows a model without animations standing', async () => {
    const cases = [
      { mesh: 'gone.fbx', notice: 'The preview could not read gone.fbx: HTTP 404' },
      { mesh: 'raptor model.fbx', notice: null },
    ];
    for (const c of cases) {
      await mountSection(page, { name: 'raptor', doc: { version: 1, name: 'raptor', source: { mesh: c.mesh, sounds: [], animations: [] } }, inspect: null });
      assert.match(await page.textContent('.sounds-timeline'), /Import a model with animations to place sounds on them\./);
      if (c.notice) {
        await page.waitForFunction(() => window.__notices.length > 0, null, { timeout: 15000 });
        assert.deepEqual(await notices(page), [{ text: c.notice, error: true }]);
        assert.equal(await page.isVisible('.sounds-preview-empty'), false, 'no endless loading line');
      } else {
        await waitModelShown(page);
        await page.waitForSelector('.sounds-preview-empty', { state: 'hidden', timeout: 5000 });
        assert.deepEqual(await notices(page), []);
      }
    }
    assert.deepEqual(session.pageErrors, []);
  });
});
