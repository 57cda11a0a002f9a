'use strict';
// The brush: hard-edged discs and lines on RGBA texels, the rectangles they touch, undo
// patches, the brush size rule and the throttle that paces the preview.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

let S;
before(async () => {
  const load = (file) => import(pathToFileURL(path.join(__dirname, '..', '..', 'ui', 'pages', 'studio', file)).href);
  S = Object.assign({}, await load('constants.js'), await load('brush.js'), await load('throttle.js'), await load('painting.js'));
});

const RED = [255, 0, 0];

function blank(width, height) {
  const data = new Uint8ClampedArray(width * height * 4);
  for (let p = 3; p < data.length; p += 4) data[p] = 255;
  return data;
}

/** The image as rows of characters: '#' for a texel of `rgb`, '.' for anything else. */
function picture(data, width, rgb) {
  const rows = [];
  for (let y = 0; y < data.length / 4 / width; y++) {
    let row = '';
    for (let x = 0; x < width; x++) {
      const p = (y * width + x) * 4;
      row += data[p] === rgb[0] && data[p + 1] === rgb[1] && data[p + 2] === rgb[2] ? '#' : '.';
    }
    rows.push(row);
  }
  return rows;
}

describe('brush discs', () => {
  it('fills the texels whose centres lie within the radius, with hard edges', () => {
    const data = blank(7, 7);
    const rect = S.stampDisc(data, 7, 7, 3.5, 3.5, 2.5, RED);
    assert.deepEqual(picture(data, 7, RED), [
      '.......',
      '..###..',
      '.#####.',
      '.#####.',
      '.#####.',
      '..###..',
      '.......',
    ]);
    assert.deepEqual(rect, { x0: 1, y0: 1, x1: 6, y1: 6 });
    // Every changed texel is exactly the brush colour and opaque: nothing in between.
    for (let p = 0; p < data.length; p += 4) {
      const texel = Array.from(data.subarray(p, p + 4));
      assert.ok(texel.join() === '255,0,0,255' || texel.join() === '0,0,0,255', texel.join());
    }
  });

  it('paints at least the texel under a tiny brush', () => {
    const data = blank(3, 3);
    S.stampDisc(data, 3, 3, 1.2, 1.7, 0.1, RED);
    assert.deepEqual(picture(data, 3, RED), ['...', '.#.', '...']);
  });

  it('clips at the edges and reports only the part inside', () => {
    const data = blank(4, 4);
    const rect = S.stampDisc(data, 4, 4, 0, 0, 2, RED);
    assert.deepEqual(rect, { x0: 0, y0: 0, x1: 2, y1: 2 });
    // (1.5, 1.5) lies 2.12 from the corner, just outside.
    assert.deepEqual(picture(data, 4, RED), ['##..', '#...', '....', '....']);
  });

  it('changes nothing and reports nothing when the disc misses the image', () => {
    const data = blank(4, 4);
    assert.equal(S.stampDisc(data, 4, 4, -10, 2, 3, RED), null);
    assert.equal(S.stampDisc(data, 4, 4, 2, 40, 3, RED), null);
    assert.deepEqual(data, blank(4, 4));
  });
});

describe('brush lines', () => {
  it('leaves an unbroken line however far the pointer jumped', () => {
    const data = blank(40, 5);
    const rect = S.stampLine(data, 40, 5, 2.5, 2.5, 37.5, 2.5, 1, RED);
    assert.equal(picture(data, 40, RED)[2], '.' + '#'.repeat(38) + '.');
    assert.deepEqual(rect, { x0: 1, y0: 1, x1: 39, y1: 4 });
  });

  it('covers a diagonal from end to end', () => {
    const data = blank(20, 20);
    S.stampLine(data, 20, 20, 0.5, 0.5, 19.5, 19.5, 0.5, RED);
    const rows = picture(data, 20, RED);
    for (let i = 0; i < 20; i++) assert.equal(rows[i][i], '#', `texel ${i},${i}`);
  });

  it('stamps once for a line of no length', () => {
    const a = blank(9, 9);
    const b = blank(9, 9);
    S.stampLine(a, 9, 9, 4.5, 4.5, 4.5, 4.5, 2, RED);
    S.stampDisc(b, 9, 9, 4.5, 4.5, 2, RED);
    assert.deepEqual(a, b);
  });

  it('joins rectangles, taking the empty one as nothing', () => {
    assert.deepEqual(S.unionRect({ x0: 1, y0: 2, x1: 3, y1: 4 }, { x0: 0, y0: 3, x1: 2, y1: 9 }), { x0: 0, y0: 2, x1: 3, y1: 9 });
    assert.deepEqual(S.unionRect(null, { x0: 1, y0: 1, x1: 2, y1: 2 }), { x0: 1, y0: 1, x1: 2, y1: 2 });
    assert.deepEqual(S.unionRect({ x0: 1, y0: 1, x1: 2, y1: 2 }, null), { x0: 1, y0: 1, x1: 2, y1: 2 });
    assert.equal(S.unionRect(null, null), null);
  });
});

describe('undo patches', () => {
  it('puts a stroke\'s rectangle back exactly as it was', () => {
    const width = 16;
    const data = blank(width, 12);
    for (let i = 0; i < data.length; i++) if (i % 4 !== 3) data[i] = (i * 37) % 256;
    const original = data.slice();
    const rect = S.stampLine(data, width, 12, 3, 3, 12, 8, 2.5, RED);
    const patch = S.copyRect(original, width, rect);
    assert.notDeepEqual(data, original);
    S.pasteRect(data, width, patch);
    assert.deepEqual(data, original);
  });

  it('copies just the rectangle, row by row', () => {
    const data = new Uint8ClampedArray(4 * 3 * 4).map((_, i) => i);
    const patch = S.copyRect(data, 4, { x0: 1, y0: 1, x1: 3, y1: 3 });
    assert.deepEqual(Array.from(patch.pixels), [
      20, 21, 22, 23, 24, 25, 26, 27,
      36, 37, 38, 39, 40, 41, 42, 43,
    ]);
  });

  it('leaves everything outside the rectangle alone when pasting', () => {
    const data = new Uint8ClampedArray(3 * 3 * 4).fill(9);
    S.pasteRect(data, 3, { x0: 1, y0: 1, x1: 2, y1: 2, pixels: new Uint8ClampedArray([1, 2, 3, 4]) });
    const changed = [];
    data.forEach((v, i) => {
      if (v !== 9) changed.push(i);
    });
    assert.deepEqual(changed, [16, 17, 18, 19]);
  });
});

describe('brush size', () => {
  it('keeps the size within the slider and whole', () => {
    assert.equal(S.clampBrush(32), 32);
    assert.equal(S.clampBrush('12.6'), 13);
    assert.equal(S.clampBrush(0), S.BRUSH_MIN);
    assert.equal(S.clampBrush(5000), S.BRUSH_MAX);
    assert.equal(S.clampBrush('big'), 32);
  });
});

describe('preview throttle', () => {
  function fakeTimers() {
    const pending = new Map();
    let next = 1;
    return {
      set(fn, ms) {
        pending.set(next, { fn, ms });
        return next++;
      },
      clear(id) {
        pending.delete(id);
      },
      fire() {
        const all = [...pending.values()];
        pending.clear();
        for (const t of all) t.fn();
      },
      pending,
    };
  }

  it('folds many calls into one run after the delay', () => {
    const timers = fakeTimers();
    let runs = 0;
    const throttle = S.createThrottle(() => runs++, 150, timers);
    for (let i = 0; i < 10; i++) throttle.call();
    assert.equal(timers.pending.size, 1);
    assert.equal([...timers.pending.values()][0].ms, 150);
    assert.equal(runs, 0);
    timers.fire();
    assert.equal(runs, 1);
    throttle.call();
    timers.fire();
    assert.equal(runs, 2);
  });

  it('runs a pending call at once on flush, and not again later', () => {
    const timers = fakeTimers();
    let runs = 0;
    const throttle = S.createThrottle(() => runs++, 150, timers);
    throttle.flush();
    assert.equal(runs, 0);
    throttle.call();
    throttle.flush();
    assert.equal(runs, 1);
    assert.equal(throttle.pending(), false);
    timers.fire();
    assert.equal(runs, 1);
  });

  it('drops a pending call on cancel', () => {
    const timers = fakeTimers();
    let runs = 0;
    const throttle = S.createThrottle(() => runs++, 150, timers);
    throttle.call();
    throttle.cancel();
    timers.fire();
    assert.equal(runs, 0);
    assert.equal(timers.pending.size, 0);
  });
});

describe('painting with undo', () => {
  const SIZE = 2048;
  const BLACK = [0, 0, 0, 255];

  // A 2D context over one texel array: enough for the painting to fill, draw, read and show.
  function fakeCanvas() {
    const texels = new Uint8ClampedArray(SIZE * SIZE * 4);
    const shown = [];
    const ctx = {
      fillRect() {
        for (let p = 0; p < texels.length; p += 4) texels.set(BLACK, p);
      },
      drawImage(source) {
        texels.set(source.texels);
      },
      getImageData: () => ({ data: texels.slice() }),
      putImageData(image, x, y, dx, dy, w, h) {
        shown.push({ dx, dy, w, h });
      },
    };
    return { getContext: () => ctx, shown };
  }

  function setup(zone = 'display') {
    const canvas = fakeCanvas();
    const calls = { strokes: 0, changed: 0, undo: [] };
    const painting = S.createPainting(canvas, {
      brush: { zone, size: 8 },
      onStroke: () => calls.strokes++,
      onChanged: () => calls.changed++,
      onUndoCount: (n) => calls.undo.push(n),
    });
    painting.replace(null);
    return { painting, canvas, calls };
  }

  const texel = (painting, x, y) => Array.from(painting.data().subarray((y * SIZE + x) * 4, (y * SIZE + x) * 4 + 4));

  function stroke(painting, points) {
    painting.begin();
    points.forEach(([x, y, join], i) => painting.strokeTo(x, y, i > 0 && join !== false));
    painting.end();
  }

  it('paints the brush zone\'s colour, or black for the eraser, and undoes the stroke', () => {
    for (const [zone, colour] of [['display', [255, 0, 0, 255]], ['body', [0, 255, 255, 255]], ['none', BLACK]]) {
      const { painting, canvas, calls } = setup(zone);
      if (zone === 'none') painting.replace({ texels: new Uint8ClampedArray(SIZE * SIZE * 4).fill(255) });
      const before = texel(painting, 100, 100);
      stroke(painting, [[100, 100], [300, 100]]);
      assert.deepEqual(texel(painting, 200, 100), colour, zone);
      assert.deepEqual([calls.strokes, calls.changed, calls.undo], [2, 1, [1]], zone);
      assert.ok(canvas.shown.length >= 2);
      painting.undo();
      assert.deepEqual(texel(painting, 200, 100), before, zone);
      assert.deepEqual([calls.changed, calls.undo], [2, [1, 0]], zone);
    }
  });

  it('leaves a gap where the stroke was broken, as across a seam', () => {
    const { painting } = setup();
    painting.begin();
    painting.strokeTo(100, 100, false);
    assert.deepEqual(painting.last(), { x: 100, y: 100 });
    painting.breakLine();
    painting.strokeTo(300, 100, true);
    painting.end();
    assert.deepEqual(texel(painting, 200, 100), BLACK);
    assert.deepEqual(texel(painting, 300, 100), [255, 0, 0, 255]);
    assert.equal(painting.active(), false);
  });

  it('keeps no undo step for a stroke that touched nothing, nor for dabs outside a stroke', () => {
    const { painting, calls } = setup();
    painting.strokeTo(50, 50, false);
    stroke(painting, [[-500, -500], [-400, -400]]);
    assert.deepEqual(texel(painting, 50, 50), BLACK);
    assert.deepEqual([calls.changed, calls.undo], [0, []]);
    painting.undo();
    assert.deepEqual([calls.changed, calls.undo], [0, [0]]);
  });

  it('keeps the last 30 steps only, and undoes a whole replaced pattern', () => {
    const { painting, calls } = setup();
    for (let i = 0; i < 31; i++) stroke(painting, [[10 + i * 20, 10]]);
    assert.equal(calls.undo.at(-1), 30);
    for (let i = 0; i < 30; i++) painting.undo();
    assert.deepEqual(texel(painting, 10, 10), [255, 0, 0, 255], 'the oldest stroke fell off the stack');
    assert.deepEqual(texel(painting, 30, 10), BLACK);

    const before = painting.snapshot();
    painting.replace({ texels: new Uint8ClampedArray(SIZE * SIZE * 4).fill(255) });
    painting.pushUndo(before);
    assert.deepEqual(texel(painting, 30, 10), [255, 255, 255, 255]);
    painting.undo();
    assert.deepEqual(texel(painting, 10, 10), [255, 0, 0, 255]);
    assert.deepEqual(texel(painting, 30, 10), BLACK);
    painting.clearUndo();
    assert.equal(calls.undo.at(-1), 0);
  });
});
