/*
 * The brush on raw RGBA texels: hard-edged discs and lines, the rectangles they touch, and
 * the copies of those rectangles that undo puts back.
 */
import { BRUSH_MIN, BRUSH_MAX } from './constants.js';

/** Rectangles are {x0, y0, x1, y1} with exclusive ends; null is the empty one. */
export function unionRect(a, b) {
  if (!a) return b || null;
  if (!b) return a;
  return {
    x0: Math.min(a.x0, b.x0),
    y0: Math.min(a.y0, b.y0),
    x1: Math.max(a.x1, b.x1),
    y1: Math.max(a.y1, b.y1),
  };
}

/**
 * Sets every texel whose centre lies within `radius` of (cx, cy) to the opaque colour `rgb`,
 * with hard edges: a blended edge would not be a pure colour and would fall out of its zone.
 * Returns the rectangle that may have changed, or null when the disc misses the image.
 */
export function stampDisc(data, width, height, cx, cy, radius, rgb) {
  const r = Math.max(0.5, radius);
  const x0 = Math.max(0, Math.floor(cx - r));
  const y0 = Math.max(0, Math.floor(cy - r));
  const x1 = Math.min(width, Math.ceil(cx + r));
  const y1 = Math.min(height, Math.ceil(cy + r));
  if (x0 >= x1 || y0 >= y1) return null;
  const r2 = r * r;
  let touched = false;
  for (let y = y0; y < y1; y++) {
    const dy = y + 0.5 - cy;
    for (let x = x0; x < x1; x++) {
      const dx = x + 0.5 - cx;
      if (dx * dx + dy * dy > r2) continue;
      const p = (y * width + x) * 4;
      data[p] = rgb[0];
      data[p + 1] = rgb[1];
      data[p + 2] = rgb[2];
      data[p + 3] = 255;
      touched = true;
    }
  }
  return touched ? { x0, y0, x1, y1 } : null;
}

/** Discs along the segment, close enough that a fast drag still leaves an unbroken line. */
export function stampLine(data, width, height, ax, ay, bx, by, radius, rgb) {
  const step = Math.max(1, Math.max(0.5, radius) / 2);
  const steps = Math.max(1, Math.ceil(Math.hypot(bx - ax, by - ay) / step));
  let rect = null;
  for (let i = 0; i <= steps; i++) {
    const t = i / steps;
    rect = unionRect(rect, stampDisc(data, width, height, ax + (bx - ax) * t, ay + (by - ay) * t, radius, rgb));
  }
  return rect;
}

/** A copy of one rectangle of an RGBA image, enough to put it back later. */
export function copyRect(data, width, rect) {
  const w = rect.x1 - rect.x0;
  const h = rect.y1 - rect.y0;
  const pixels = new Uint8ClampedArray(w * h * 4);
  for (let y = 0; y < h; y++) {
    const from = ((rect.y0 + y) * width + rect.x0) * 4;
    pixels.set(data.subarray(from, from + w * 4), y * w * 4);
  }
  return { x0: rect.x0, y0: rect.y0, x1: rect.x1, y1: rect.y1, pixels };
}

/** Writes a copy made by copyRect back into the image. */
export function pasteRect(data, width, patch) {
  const w = patch.x1 - patch.x0;
  const h = patch.y1 - patch.y0;
  for (let y = 0; y < h; y++) {
    data.set(patch.pixels.subarray(y * w * 4, (y + 1) * w * 4), ((patch.y0 + y) * width + patch.x0) * 4);
  }
}

/** The brush size the owner typed, in paint texels, kept within the slider's range. */
export function clampBrush(value) {
  const n = Math.round(Number(value));
  if (!Number.isFinite(n)) return 32;
  return Math.min(BRUSH_MAX, Math.max(BRUSH_MIN, n));
}
