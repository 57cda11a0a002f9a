/*
 * The Zuze Ravizu page: reads the game's species, extracts one, shows its model and lets the
 * owner paint a zone pattern on a 2048 x 2048 canvas (or straight on the model), previews the
 * pattern with chosen zone colours, and saves it as a skin texture.
 *
 * A module, so it runs after the page shell; the shell holds the studio messages that arrive
 * before this page has started. The pure parts (zone reading, the preview bake, the brush,
 * the rules for names and pattern files) are exported and run under node as well; everything
 * that needs a document starts only in the page.
 */
import * as THREE from 'three';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';
import { OrbitControls } from 'three/addons/controls/OrbitControls.js';

// ------------------------------------------------------------------------------ constants

export const PAINT_SIZE = 2048;
export const PREVIEW_SIZE = 1024;
export const GLOW_MIN = 1;
export const GLOW_MAX = 20;
export const BRUSH_MIN = 2;
export const BRUSH_MAX = 256;
export const UNDO_LIMIT = 30;
// While a stroke is under way the preview follows at this pace; the bake of a whole
// 1024 x 1024 texture is too slow to run on every pointer move.
export const PREVIEW_THROTTLE_MS = 150;

export const TEXTURE_NAME_ERROR = 'Texture name: lowercase letters, digits, _ and -.';
export const SCAN_NOTICE = 'Reading the game files, this takes a moment...';
export const IMPORT_NOTICE =
  'Pattern imported. Only pure red, green, blue, cyan, magenta and yellow count as zones.';

/**
 * The painted zones, each marked on the pattern by one pure colour, and the three zones the
 * game's mask marks. Keys are the skin zone keys, so a colour chosen here means the same zone
 * in the skins editor.
 */
export const PAINT_ZONES = [
  { key: 'display', label: 'Male display', rgb: [255, 0, 0], hex: '#6C3729' },
  { key: 'underbelly', label: 'Underbelly', rgb: [0, 255, 0], hex: '#D3B48B' },
  { key: 'flank', label: 'Flank', rgb: [0, 0, 255], hex: '#594934' },
  { key: 'body', label: 'Body', rgb: [0, 255, 255], hex: '#897559' },
  { key: 'markings', label: 'Markings', rgb: [255, 0, 255], hex: '#342F29' },
  { key: 'detail', label: 'Detail', rgb: [255, 255, 0], hex: '#000000' },
];
export const MASK_ZONES = [
  { key: 'teeth', label: 'Teeth', channel: 0, hex: '#E9DDC5' },
  { key: 'mouth', label: 'Mouth', channel: 1, hex: '#7C5859' },
  { key: 'claws', label: 'Claws', channel: 2, hex: '#3A3128' },
];
export const ALL_ZONES = [...PAINT_ZONES, ...MASK_ZONES];

// A pattern pixel's on-channels as bits (red 1, green 2, blue 4) name its zone. Black and
// white are no zone: white has every channel on and so is not one pure colour.
const ZONE_BY_BITS = [null, 'display', 'underbelly', 'detail', 'flank', 'markings', 'body', null];
const NEUTRAL_GREY = 128;

// ------------------------------------------------------------------------------ zones

/** A channel counts as on above 127, so 128 is on and 127 is off. */
export function channelOn(value) {
  return value > 127;
}

function bitsOf(r, g, b) {
  return (channelOn(r) ? 1 : 0) | (channelOn(g) ? 2 : 0) | (channelOn(b) ? 4 : 0);
}

/** The painted zone a pattern colour marks, or null for none. */
export function zoneOfColour(r, g, b) {
  return ZONE_BY_BITS[bitsOf(r, g, b)];
}

/**
 * The mask zone of a mask colour, or null. A texel the mask marks twice goes to the zone
 * listed first (teeth, then mouth, then claws).
 */
export function maskZoneOfColour(r, g, b) {
  if (channelOn(r)) return 'teeth';
  if (channelOn(g)) return 'mouth';
  if (channelOn(b)) return 'claws';
  return null;
}

function readWith(rgba, width, height, zoneOf, keys) {
  const count = width * height;
  if (rgba.length < count * 4) throw new RangeError('pixel data smaller than width x height');
  const out = new Uint8Array(count);
  for (let i = 0; i < count; i++) {
    const p = i * 4;
    const key = zoneOf(rgba[p], rgba[p + 1], rgba[p + 2]);
    out[i] = key === null ? 0 : keys.indexOf(key) + 1;
  }
  return out;
}

/**
 * Zone of every texel of an RGBA image: 0 for none, else 1 + the index into PAINT_ZONES.
 */
export function readZones(rgba, width, height) {
  return readWith(rgba, width, height, zoneOfColour, PAINT_ZONES.map((z) => z.key));
}

/** Mask zone of every texel: 0 for none, else 1 + the index into MASK_ZONES. */
export function readMaskZones(rgba, width, height) {
  return readWith(rgba, width, height, maskZoneOfColour, MASK_ZONES.map((z) => z.key));
}

// ------------------------------------------------------------------------------ colours

/** "#RRGGBB" as three numbers; anything else is null. */
export function hexToRgb(hex) {
  const m = /^#?([0-9a-f]{2})([0-9a-f]{2})([0-9a-f]{2})$/i.exec(String(hex).trim());
  if (!m) return null;
  return [parseInt(m[1], 16), parseInt(m[2], 16), parseInt(m[3], 16)];
}

/** How much a glowing zone is brightened in the preview; no glow (1 or less) leaves it. */
export function glowFactor(glow) {
  const g = Number(glow);
  if (!(g > 1)) return 1;
  return Math.min(2, g / 2 + 0.5);
}

/** The glow typed by the owner, like the skins editor's neon: 1 to 20, invalid gives 1. */
export function parseGlow(text) {
  const g = typeof text === 'number' ? text : parseFloat(String(text).trim());
  if (!Number.isFinite(g) || g < GLOW_MIN) return GLOW_MIN;
  return Math.min(GLOW_MAX, g);
}

export function defaultColours() {
  const colours = {};
  for (const z of ALL_ZONES) colours[z.key] = z.hex;
  return colours;
}

export function defaultGlows() {
  const glows = {};
  for (const z of ALL_ZONES) glows[z.key] = 1;
  return glows;
}

function zoneRgb(key, colours, glows) {
  const zone = ALL_ZONES.find((z) => z.key === key);
  const rgb = hexToRgb((colours && colours[key]) || zone.hex) || hexToRgb(zone.hex);
  const factor = glowFactor(glows ? glows[key] : 1);
  return rgb.map((c) => c * factor);
}

// ------------------------------------------------------------------------------ preview bake

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

// ------------------------------------------------------------------------------ brush

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

// ------------------------------------------------------------------------------ files and names

/**
 * The pattern to start painting from: the first pattern whose file names "Adult_Pattern_1",
 * else the first naming "Adult", else the first pattern at all; null when there is none.
 */
export function choosePattern(files) {
  const patterns = (Array.isArray(files) ? files : []).filter(
    (f) => f && typeof f === 'object' && f.kind === 'pattern' && typeof f.file === 'string' && f.file !== ''
  );
  return (
    patterns.find((f) => f.file.includes('Adult_Pattern_1')) ||
    patterns.find((f) => f.file.includes('Adult')) ||
    patterns[0] ||
    null
  );
}

/** The first listed file of a kind ("rac", "mask"), or null. */
export function fileOfKind(files, kind) {
  return (
    (Array.isArray(files) ? files : []).find(
      (f) => f && typeof f === 'object' && f.kind === kind && typeof f.file === 'string' && f.file !== ''
    ) || null
  );
}

/** Address of one file of an extracted species below the assets host. */
export function assetUrl(base, species, file) {
  return base + encodeURIComponent(species) + '/' + encodeURIComponent(file);
}

/** The name a texture is saved under, or the reason it cannot be. */
export function textureName(raw) {
  const name = String(raw === undefined || raw === null ? '' : raw).trim().toLowerCase();
  if (!/^[a-z0-9_-]+$/.test(name)) return { error: TEXTURE_NAME_ERROR };
  return { name };
}

/** The base64 part of a data URL, which is what the host stores as the PNG's bytes. */
export function dataUrlBase64(url) {
  const text = String(url);
  const comma = text.indexOf(',');
  return comma < 0 ? '' : text.slice(comma + 1);
}

/** What an error says, for the notices; a thrown non-Error is shown as it is. */
export function errorText(error) {
  if (error && typeof error === 'object' && typeof error.message === 'string' && error.message) {
    return error.message;
  }
  return String(error);
}

/**
 * The species chips from a studio message: the game's list in its order, then extracted
 * species the list does not name (the list may have been read again since). Names that are
 * not strings are skipped; a species appears once.
 */
export function speciesChips(msg) {
  const listed = msg && Array.isArray(msg.species) ? msg.species : [];
  const extracted = new Set(
    (msg && Array.isArray(msg.extracted) ? msg.extracted : []).filter((n) => typeof n === 'string')
  );
  const seen = new Set();
  const chips = [];
  for (const name of [...listed, ...extracted]) {
    if (typeof name !== 'string' || name === '' || seen.has(name)) continue;
    seen.add(name);
    chips.push({ name, extracted: extracted.has(name) });
  }
  return chips;
}

/**
 * Runs `fn` at most once per `ms`: calls while one is pending are folded into it. flush()
 * runs a pending call at once. `timers` is { set, clear } so tests can drive the clock.
 */
export function createThrottle(fn, ms, timers) {
  let handle = null;
  return {
    call() {
      if (handle !== null) return;
      handle = timers.set(() => {
        handle = null;
        fn();
      }, ms);
    },
    flush() {
      if (handle === null) return;
      timers.clear(handle);
      handle = null;
      fn();
    },
    cancel() {
      if (handle !== null) timers.clear(handle);
      handle = null;
    },
    pending() {
      return handle !== null;
    },
  };
}

// ------------------------------------------------------------------------------ the page

function createStudioPage(win) {
  const doc = win.document;
  let shell = null;
  let latest = null; // the last studio message
  let pendingExtract = ''; // species we asked the host to extract, opened once it is there

  const colours = defaultColours();
  const glows = defaultGlows();
  const brush = { zone: 'display', size: 32 };

  // The paint canvas is the pattern itself; `paintImage` holds its texels and every brush
  // works on them first, so nothing has to be read back from the canvas while painting.
  let paintCanvas = null;
  let paintCtx = null;
  let paintImage = null;
  let racData = null;
  let maskData = null;
  const undoStack = [];
  let strokeBefore = null;
  let strokeRect = null;
  let strokeLast = null;

  const previewCanvas = doc.createElement('canvas');
  previewCanvas.width = PREVIEW_SIZE;
  previewCanvas.height = PREVIEW_SIZE;
  const previewCtx = previewCanvas.getContext('2d');
  let previewTexture = null;
  let bakes = 0;

  let species = ''; // the species whose files are shown
  let openToken = 0;
  const viewer = { renderer: null, scene: null, camera: null, controls: null, model: null, frame: 0 };

  const el = {};
  let root = null;
  let chipsHtml = '';

  const timers = { set: (fn, ms) => win.setTimeout(fn, ms), clear: (id) => win.clearTimeout(id) };
  const previewThrottle = createThrottle(bake, PREVIEW_THROTTLE_MS, timers);

  // ------------------------------------------------------------------- markup

  function brushButton(key, label, rgb) {
    const colour = `rgb(${rgb[0]}, ${rgb[1]}, ${rgb[2]})`;
    return `<button type="button" class="studio-brush" data-brush="${key}" aria-pressed="false" title="Paint ${label}">` +
      `<span class="studio-swatch" style="background:${colour}"></span><span>${label}</span></button>`;
  }

  function zoneRow(zone, marker, markerTitle) {
    return `<div class="studio-zone" data-zone="${zone.key}">
        <span class="studio-swatch studio-marker" style="background:${marker}" title="${markerTitle}"></span>
        <label class="studio-zone-label" for="studio-colour-${zone.key}">${zone.label}</label>
        <input type="color" id="studio-colour-${zone.key}" data-colour="${zone.key}" value="${colours[zone.key].toLowerCase()}" aria-label="${zone.label} colour">
        <label class="studio-glow">glow <input type="number" data-glow="${zone.key}" min="${GLOW_MIN}" max="${GLOW_MAX}" step="0.5" value="${glows[zone.key]}" aria-label="${zone.label} glow"></label>
      </div>`;
  }

  function build() {
    root = doc.createElement('div');
    root.className = 'studio';
    root.id = 'studio-root';
    const maskMarker = ['rgb(255, 0, 0)', 'rgb(0, 255, 0)', 'rgb(0, 0, 255)'];
    root.innerHTML = `
      <div class="card">
        <div class="studio-head">
          <h2 class="card-title">Zuze Ravizu</h2>
          <span class="badge badge-missing" id="studio-helper">helper missing</span>
          <button type="button" class="btn primary" id="studio-scan" disabled>Read game files</button>
        </div>
        <p class="hint" id="studio-hint"></p>
        <div class="studio-chips" id="studio-chips" role="list"></div>
      </div>
      <div class="studio-work">
        <div class="card studio-model-card">
          <div class="studio-card-head">
            <h2 class="card-title">Model <span class="muted" id="studio-species"></span></h2>
            <label class="studio-toggle"><input type="checkbox" class="switch" id="studio-paint3d"> Paint on model</label>
          </div>
          <div class="studio-view" id="studio-view">
            <p class="empty studio-view-empty" id="studio-view-empty">Open an extracted species to see its model.</p>
          </div>
          <p class="hint">Drag to turn, wheel to zoom, right-drag to move. With “Paint on model” a press on the model paints.</p>
        </div>
        <div class="card studio-paint-card">
          <div class="studio-card-head">
            <h2 class="card-title">Pattern</h2>
            <div class="actions">
              <button type="button" class="btn" id="studio-undo" disabled>Undo</button>
              <button type="button" class="btn" id="studio-import-button">Import PNG</button>
              <input type="file" id="studio-import" accept="image/png" hidden>
            </div>
          </div>
          <div class="studio-brushes" id="studio-brushes">
            ${PAINT_ZONES.map((z) => brushButton(z.key, z.label, z.rgb)).join('')}
            ${brushButton('none', 'Erase', [0, 0, 0])}
          </div>
          <label class="studio-size">Brush <input type="range" id="studio-size" min="${BRUSH_MIN}" max="${BRUSH_MAX}" value="${brush.size}">
            <output id="studio-size-value">${brush.size}</output> px</label>
          <div class="studio-canvas-wrap"><canvas id="studio-paint" class="studio-paint" width="${PAINT_SIZE}" height="${PAINT_SIZE}"></canvas></div>
        </div>
      </div>
      <div class="card">
        <h2 class="card-title">Zone colours</h2>
        <p class="hint">The preview paints each zone in its colour. Glow above 1 brightens a zone, as neon does in a skin.</p>
        <h3 class="studio-subtitle">Painted zones</h3>
        <div class="studio-zones">
          ${PAINT_ZONES.map((z) => zoneRow(z, `rgb(${z.rgb.join(', ')})`, 'Painted in this colour')).join('')}
        </div>
        <h3 class="studio-subtitle">From the game's mask</h3>
        <div class="studio-zones">
          ${MASK_ZONES.map((z, i) => zoneRow(z, maskMarker[i], 'Marked by this channel of the mask')).join('')}
        </div>
      </div>
      <div class="card">
        <h2 class="card-title">Save texture</h2>
        <div class="actions">
          <input type="text" id="studio-name" placeholder="texture name" maxlength="40" aria-label="Texture name">
          <button type="button" class="btn primary" id="studio-save">Save texture</button>
        </div>
        <p class="hint" id="studio-textures"></p>
      </div>`;

    for (const id of ['helper', 'scan', 'hint', 'chips', 'species', 'paint3d', 'view', 'view-empty', 'undo',
      'import', 'import-button', 'brushes', 'size', 'size-value', 'paint', 'name', 'save', 'textures']) {
      el[id] = root.querySelector('#studio-' + id);
    }

    paintCanvas = el.paint;
    paintCtx = paintCanvas.getContext('2d', { willReadFrequently: true });
    paintCtx.imageSmoothingEnabled = false;
    paintCtx.fillStyle = '#000';
    paintCtx.fillRect(0, 0, PAINT_SIZE, PAINT_SIZE);
    paintImage = paintCtx.getImageData(0, 0, PAINT_SIZE, PAINT_SIZE);

    el.scan.addEventListener('click', scan);
    el.chips.addEventListener('click', (event) => {
      const chip = event.target.closest('[data-species]');
      if (chip) chipClicked(chip.dataset.species);
    });
    el.brushes.addEventListener('click', (event) => {
      const button = event.target.closest('[data-brush]');
      if (button) selectBrush(button.dataset.brush);
    });
    el.size.addEventListener('input', () => {
      brush.size = clampBrush(el.size.value);
      el['size-value'].textContent = String(brush.size);
    });
    el.undo.addEventListener('click', undo);
    el['import-button'].addEventListener('click', () => el.import.click());
    el.import.addEventListener('change', importPattern);
    // Ctrl+Z undoes a stroke while this page is showing, except where it undoes typing.
    doc.addEventListener('keydown', (event) => {
      if (!(event.ctrlKey || event.metaKey) || event.shiftKey || event.altKey || event.key.toLowerCase() !== 'z') return;
      if (!shell || shell.state.tab !== 'studio') return;
      const target = event.target;
      if (target && (target.isContentEditable || /^(INPUT|TEXTAREA|SELECT)$/.test(target.tagName))) {
        if (!(target.type === 'checkbox' || target.type === 'range' || target.type === 'color')) return;
      }
      event.preventDefault();
      undo();
    });
    el.save.addEventListener('click', save);
    el.name.addEventListener('keydown', (event) => {
      if (event.key === 'Enter') save();
    });
    root.addEventListener('input', (event) => {
      const target = event.target;
      if (target.dataset.colour) {
        colours[target.dataset.colour] = target.value.toUpperCase();
        previewThrottle.call();
      }
    });
    root.addEventListener('change', (event) => {
      const target = event.target;
      if (target.dataset.glow) {
        const glow = parseGlow(target.value);
        glows[target.dataset.glow] = glow;
        target.value = String(glow);
        bake();
      }
    });
    el.paint3d.addEventListener('change', () => {
      el.view.classList.toggle('painting', el.paint3d.checked);
    });
    attachCanvasPainting();
    selectBrush(brush.zone);
    bake();
  }

  // ------------------------------------------------------------------- studio message

  function update() {
    if (!root) return;
    const helper = !!(latest && latest.helper === true);
    el.helper.textContent = helper ? 'helper found' : 'helper missing';
    el.helper.className = 'badge ' + (helper ? 'badge-ok' : 'badge-missing');
    const chips = speciesChips(latest);
    const listed = !!(latest && Array.isArray(latest.species) && latest.species.length > 0);
    el.scan.textContent = listed ? 'Rescan' : 'Read game files';
    el.scan.disabled = !helper;
    const esc = shell.esc;
    if (!latest) {
      el.hint.textContent = 'Waiting for the asset studio…';
    } else if (!helper) {
      el.hint.textContent = 'The asset helper tool forgeset-assets was not found next to the Server Tool.';
    } else if (chips.length === 0) {
      el.hint.textContent = 'Read the game files to list its species, then pick one to extract it.';
    } else {
      el.hint.textContent = 'Species marked ✓ are extracted and open at once; the others are extracted first.';
    }
    if (latest && typeof latest.assetsDir === 'string' && latest.assetsDir) {
      el.hint.title = latest.assetsDir;
    }
    const html = chips.map((c) => {
      const classes = ['studio-chip'];
      if (c.extracted) classes.push('extracted');
      if (c.name === species) classes.push('open');
      if (c.name === pendingExtract) classes.push('working');
      const title = c.extracted ? 'Open' : 'Extract from the game files';
      return `<button type="button" role="listitem" class="${classes.join(' ')}" data-species="${esc(c.name)}"` +
        ` data-extracted="${c.extracted}" title="${title}">${c.extracted ? '<span aria-hidden="true">✓</span> ' : ''}${esc(c.name)}</button>`;
    }).join('');
    // Every state message redraws the page; rebuilding unchanged chips would drop the focus.
    if (html !== chipsHtml) {
      el.chips.innerHTML = html;
      chipsHtml = html;
    }
    el.species.textContent = species ? '· ' + species : '';
    updateTextures();
  }

  function updateTextures() {
    if (!root || !shell) return;
    const list = Array.isArray(shell.state.textures) ? shell.state.textures.filter((t) => typeof t === 'string') : [];
    el.textures.textContent = list.length ? 'Saved textures: ' + list.join(', ') : 'No saved textures yet.';
  }

  function scan() {
    if (!latest || latest.helper !== true) return;
    shell.notice(SCAN_NOTICE, false);
    shell.send({ cmd: 'studioSpecies' });
  }

  function chipClicked(name) {
    const chip = speciesChips(latest).find((c) => c.name === name);
    if (!chip) return;
    if (chip.extracted) {
      openSpecies(name);
    } else {
      pendingExtract = name;
      shell.send({ cmd: 'studioExtract', species: name });
      update();
    }
  }

  function onStudio(msg) {
    latest = msg;
    const wanted = pendingExtract;
    pendingExtract = '';
    update();
    // The studio message after a successful extraction lists the species: open it as the
    // owner clicked it for that.
    if (wanted && Array.isArray(msg.extracted) && msg.extracted.includes(wanted)) openSpecies(wanted);
  }

  // ------------------------------------------------------------------- loading a species

  async function fetchOk(url) {
    const response = await win.fetch(url, { cache: 'no-store' });
    if (!response.ok) {
      const file = decodeURIComponent(url.slice(url.lastIndexOf('/') + 1));
      throw new Error(`${file}: HTTP ${response.status}`);
    }
    return response;
  }

  // Pixels exactly as stored: no colour management and no premultiplying, since zones and
  // shading are read from the raw values.
  async function fetchImage(url) {
    const blob = await (await fetchOk(url)).blob();
    return win.createImageBitmap(blob, { premultiplyAlpha: 'none', colorSpaceConversion: 'none' });
  }

  function pixelsOf(image, size, smooth) {
    const canvas = doc.createElement('canvas');
    canvas.width = size;
    canvas.height = size;
    const ctx = canvas.getContext('2d', { willReadFrequently: true });
    ctx.imageSmoothingEnabled = smooth;
    ctx.drawImage(image, 0, 0, size, size);
    return ctx.getImageData(0, 0, size, size).data;
  }

  async function openSpecies(name) {
    const token = ++openToken;
    const base = shell.hostUrls.assets;
    let files;
    try {
      const info = JSON.parse(await (await fetchOk(assetUrl(base, name, 'info.json'))).text());
      if (!info || typeof info !== 'object' || Array.isArray(info)) throw new Error('info.json holds no description');
      files = Array.isArray(info.files) ? info.files : [];
    } catch (error) {
      if (token === openToken) shell.notice('Could not load ' + name + ': ' + errorText(error), true);
      return;
    }
    if (token !== openToken) return;
    species = name;
    root.dataset.species = name;
    delete root.dataset.model;
    delete root.dataset.pattern;
    update();

    const model = loadModel(name, token);
    const wanted = [choosePattern(files), fileOfKind(files, 'rac'), fileOfKind(files, 'mask')];
    const results = await Promise.allSettled(
      wanted.map((f) => (f ? fetchImage(assetUrl(base, name, f.file)) : Promise.resolve(null)))
    );
    if (token !== openToken) return;
    const failed = results.find((r) => r.status === 'rejected');
    if (failed) shell.notice('Could not load ' + name + ': ' + errorText(failed.reason), true);
    const [pattern, rac, mask] = results.map((r) => (r.status === 'fulfilled' ? r.value : null));

    paintCtx.imageSmoothingEnabled = false;
    paintCtx.fillStyle = '#000';
    paintCtx.fillRect(0, 0, PAINT_SIZE, PAINT_SIZE);
    if (pattern) paintCtx.drawImage(pattern, 0, 0, PAINT_SIZE, PAINT_SIZE);
    paintImage = paintCtx.getImageData(0, 0, PAINT_SIZE, PAINT_SIZE);
    racData = rac ? pixelsOf(rac, PREVIEW_SIZE, true) : null;
    maskData = mask ? pixelsOf(mask, PREVIEW_SIZE, false) : null;
    for (const image of [pattern, rac, mask]) if (image && image.close) image.close();
    undoStack.length = 0;
    updateUndo();
    bake();
    root.dataset.pattern = name;
    await model;
  }

  async function loadModel(name, token) {
    let gltf;
    try {
      ensureViewer();
      gltf = await new GLTFLoader().loadAsync(assetUrl(shell.hostUrls.assets, name, 'mesh.glb'));
    } catch (error) {
      if (token === openToken) {
        showModel(null);
        shell.notice('Model failed: ' + errorText(error), true);
      }
      return;
    }
    if (token !== openToken) {
      disposeObject(gltf.scene);
      return;
    }
    showModel(gltf.scene);
    root.dataset.model = name;
  }

  // ------------------------------------------------------------------- the 3D view

  function ensureViewer() {
    if (viewer.renderer) return;
    const renderer = new THREE.WebGLRenderer({ antialias: true, preserveDrawingBuffer: true });
    renderer.setPixelRatio(Math.min(2, win.devicePixelRatio || 1));
    renderer.outputColorSpace = THREE.SRGBColorSpace;
    renderer.domElement.className = 'studio-gl';
    el.view.appendChild(renderer.domElement);

    const scene = new THREE.Scene();
    scene.background = new THREE.Color(0x0d0f13);
    scene.add(new THREE.HemisphereLight(0xffffff, 0x3a3f4a, 2.2));
    const sun = new THREE.DirectionalLight(0xffffff, 1.6);
    sun.position.set(3, 6, 4);
    scene.add(sun);
    const camera = new THREE.PerspectiveCamera(40, 1, 0.01, 1000);
    camera.position.set(4, 2, 4);

    // Registered before the orbit controls so that a press on the model can switch them off
    // before they see it.
    attachModelPainting(renderer.domElement);
    const controls = new OrbitControls(camera, renderer.domElement);
    controls.addEventListener('change', requestRender);

    previewTexture = new THREE.CanvasTexture(previewCanvas);
    previewTexture.flipY = false; // glTF texture coordinates start at the top left
    previewTexture.colorSpace = THREE.SRGBColorSpace;
    previewTexture.anisotropy = Math.min(8, renderer.capabilities.getMaxAnisotropy());

    Object.assign(viewer, { renderer, scene, camera, controls });
    new win.ResizeObserver(resizeViewer).observe(el.view);
    resizeViewer();
  }

  function resizeViewer() {
    if (!viewer.renderer) return;
    const width = el.view.clientWidth;
    const height = el.view.clientHeight;
    if (width === 0 || height === 0) return; // the tab is hidden
    viewer.renderer.setSize(width, height, false);
    viewer.camera.aspect = width / height;
    viewer.camera.updateProjectionMatrix();
    requestRender();
  }

  function requestRender() {
    if (!viewer.renderer || viewer.frame) return;
    viewer.frame = win.requestAnimationFrame(() => {
      viewer.frame = 0;
      if (el.view.clientWidth > 0) viewer.renderer.render(viewer.scene, viewer.camera);
    });
  }

  function materialsOf(object) {
    const list = [];
    object.traverse((node) => {
      if (!node.isMesh) return;
      for (const m of Array.isArray(node.material) ? node.material : [node.material]) if (m) list.push(m);
    });
    return list;
  }

  function disposeObject(object) {
    object.traverse((node) => {
      if (node.geometry) node.geometry.dispose();
    });
    for (const m of materialsOf(object)) {
      for (const value of Object.values(m)) {
        if (value && value.isTexture && value !== previewTexture) value.dispose();
      }
      m.dispose();
    }
  }

  function showModel(object) {
    if (viewer.model) {
      viewer.scene.remove(viewer.model);
      disposeObject(viewer.model);
      viewer.model = null;
    }
    el['view-empty'].hidden = !!object;
    if (!object) {
      el['view-empty'].textContent = 'No model to show.';
      requestRender();
      return;
    }
    for (const m of materialsOf(object)) {
      m.map = previewTexture;
      if (m.color) m.color.set(0xffffff);
      m.needsUpdate = true;
    }
    viewer.scene.add(object);
    viewer.model = object;
    frameModel(object);
    requestRender();
  }

  // Puts the model in view from its side, a little above and ahead of it: the flank is
  // where most of a pattern shows.
  function frameModel(object) {
    const box = new THREE.Box3().setFromObject(object);
    if (box.isEmpty()) return;
    const camera = viewer.camera;
    const center = box.getCenter(new THREE.Vector3());
    const size = box.getSize(new THREE.Vector3());
    // Half the longest side rather than the bounding sphere: animals are long and low, and
    // the sphere would leave most of the view empty.
    const radius = Math.max(1e-3, Math.max(size.x, size.y, size.z) / 2);
    const halfV = THREE.MathUtils.degToRad(camera.fov / 2);
    const halfH = Math.atan(Math.tan(halfV) * camera.aspect);
    const distance = (radius / Math.tan(Math.min(halfV, halfH))) * 0.95;
    const direction = new THREE.Vector3(1, 0.4, 0.45).normalize();
    camera.position.copy(center).addScaledVector(direction, distance);
    camera.near = distance / 100;
    camera.far = distance * 100;
    camera.updateProjectionMatrix();
    viewer.controls.target.copy(center);
    viewer.controls.update();
  }

  // ------------------------------------------------------------------- preview

  function bake() {
    previewThrottle.cancel();
    const paint = resizeNearest(paintImage.data, PAINT_SIZE, PAINT_SIZE, PREVIEW_SIZE, PREVIEW_SIZE);
    const out = bakePreview({
      paint,
      rac: racData,
      mask: maskData,
      width: PREVIEW_SIZE,
      height: PREVIEW_SIZE,
      colours,
      glows,
    }, paint);
    previewCtx.putImageData(new win.ImageData(out, PREVIEW_SIZE, PREVIEW_SIZE), 0, 0);
    if (previewTexture) previewTexture.needsUpdate = true;
    bakes++;
    if (root) root.dataset.bakes = String(bakes);
    requestRender();
  }

  // ------------------------------------------------------------------- painting

  function brushRgb() {
    const zone = PAINT_ZONES.find((z) => z.key === brush.zone);
    return zone ? zone.rgb : [0, 0, 0];
  }

  function selectBrush(key) {
    brush.zone = key;
    for (const button of el.brushes.querySelectorAll('[data-brush]')) {
      button.setAttribute('aria-pressed', button.dataset.brush === key ? 'true' : 'false');
    }
  }

  function showRect(rect) {
    if (rect) paintCtx.putImageData(paintImage, 0, 0, rect.x0, rect.y0, rect.x1 - rect.x0, rect.y1 - rect.y0);
  }

  function beginStroke() {
    strokeBefore = paintImage.data.slice();
    strokeRect = null;
    strokeLast = null;
  }

  // `join` false starts a new dab instead of a line from the last point, as when a stroke on
  // the model jumps across a texture seam.
  function strokeTo(x, y, join) {
    if (!strokeBefore) return;
    const radius = brush.size / 2;
    const rect = join && strokeLast
      ? stampLine(paintImage.data, PAINT_SIZE, PAINT_SIZE, strokeLast.x, strokeLast.y, x, y, radius, brushRgb())
      : stampDisc(paintImage.data, PAINT_SIZE, PAINT_SIZE, x, y, radius, brushRgb());
    strokeLast = { x, y };
    strokeRect = unionRect(strokeRect, rect);
    showRect(rect);
    previewThrottle.call();
  }

  function endStroke() {
    if (!strokeBefore) return;
    if (strokeRect) pushUndo(copyRect(strokeBefore, PAINT_SIZE, strokeRect));
    strokeBefore = null;
    strokeLast = null;
    if (strokeRect) bake();
    strokeRect = null;
  }

  function pushUndo(patch) {
    undoStack.push(patch);
    if (undoStack.length > UNDO_LIMIT) undoStack.shift();
    updateUndo();
  }

  function updateUndo() {
    if (el.undo) el.undo.disabled = undoStack.length === 0;
  }

  function undo() {
    const patch = undoStack.pop();
    updateUndo();
    if (!patch) return;
    pasteRect(paintImage.data, PAINT_SIZE, patch);
    showRect(patch);
    bake();
  }

  function attachCanvasPainting() {
    const canvas = paintCanvas;
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
      beginStroke();
      const p = toTexels(event);
      strokeTo(p.x, p.y, false);
    });
    canvas.addEventListener('pointermove', (event) => {
      if (!strokeBefore || !canvas.hasPointerCapture(event.pointerId)) return;
      const p = toTexels(event);
      strokeTo(p.x, p.y, true);
    });
    const finish = (event) => {
      if (canvas.hasPointerCapture(event.pointerId)) canvas.releasePointerCapture(event.pointerId);
      endStroke();
    };
    canvas.addEventListener('pointerup', finish);
    canvas.addEventListener('pointercancel', finish);
  }

  // Painting on the model: a press that hits it paints at the texel under the pointer, any
  // other press is left to the orbit controls.
  function attachModelPainting(canvas) {
    const raycaster = new THREE.Raycaster();
    const pointer = new THREE.Vector2();
    let painting = false;

    function texelAt(event) {
      if (!viewer.model) return null;
      const box = canvas.getBoundingClientRect();
      pointer.set(((event.clientX - box.left) / box.width) * 2 - 1, -((event.clientY - box.top) / box.height) * 2 + 1);
      raycaster.setFromCamera(pointer, viewer.camera);
      const hit = raycaster.intersectObject(viewer.model, true).find((h) => h.uv);
      if (!hit) return null;
      const clamp = (v) => Math.min(PAINT_SIZE - 0.5, Math.max(0, v * PAINT_SIZE));
      return { x: clamp(hit.uv.x), y: clamp(hit.uv.y) };
    }

    canvas.addEventListener('pointerdown', (event) => {
      if (!el.paint3d.checked || event.button !== 0) return;
      const texel = texelAt(event);
      if (!texel) return;
      painting = true;
      viewer.controls.enabled = false;
      canvas.setPointerCapture(event.pointerId);
      beginStroke();
      strokeTo(texel.x, texel.y, false);
    });
    canvas.addEventListener('pointermove', (event) => {
      if (!painting) return;
      const texel = texelAt(event);
      if (!texel) {
        strokeLast = null;
        return;
      }
      // A long jump in texture space means the pointer crossed a seam: no line across it.
      const near = strokeLast && Math.hypot(texel.x - strokeLast.x, texel.y - strokeLast.y) < PAINT_SIZE / 10;
      strokeTo(texel.x, texel.y, near);
    });
    const finish = (event) => {
      if (!painting) return;
      painting = false;
      viewer.controls.enabled = true;
      if (canvas.hasPointerCapture(event.pointerId)) canvas.releasePointerCapture(event.pointerId);
      endStroke();
    };
    canvas.addEventListener('pointerup', finish);
    canvas.addEventListener('pointercancel', finish);
  }

  // ------------------------------------------------------------------- import and save

  async function importPattern() {
    const file = el.import.files && el.import.files[0];
    el.import.value = '';
    if (!file) return;
    let image;
    try {
      image = await win.createImageBitmap(file, { premultiplyAlpha: 'none', colorSpaceConversion: 'none' });
    } catch (error) {
      shell.notice('Could not load ' + file.name + ': ' + errorText(error), true);
      return;
    }
    const whole = { x0: 0, y0: 0, x1: PAINT_SIZE, y1: PAINT_SIZE };
    const before = copyRect(paintImage.data, PAINT_SIZE, whole);
    paintCtx.imageSmoothingEnabled = false;
    paintCtx.fillStyle = '#000';
    paintCtx.fillRect(0, 0, PAINT_SIZE, PAINT_SIZE);
    paintCtx.drawImage(image, 0, 0, PAINT_SIZE, PAINT_SIZE);
    if (image.close) image.close();
    paintImage = paintCtx.getImageData(0, 0, PAINT_SIZE, PAINT_SIZE);
    pushUndo(before);
    bake();
    shell.notice(IMPORT_NOTICE, false);
  }

  function save() {
    const result = textureName(el.name.value);
    if (result.error) {
      shell.notice(result.error, true);
      return;
    }
    el.name.value = result.name;
    shell.send({
      cmd: 'studioSaveTexture',
      name: result.name,
      png: dataUrlBase64(paintCanvas.toDataURL('image/png')),
    });
  }

  // ------------------------------------------------------------------- page object

  return {
    start(api) {
      shell = api;
    },
    message(msg) {
      if (msg && msg.type === 'studio') onStudio(msg);
    },
    // Drawn once and then only brought up to date: the model view and the painting must
    // survive the re-renders every state message causes.
    render(panel) {
      if (!root) build();
      if (root.parentNode !== panel) panel.replaceChildren(root);
      update();
      resizeViewer();
    },
  };
}

if (typeof window !== 'undefined' && typeof document !== 'undefined') {
  // Lets anyone check from the console which three.js the import map resolved.
  window.threeRevision = THREE.REVISION;
  (window.vfPages = window.vfPages || []).push(['studio', createStudioPage(window)]);
}
