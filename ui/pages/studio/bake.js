/*
 * The preview bake: the painted pattern turned into the texture the model wears, each zone in
 * its chosen colour and shaded like the game shades it. Pure, so it runs under node as well.
 */
import { ZONE_BY_BITS, MASK_ZONES, bitsOf, zoneRgb } from './zones.js';

// The colour of a texel that no zone claims.
const NEUTRAL_GREY = 128;

/**
 * Bakes the preview texture: each texel takes the colour of its painted zone (grey 128 when
 * it has none; a glowing zone brightened by glowFactor), a texel the mask marks takes the
 * mask zone's colour instead, and the result is shaded by (rac green / 128) x (rac blue / 255)
 * and capped at 255. `paint`, `rac` and `mask` are RGBA arrays of width x height; a missing
 * rac shades nothing and a missing mask marks nothing.
 */
export function bakePreview({ paint, rac, mask, width, height, colours, glows }, out) {
  const count = width * height;
  if (paint.length < count * 4) throw new RangeError('paint smaller than width x height');
  if (rac && rac.length < count * 4) throw new RangeError('rac smaller than width x height');
  if (mask && mask.length < count * 4) throw new RangeError('mask smaller than width x height');
  const target = out || new Uint8ClampedArray(count * 4);

  // One colour per combination of on-channels, worked out once instead of per texel.
  const byBits = ZONE_BY_BITS.map((key) =>
    key === null ? [NEUTRAL_GREY, NEUTRAL_GREY, NEUTRAL_GREY] : zoneRgb(key, colours, glows)
  );
  // Indexed like maskZoneOfColour decides: red before green before blue.
  const byMask = MASK_ZONES.map((z) => zoneRgb(z.key, colours, glows));

  for (let i = 0; i < count; i++) {
    const p = i * 4;
    let colour = byBits[bitsOf(paint[p], paint[p + 1], paint[p + 2])];
    if (mask) {
      if (mask[p] > 127) colour = byMask[0];
      else if (mask[p + 1] > 127) colour = byMask[1];
      else if (mask[p + 2] > 127) colour = byMask[2];
    }
    const shade = rac ? (rac[p + 1] / 128) * (rac[p + 2] / 255) : 1;
    target[p] = Math.min(255, Math.round(colour[0] * shade));
    target[p + 1] = Math.min(255, Math.round(colour[1] * shade));
    target[p + 2] = Math.min(255, Math.round(colour[2] * shade));
    target[p + 3] = 255;
  }
  return target;
}

/**
 * Nearest-texel resize of an RGBA image. Blending neighbours would invent colours that are
 * not pure and so move texels between zones; picking one keeps every zone edge honest.
 */
export function resizeNearest(src, sw, sh, dw, dh) {
  const out = new Uint8ClampedArray(dw * dh * 4);
  for (let y = 0; y < dh; y++) {
    const sy = Math.min(sh - 1, Math.floor(((y + 0.5) * sh) / dh));
    for (let x = 0; x < dw; x++) {
      const sx = Math.min(sw - 1, Math.floor(((x + 0.5) * sw) / dw));
      const s = (sy * sw + sx) * 4;
      const d = (y * dw + x) * 4;
      out[d] = src[s];
      out[d + 1] = src[s + 1];
      out[d + 2] = src[s + 2];
      out[d + 3] = src[s + 3];
    }
  }
  return out;
}
