/*
 * The markup of the Zuze Ravizu page as strings: the page itself, drawn once, and the parts
 * that follow each studio message (the species chips and the hint above them).
 */
import { esc } from '../../lib/html.js';
import { PAINT_SIZE, GLOW_MIN, GLOW_MAX, BRUSH_MIN, BRUSH_MAX } from './constants.js';
import { PAINT_ZONES, MASK_ZONES } from './zones.js';

/** The elements the page works with, each found as "#studio-" + its name. */
export const ELEMENT_IDS = ['helper', 'scan', 'hint', 'chips', 'species', 'paint3d', 'view', 'view-empty', 'undo',
  'import', 'import-button', 'brushes', 'size', 'size-value', 'paint', 'name', 'save', 'textures'];

// The mask marks its zones by channel, so each mask zone's marker is that channel's colour.
const MASK_MARKERS = ['rgb(255, 0, 0)', 'rgb(0, 255, 0)', 'rgb(0, 0, 255)'];

function brushButton(key, label, rgb) {
  const colour = `rgb(${rgb[0]}, ${rgb[1]}, ${rgb[2]})`;
  return `<button type="button" class="studio-brush" data-brush="${key}" aria-pressed="false" title="Paint ${label}">` +
    `<span class="studio-swatch" style="background:${colour}"></span><span>${label}</span></button>`;
}

function zoneRow(zone, marker, markerTitle, colours, glows) {
  return `<div class="studio-zone" data-zone="${zone.key}">
        <span class="studio-swatch studio-marker" style="background:${marker}" title="${markerTitle}"></span>
        <label class="studio-zone-label" for="studio-colour-${zone.key}">${zone.label}</label>
        <input type="color" id="studio-colour-${zone.key}" data-colour="${zone.key}" value="${colours[zone.key].toLowerCase()}" aria-label="${zone.label} colour">
        <label class="studio-glow">glow <input type="number" data-glow="${zone.key}" min="${GLOW_MIN}" max="${GLOW_MAX}" step="0.5" value="${glows[zone.key]}" aria-label="${zone.label} glow"></label>
      </div>`;
}

function headCard() {
  return `
      <div class="card">
        <div class="studio-head">
          <h2 class="card-title">Zuze Ravizu</h2>
          <span class="badge badge-missing" id="studio-helper">helper missing</span>
          <button type="button" class="btn primary" id="studio-scan" disabled>Read game files</button>
        </div>
        <p class="hint" id="studio-hint"></p>
        <div class="studio-chips" id="studio-chips" role="list"></div>
      </div>`;
}

function workCards(brushSize) {
  return `
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
          <label class="studio-size">Brush <input type="range" id="studio-size" min="${BRUSH_MIN}" max="${BRUSH_MAX}" value="${brushSize}">
            <output id="studio-size-value">${brushSize}</output> px</label>
          <div class="studio-canvas-wrap"><canvas id="studio-paint" class="studio-paint" width="${PAINT_SIZE}" height="${PAINT_SIZE}"></canvas></div>
        </div>
      </div>`;
}

function coloursCard(colours, glows) {
  const painted = PAINT_ZONES.map((z) => zoneRow(z, `rgb(${z.rgb.join(', ')})`, 'Painted in this colour', colours, glows));
  const masked = MASK_ZONES.map((z, i) => zoneRow(z, MASK_MARKERS[i], 'Marked by this channel of the mask', colours, glows));
  return `
      <div class="card">
        <h2 class="card-title">Zone colours</h2>
        <p class="hint">The preview paints each zone in its colour. Glow above 1 brightens a zone, as neon does in a skin.</p>
        <h3 class="studio-subtitle">Painted zones</h3>
        <div class="studio-zones">
          ${painted.join('')}
        </div>
        <h3 class="studio-subtitle">From the game's mask</h3>
        <div class="studio-zones">
          ${masked.join('')}
        </div>
      </div>`;
}

const SAVE_CARD = `
      <div class="card">
        <h2 class="card-title">Save texture</h2>
        <div class="actions">
          <input type="text" id="studio-name" placeholder="texture name" maxlength="40" aria-label="Texture name">
          <button type="button" class="btn primary" id="studio-save">Save texture</button>
        </div>
        <p class="hint" id="studio-textures"></p>
      </div>`;

/** The whole page, with the zone colours and glows and the brush size it starts from. */
export function studioMarkup({ colours, glows, brushSize }) {
  return headCard() + workCards(brushSize) + coloursCard(colours, glows) + SAVE_CARD;
}

/** The line above the chips: what the owner can do next, given the last studio message. */
export function hintText(latest, chipCount) {
  if (!latest) return 'Waiting for the asset studio…';
  if (latest.helper !== true) return 'The asset helper tool forgeset-assets was not found next to the Server Tool.';
  if (chipCount === 0) return 'Read the game files to list its species, then pick one to extract it.';
  return 'Species marked ✓ are extracted and open at once; the others are extracted first.';
}

/** The species chips; `open` is the species shown, `working` the one being extracted. */
export function chipsMarkup(chips, open, working) {
  return chips.map((c) => {
    const classes = ['studio-chip'];
    if (c.extracted) classes.push('extracted');
    if (c.name === open) classes.push('open');
    if (c.name === working) classes.push('working');
    const title = c.extracted ? 'Open' : 'Extract from the game files';
    return `<button type="button" role="listitem" class="${classes.join(' ')}" data-species="${esc(c.name)}"` +
      ` data-extracted="${c.extracted}" title="${title}">${c.extracted ? '<span aria-hidden="true">✓</span> ' : ''}${esc(c.name)}</button>`;
  }).join('');
}
