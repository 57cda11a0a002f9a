'use strict';
// One FBX file holding the model and two takes of different lengths and motions, inspected by
// the real asset helper: each of its animations gets the timeline length of its own take, and
// the preview plays that take, not the file's first.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const { TOOL, startSessionWith } = require('./harness.js');
const { canvasStats, mountSection, waitModelShown, previewFrames, track } = require('./species_sounds_support.js');
const { fbxWithTakes } = require('./fbx_takes.js');

const HELPER = path.join(path.dirname(TOOL), 'tools', 'forgeset-assets');
// The first take slides the box left within a second, the second lifts it over three.
const TAKES = [
  { name: 'Box|Sway Left', seconds: 1, move: [-40, 0, 0] },
  { name: 'Box|Rise', seconds: 3, move: [0, 40, 0] },
];

describe('the takes of one FBX file', { timeout: 180000 }, () => {
  let session;
  let page;
  let inspect;

  before(async () => {
    session = await startSessionWith({ webgl: true });
    page = session.page;
    const source = path.join(session.root, 'species', 'rex', 'source');
    fs.mkdirSync(source, { recursive: true });
    fs.writeFileSync(path.join(source, 'Rex.fbx'), fbxWithTakes(TAKES));
    execFileSync(HELPER, ['inspect-fbx', source, path.join(source, 'inspect.json')]);
    inspect = JSON.parse(fs.readFileSync(path.join(source, 'inspect.json'), 'utf8'));
    // A file of several takes: the helper lists each under its own id, all with one file.
    assert.deepEqual(inspect.animations.map((a) => [a.file, a.seconds]), TAKES.map((t) => ['Rex.fbx', t.seconds]));
    assert.equal(new Set(inspect.animations.map((a) => a.id)).size, TAKES.length);
    const animations = inspect.animations.map((a) => ({ file: a.file, id: a.id }));
    await mountSection(page, { name: 'rex', doc: { version: 1, name: 'rex', source: { mesh: 'Rex.fbx', sounds: [], animations } }, inspect });
  });

  after(async () => {
    if (session) await session.close();
  });

  it('gives each take its own length and plays it in the preview', async () => {
    await waitModelShown(page);
    // Every take starts where the box stands.
    const rest = await canvasStats(page);
    for (const [index, take] of TAKES.entries()) {
      const what = take.name;
      await page.selectOption('[data-timeline="anim"]', String(index));
      // Whatever the choice drew is drawn by the second frame from now.
      await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
      assert.equal(await page.textContent('[data-timeline="clock"]'), `0.000 / ${take.seconds.toFixed(3)} s`, what);
      // Near the end of the take, where its motion has gone furthest.
      const box = await track(page);
      const frames = await previewFrames(page);
      await page.mouse.click(box.x + box.width * 0.95, box.y + box.height / 2);
      await page.waitForFunction((n) => window.__section.previewFrames > n, frames);
      const clock = parseFloat(await page.textContent('[data-timeline="clock"]'));
      assert.ok(Math.abs(clock - take.seconds * 0.95) < take.seconds * 0.02, `${what}: playhead at ${clock}`);

      const at = await canvasStats(page);
      const dx = at.x - rest.x;
      const dy = at.y - rest.y;
      // A twentieth of the box's size on screen; each take moves it by four tenths.
      const far = Math.sqrt(rest.differs) * 0.05;
      // Sideways in the scene is sideways on screen, up is up (the canvas counts rows down).
      if (take.move[0] < 0) assert.ok(dx < -far && Math.abs(dy) < Math.abs(dx), `${what} moved the box left: ${dx}, ${dy}`);
      if (take.move[1] > 0) assert.ok(dy < -far && Math.abs(dx) < Math.abs(dy), `${what} lifted the box: ${dx}, ${dy}`);
    }
    assert.deepEqual(await page.evaluate(() => window.__notices), []);
    assert.deepEqual(session.pageErrors, []);
  });
});
