/*
 * The pattern being painted: the 2048 x 2048 paint canvas, its texels, the strokes that
 * change them and the undo that puts them back.
 */
import { PAINT_SIZE, UNDO_LIMIT } from './constants.js';
import { PAINT_ZONES } from './zones.js';
import { stampDisc, stampLine, unionRect, copyRect, pasteRect } from './brush.js';

// The eraser ('none') paints black, which is no zone.
function brushRgb(key) {
  const zone = PAINT_ZONES.find((z) => z.key === key);
  return zone ? zone.rgb : [0, 0, 0];
}

// The last UNDO_LIMIT patches; `onCount(n)` follows every change, even an empty pop, so the
// Undo button always matches.
function createUndoStack(onCount) {
  const patches = [];
  return {
    push(patch) {
      patches.push(patch);
      if (patches.length > UNDO_LIMIT) patches.shift();
      onCount(patches.length);
    },
    pop() {
      const patch = patches.pop();
      onCount(patches.length);
      return patch;
    },
    clear() {
      patches.length = 0;
      onCount(0);
    },
  };
}

/**
 * `brush` is the page's { zone, size }, read at each dab. `onStroke` follows every dab (the
 * preview catches up at its own pace), `onChanged` a finished change, and `onUndoCount(n)`
 * each change of the undo stack.
 */
export function createPainting(canvas, { brush, onStroke, onChanged, onUndoCount }) {
  // The canvas is the pattern itself; `image` holds its texels and every brush works on them
  // first, so nothing has to be read back from the canvas while painting.
  const ctx = canvas.getContext('2d', { willReadFrequently: true });
  let image = null;
  const undoStack = createUndoStack(onUndoCount);
  const stroke = { before: null, rect: null, last: null };

  /** Starts over from black with `source` (any drawable, or null) stretched over it. */
  function replace(source) {
    ctx.imageSmoothingEnabled = false;
    ctx.fillStyle = '#000';
    ctx.fillRect(0, 0, PAINT_SIZE, PAINT_SIZE);
    if (source) ctx.drawImage(source, 0, 0, PAINT_SIZE, PAINT_SIZE);
    image = ctx.getImageData(0, 0, PAINT_SIZE, PAINT_SIZE);
  }

  function show(rect) {
    if (rect) ctx.putImageData(image, 0, 0, rect.x0, rect.y0, rect.x1 - rect.x0, rect.y1 - rect.y0);
  }

  // `join` false starts a new dab instead of a line from the last point, as when a stroke on
  // the model jumps across a texture seam.
  function strokeTo(x, y, join) {
    if (!stroke.before) return;
    const radius = brush.size / 2;
    const rect = join && stroke.last
      ? stampLine(image.data, PAINT_SIZE, PAINT_SIZE, stroke.last.x, stroke.last.y, x, y, radius, brushRgb(brush.zone))
      : stampDisc(image.data, PAINT_SIZE, PAINT_SIZE, x, y, radius, brushRgb(brush.zone));
    stroke.last = { x, y };
    stroke.rect = unionRect(stroke.rect, rect);
    show(rect);
    onStroke();
  }

  return {
    replace,
    data: () => image.data,
    begin() {
      stroke.before = image.data.slice();
      stroke.rect = null;
      stroke.last = null;
    },
    strokeTo,
    active: () => stroke.before !== null,
    /** Where the stroke last painted, or null. */
    last: () => stroke.last,
    /** The next dab starts afresh instead of joining the last one. */
    breakLine() {
      stroke.last = null;
    },
    end() {
      if (!stroke.before) return;
      if (stroke.rect) undoStack.push(copyRect(stroke.before, PAINT_SIZE, stroke.rect));
      stroke.before = null;
      stroke.last = null;
      if (stroke.rect) onChanged();
      stroke.rect = null;
    },
    /** A copy of the whole pattern, for undoing a change that replaces all of it. */
    snapshot: () => copyRect(image.data, PAINT_SIZE, { x0: 0, y0: 0, x1: PAINT_SIZE, y1: PAINT_SIZE }),
    pushUndo: undoStack.push,
    clearUndo: undoStack.clear,
    undo() {
      const patch = undoStack.pop();
      if (!patch) return;
      pasteRect(image.data, PAINT_SIZE, patch);
      show(patch);
      onChanged();
    },
  };
}

/** Painting with the pointer straight on the paint canvas. */
export function attachCanvasPainting(canvas, painting) {
  const toTexels = (event) => {
    const box = canvas.getBoundingClientRect();
    return {
      x: ((event.clientX - box.left) / box.width) * PAINT_SIZE,
      y: ((event.clientY - box.top) / box.height) * PAINT_SIZE,
    };
  };
  canvas.addEventListener('pointerdown', (event) => {
    if (event.button !== 0) return;
    event.preventDefault();
    canvas.setPointerCapture(event.pointerId);
    painting.begin();
    const p = toTexels(event);
    painting.strokeTo(p.x, p.y, false);
  });
  canvas.addEventListener('pointermove', (event) => {
    if (!painting.active() || !canvas.hasPointerCapture(event.pointerId)) return;
    const p = toTexels(event);
    painting.strokeTo(p.x, p.y, true);
  });
  const finish = (event) => {
    if (canvas.hasPointerCapture(event.pointerId)) canvas.releasePointerCapture(event.pointerId);
    painting.end();
  };
  canvas.addEventListener('pointerup', finish);
  canvas.addEventListener('pointercancel', finish);
}
