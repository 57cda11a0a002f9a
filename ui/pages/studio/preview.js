/*
 * The preview canvas the model wears: the pattern baked with the zone colours and the
 * species' shading. It owns the shading images and the pacing of bakes during a stroke.
 */
import { PAINT_SIZE, PREVIEW_SIZE, PREVIEW_THROTTLE_MS } from './constants.js';
import { bakePreview, resizeNearest } from './bake.js';
import { createThrottle } from './throttle.js';

/**
 * `paintData()` gives the pattern's texels at bake time (the painting replaces its image when
 * a pattern is loaded); `colours` and `glows` are read live; `onBaked(count)` follows every
 * bake, so the model view can pick the new texture up.
 */
export function createPreview(win, { paintData, colours, glows, onBaked }) {
  const canvas = win.document.createElement('canvas');
  canvas.width = PREVIEW_SIZE;
  canvas.height = PREVIEW_SIZE;
  const ctx = canvas.getContext('2d');
  const shading = { rac: null, mask: null };
  let bakes = 0;

  const timers = { set: (fn, ms) => win.setTimeout(fn, ms), clear: (id) => win.clearTimeout(id) };
  const throttle = createThrottle(bake, PREVIEW_THROTTLE_MS, timers);

  function bake() {
    throttle.cancel();
    const paint = resizeNearest(paintData(), PAINT_SIZE, PAINT_SIZE, PREVIEW_SIZE, PREVIEW_SIZE);
    const out = bakePreview({
      paint,
      rac: shading.rac,
      mask: shading.mask,
      width: PREVIEW_SIZE,
      height: PREVIEW_SIZE,
      colours,
      glows,
    }, paint);
    ctx.putImageData(new win.ImageData(out, PREVIEW_SIZE, PREVIEW_SIZE), 0, 0);
    bakes++;
    onBaked(bakes);
  }

  return {
    canvas,
    bake,
    /** A bake soon, folded with any others asked for meanwhile. */
    schedule: () => throttle.call(),
    /** The species' rac and mask texels at preview size; null where it has none. */
    setShading(rac, mask) {
      shading.rac = rac;
      shading.mask = mask;
    },
  };
}
