'use strict';
// The Zuze Ravizu page against the real browser host, with the fake asset helper beside a copy
// of the tool: reading the species, extracting one, its model on screen, painting, undo,
// importing and saving a texture, and the notices for a broken extraction.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const {
  startSessionWith,
  recordTraffic,
  sent,
  clearSent,
  waitNotice,
  waitReceived,
} = require('./harness.js');

const SHOTS = process.env.FORGESET_SHOTS || '/tmp';
const SPECIES = ['Tyrannosaurus', 'Triceratops', 'Stegosaurus', 'Pachycephalosaurus', 'Velociraptor'];
const PAINT = 2048;

/** Statistics of a PNG screenshot, decoded by the page itself: no image library needed here. */
async function shotStats(page, png, background) {
  return page.evaluate(async ({ b64, bg }) => {
    const bytes = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
    const image = await createImageBitmap(new Blob([bytes], { type: 'image/png' }));
    const canvas = document.createElement('canvas');
    canvas.width = image.width;
    canvas.height = image.height;
    const ctx = canvas.getContext('2d');
    ctx.drawImage(image, 0, 0);
    const data = ctx.getImageData(0, 0, image.width, image.height).data;
    let differs = 0;
    let green = 0;
    const colours = new Set();
    for (let p = 0; p < data.length; p += 4) {
      const r = data[p];
      const g = data[p + 1];
      const b = data[p + 2];
      if (Math.abs(r - bg[0]) + Math.abs(g - bg[1]) + Math.abs(b - bg[2]) > 30) differs++;
      if (g > r + 60 && g > b + 60) green++;
      colours.add((r >> 3) * 1024 + (g >> 3) * 32 + (b >> 3));
    }
    return { pixels: data.length / 4, differs, green, colours: colours.size, width: image.width, height: image.height };
  }, { b64: png.toString('base64'), bg: background });
}

/** Texels of the paint canvas at the given points. */
async function paintTexels(page, points) {
  return page.evaluate((pts) => {
    const ctx = document.getElementById('studio-paint').getContext('2d');
    return pts.map(([x, y]) => Array.from(ctx.getImageData(x, y, 1, 1).data));
  }, points);
}

/** Texels of a PNG file (given as bytes), decoded in the page. */
async function pngTexels(page, bytes, points) {
  return page.evaluate(async ({ b64, pts }) => {
    const data = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
    const image = await createImageBitmap(new Blob([data], { type: 'image/png' }), {
      premultiplyAlpha: 'none',
      colorSpaceConversion: 'none',
    });
    const canvas = document.createElement('canvas');
    canvas.width = image.width;
    canvas.height = image.height;
    const ctx = canvas.getContext('2d');
    ctx.drawImage(image, 0, 0);
    return {
      width: image.width,
      height: image.height,
      texels: pts.map(([x, y]) => Array.from(ctx.getImageData(x, y, 1, 1).data)),
    };
  }, { b64: Buffer.from(bytes).toString('base64'), pts: points });
}

/** Page coordinates of a paint texel, for the mouse. */
async function texelToPage(page, x, y) {
  const box = await page.locator('#studio-paint').boundingBox();
  return { x: box.x + (x / PAINT) * box.width, y: box.y + (y / PAINT) * box.height };
}

async function dragOnPaint(page, from, to) {
  // The mouse works in the viewport: the whole canvas must be in it, not just a part.
  await page.evaluate(() => document.getElementById('studio-paint').scrollIntoView({ block: 'center' }));
  const a = await texelToPage(page, from[0], from[1]);
  const b = await texelToPage(page, to[0], to[1]);
  await page.mouse.move(a.x, a.y);
  await page.mouse.down();
  await page.mouse.move(b.x, b.y, { steps: 12 });
  await page.mouse.up();
}

const bakes = (page) => page.evaluate(() => Number(document.getElementById('studio-root').dataset.bakes || 0));

async function openStudio(page) {
  await recordTraffic(page);
  await page.click('#tab-studio');
  await page.waitForSelector('#studio-root');
}

/** Waits until the species' model is on screen and its pattern is on the paint canvas. */
async function modelShown(page, name, timeout = 30000) {
  await page.waitForFunction((n) => {
    const data = document.getElementById('studio-root').dataset;
    return data.model === n && data.pattern === n;
  }, name, { timeout });
}

describe('studio page with the asset helper', { timeout: 180000 }, () => {
  let session;
  let page;

  before(async () => {
    session = await startSessionWith({ helper: true, webgl: true });
    page = session.page;
    await openStudio(page);
  });

  after(async () => {
    if (session) await session.close();
  });

  it('offers to read the game files once the host reports its helper', async () => {
    await page.waitForSelector('#studio-scan:not([disabled])', { timeout: 10000 });
    assert.equal((await page.textContent('#studio-scan')).trim(), 'Read game files');
    assert.equal(await page.locator('.studio-chip').count(), 0);
  });

  it('reads the species list with a notice and shows one chip per species', async () => {
    await clearSent(page);
    await page.click('#studio-scan');
    const notice = await waitNotice(page, 'Reading');
    assert.deepEqual(notice, { text: 'Reading the game files, this takes a moment...', error: false });
    assert.deepEqual(await sent(page), [{ cmd: 'studioSpecies' }]);
    await page.waitForSelector('.studio-chip');
    const chips = await page.$$eval('.studio-chip', (list) => list.map((c) => [c.dataset.species, c.dataset.extracted]));
    assert.deepEqual(chips, SPECIES.map((name) => [name, 'false']));
    assert.equal((await page.textContent('#studio-scan')).trim(), 'Rescan');
  });

  it('extracts a species from its chip and then shows its model', async () => {
    await clearSent(page);
    await page.click('[data-species="Tyrannosaurus"]');
    assert.deepEqual(await sent(page), [{ cmd: 'studioExtract', species: 'Tyrannosaurus' }]);
    await waitReceived(page, (m) => m.type === 'studio' && m.extracted.includes('Tyrannosaurus'));
    await page.waitForSelector('[data-species="Tyrannosaurus"][data-extracted="true"]');
    await modelShown(page, 'Tyrannosaurus');
    assert.ok(fs.existsSync(path.join(session.dataDir, 'assets', 'Tyrannosaurus', 'mesh.glb')));
    assert.deepEqual(session.pageErrors, []);
  });

  it('draws the model: the view is far from one flat colour', async () => {
    await page.waitForTimeout(300); // the frame after the last texture upload
    const shot = await page.locator('#studio-view').screenshot({ path: path.join(SHOTS, 'studio-model.png') });
    const stats = await shotStats(page, shot, [0x0d, 0x0f, 0x13]);
    assert.ok(stats.differs > stats.pixels * 0.03, `model covers ${stats.differs} of ${stats.pixels} pixels`);
    assert.ok(stats.colours > 50, `shaded texture shows ${stats.colours} colours`);
    await page.screenshot({ path: path.join(SHOTS, 'studio-page.png') });
  });

  it('starts from the adult pattern, texel for texel', async () => {
    const file = path.join(session.dataDir, 'assets', 'Tyrannosaurus', 'Tyrannosaurus_Adult_Pattern_1.png');
    const points = [[100, 100], [1024, 1024], [1500, 600], [300, 1900], [2047, 2047]];
    const expected = await pngTexels(page, fs.readFileSync(file), points.map(([x, y]) => [Math.floor(x / 8), Math.floor(y / 8)]));
    assert.equal(expected.width, 256);
    assert.deepEqual(await paintTexels(page, points), expected.texels);
  });

  it('paints a stroke with the chosen zone, updates the model and undoes it', async () => {
    const spot = [1024, 1024];
    const [before] = await paintTexels(page, [spot]);
    // Display in bright green, so the stroke along the back stands out on the model.
    await page.locator('#studio-colour-display').fill('#00ff00');
    await page.waitForTimeout(400);
    const greenBefore = (await shotStats(page, await page.locator('#studio-view').screenshot(), [0x0d, 0x0f, 0x13])).green;

    await page.click('[data-brush="display"]');
    await page.locator('#studio-size').fill('256');
    assert.equal(await page.textContent('#studio-size-value'), '256');
    const bakesBefore = await bakes(page);
    await dragOnPaint(page, [40, 1024], [2000, 1024]);
    assert.deepEqual(await paintTexels(page, [spot, [60, 1024], [1980, 1100]]), [
      [255, 0, 0, 255],
      [255, 0, 0, 255],
      [255, 0, 0, 255],
    ]);
    // The far corner is untouched.
    assert.notDeepEqual((await paintTexels(page, [[5, 5]]))[0], [255, 0, 0, 255]);
    assert.ok((await bakes(page)) > bakesBefore, 'the preview was baked again');
    assert.equal(await page.isEnabled('#studio-undo'), true);

    await page.waitForTimeout(400);
    const shot = await page.locator('#studio-view').screenshot({ path: path.join(SHOTS, 'studio-stroke.png') });
    const greenAfter = (await shotStats(page, shot, [0x0d, 0x0f, 0x13])).green;
    assert.ok(greenAfter > greenBefore * 1.5 + 200, `green on the model: ${greenBefore} before, ${greenAfter} after`);

    await page.click('#studio-undo');
    assert.deepEqual((await paintTexels(page, [spot]))[0], before);
    assert.equal(await page.isEnabled('#studio-undo'), false);
    await page.locator('#studio-colour-display').fill('#6c3729');
  });

  it('takes a glow per zone within 1 to 20 and bakes the preview again', async () => {
    const glow = page.locator('[data-glow="body"]');
    for (const [typed, kept] of [['30', '20'], ['0', '1'], ['2.5', '2.5'], ['1', '1']]) {
      const before = await bakes(page);
      await glow.fill(typed);
      await glow.press('Tab');
      assert.equal(await glow.inputValue(), kept);
      assert.ok((await bakes(page)) > before, `glow ${typed} baked again`);
    }
  });

  it('refuses a bad texture name without sending anything', async () => {
    await clearSent(page);
    for (const name of ['bad name', 'stripes.png', '   ', 'ünïcode']) {
      await page.fill('#studio-name', name);
      await page.click('#studio-save');
      const notice = await waitNotice(page, 'Texture name');
      assert.deepEqual(notice, { text: 'Texture name: lowercase letters, digits, _ and -.', error: true });
    }
    assert.deepEqual(await sent(page), []);
  });

  it('saves the painted canvas as a texture the skins can use', async () => {
    await dragOnPaint(page, [200, 200], [600, 200]);
    await clearSent(page);
    await page.fill('#studio-name', '  Stripes_1-B ');
    await page.click('#studio-save');
    const notice = await waitNotice(page, 'Texture saved');
    assert.equal(notice.text, 'Texture saved as textures\\stripes_1-b.png');
    const [command] = await sent(page);
    assert.equal(command.cmd, 'studioSaveTexture');
    assert.equal(command.name, 'stripes_1-b');
    assert.equal(await page.inputValue('#studio-name'), 'stripes_1-b');

    const state = await waitReceived(page, (m) => m.type === 'state' && m.textures.includes('stripes_1-b.png'));
    assert.ok(state.textures.includes('stripes_1-b.png'));
    // waitForFunction does not wait for a promise, so the module is imported first and its
    // live state object is what the condition polls.
    const shellState = await page.evaluateHandle(async () => (await import('/shell/state.js')).state);
    await page.waitForFunction((state) => state.textures.includes('stripes_1-b.png'), shellState);
    assert.match(await page.textContent('#studio-textures'), /stripes_1-b\.png/);

    const file = path.join(session.root, 'resources', 'skins', 'textures', 'stripes_1-b.png');
    const bytes = fs.readFileSync(file);
    assert.deepEqual(bytes.subarray(0, 8), Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]));
    assert.deepEqual(bytes, Buffer.from(command.png, 'base64'));
    const points = [[400, 200], [1024, 1024], [5, 5]];
    const saved = await pngTexels(page, bytes, points);
    assert.deepEqual([saved.width, saved.height], [PAINT, PAINT]);
    assert.deepEqual(saved.texels, await paintTexels(page, points));
    assert.deepEqual(saved.texels[0], [255, 0, 0, 255]);
  });

  it('imports a PNG over the paint canvas, and Ctrl+Z undoes the import', async () => {
    const juvenile = path.join(session.dataDir, 'assets', 'Tyrannosaurus', 'Tyrannosaurus_Juvenile_Pattern_1.png');
    const points = [[100, 1200], [800, 1500], [1700, 1300], [1024, 300]];
    const before = await paintTexels(page, points);
    const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.click('#studio-import-button')]);
    await chooser.setFiles(juvenile);
    const notice = await waitNotice(page, 'Pattern imported');
    assert.deepEqual(notice, {
      text: 'Pattern imported. Only pure red, green, blue, cyan, magenta and yellow count as zones.',
      error: false,
    });
    const expected = await pngTexels(page, fs.readFileSync(juvenile), points.map(([x, y]) => [Math.floor(x / 8), Math.floor(y / 8)]));
    const after = await paintTexels(page, points);
    assert.deepEqual(after, expected.texels);
    assert.notDeepEqual(after, before);
    await page.keyboard.press('Control+z');
    assert.deepEqual(await paintTexels(page, points), before);
  });

  it('opens an extracted species from its chip without extracting it again', async () => {
    await page.click('[data-species="Triceratops"]');
    await modelShown(page, 'Triceratops');
    await clearSent(page);
    await page.click('[data-species="Tyrannosaurus"]');
    await modelShown(page, 'Tyrannosaurus');
    assert.deepEqual(await sent(page), []);
    assert.equal(await page.getAttribute('#studio-root', 'data-species'), 'Tyrannosaurus');
    assert.deepEqual(session.pageErrors, []);
  });

  it('paints on the model where the pointer presses it', async () => {
    await page.check('#studio-paint3d');
    await page.click('[data-brush="none"]');
    const box = await page.locator('#studio-view canvas').boundingBox();
    const before = await page.evaluate(() => {
      const ctx = document.getElementById('studio-paint').getContext('2d');
      const d = ctx.getImageData(0, 0, 2048, 2048).data;
      let black = 0;
      for (let p = 0; p < d.length; p += 4) if (d[p] === 0 && d[p + 1] === 0 && d[p + 2] === 0) black++;
      return black;
    });
    // The camera looks at the centre of the model, so the middle of the view is on it.
    await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
    await page.mouse.down();
    await page.mouse.move(box.x + box.width / 2 + 30, box.y + box.height / 2, { steps: 5 });
    await page.mouse.up();
    const afterBlack = await page.evaluate(() => {
      const ctx = document.getElementById('studio-paint').getContext('2d');
      const d = ctx.getImageData(0, 0, 2048, 2048).data;
      let black = 0;
      for (let p = 0; p < d.length; p += 4) if (d[p] === 0 && d[p + 1] === 0 && d[p + 2] === 0) black++;
      return black;
    });
    assert.ok(afterBlack > before + 1000, `erased texels: ${before} black before, ${afterBlack} after`);
    assert.equal(await page.isEnabled('#studio-undo'), true);
    await page.uncheck('#studio-paint3d');
  });
});

describe('studio page when extraction leaves broken files', { timeout: 120000 }, () => {
  it('reports a missing model with "Model failed: "', async () => {
    const session = await startSessionWith({ helper: true, webgl: true, env: { FAKE_ASSETS_EXPORT: 'nomesh' } });
    try {
      const page = session.page;
      await openStudio(page);
      await page.waitForSelector('#studio-scan:not([disabled])');
      await page.click('#studio-scan');
      await page.click('[data-species="Stegosaurus"]');
      const notice = await waitNotice(page, 'Model failed: ', 30000);
      assert.equal(notice.error, true);
      assert.match(notice.text, /mesh\.glb/);
      assert.match(notice.text, /404/);
      // The pattern still arrived: the canvas is no longer plain black.
      await page.waitForFunction(() => document.getElementById('studio-root').dataset.pattern === 'Stegosaurus');
      const texel = (await paintTexels(page, [[1024, 1024]]))[0];
      assert.notDeepEqual(texel, [0, 0, 0, 255]);
      assert.equal(await page.getAttribute('#studio-root', 'data-model'), null);
    } finally {
      await session.close();
    }
  });

  it('reports an unreadable info.json with "Could not load <species>: "', async () => {
    const session = await startSessionWith({ helper: true, webgl: true, env: { FAKE_ASSETS_EXPORT: 'badinfo' } });
    try {
      const page = session.page;
      const asked = [];
      page.on('request', (request) => asked.push(new URL(request.url()).pathname));
      await openStudio(page);
      await page.waitForSelector('#studio-scan:not([disabled])');
      await page.click('#studio-scan');
      await page.click('[data-species="Triceratops"]');
      const notice = await waitNotice(page, 'Could not load ', 30000);
      assert.equal(notice.error, true);
      assert.ok(notice.text.startsWith('Could not load Triceratops: '), notice.text);
      assert.ok(notice.text.length > 'Could not load Triceratops: '.length);
      assert.equal(await page.getAttribute('#studio-root', 'data-species'), null);
      // The description is what failed; nothing further was asked for.
      assert.ok(asked.some((p) => p.endsWith('/Triceratops/info.json')), asked.join(' '));
      assert.ok(!asked.some((p) => p.endsWith('.glb') || p.endsWith('.png')), asked.join(' '));
    } finally {
      await session.close();
    }
  });
});

describe('studio page without the asset helper', { timeout: 60000 }, () => {
  it('keeps "Read game files" disabled and sends nothing', async () => {
    const session = await startSessionWith();
    try {
      const page = session.page;
      await openStudio(page);
      // The hint changes from waiting to this only once the studio message has arrived.
      await page.waitForFunction(() => document.getElementById('studio-hint').textContent.includes('was not found'));
      assert.equal(await page.textContent('#studio-helper'), 'helper missing');
      assert.equal(await page.isDisabled('#studio-scan'), true);
      await clearSent(page);
      await page.click('#studio-scan', { force: true });
      assert.deepEqual(await sent(page), []);
    } finally {
      await session.close();
    }
  });
});
