/* The Skins page's markup: the list of skins and, when one is open, the skin editor. */

import { esc } from '../../lib/html.js';
import { SKIN_SPECIES, TEXT, ZONES } from './model.js';

// How many zone colours a list row shows; more would crowd out the name.
const SWATCH_LIMIT = 6;

function swatches(skin) {
  return ZONES.filter(([key]) => skin.zones[key].on).slice(0, SWATCH_LIMIT).map(([key, label]) => {
    const z = skin.zones[key];
    return `<span class="swatch${z.glow > 1 ? ' neon' : ''}" style="background:${z.hex}" title="${label}"></span>`;
  }).join('');
}

function optionList(values, selected, emptyLabel) {
  const list = values.slice();
  // A value the choices do not know (a hand edit, a texture deleted since) stays choosable,
  // so opening and saving a skin never drops it silently.
  if (selected && !list.includes(selected)) list.push(selected);
  return `<option value=""${selected ? '' : ' selected'}>${emptyLabel}</option>` +
    list.map((v) => `<option value="${esc(v)}"${v === selected ? ' selected' : ''}>${esc(v)}</option>`).join('');
}

function zoneRowsHtml(skin, drafts) {
  const shown = (key, value) => (Object.prototype.hasOwnProperty.call(drafts, key) ? drafts[key] : value);
  return ZONES.map(([key, label]) => {
    const z = skin.zones[key];
    return `<div class="zone-row" data-zone="${key}">` +
      `<input type="checkbox" class="switch" role="switch" id="zone-${key}" data-zone-on="${key}" data-focus="zone:${key}:on"${z.on ? ' checked' : ''}>` +
      `<label class="zone-label" for="zone-${key}">${label}</label>` +
      `<input type="color" data-zone-colour="${key}" data-focus="zone:${key}:colour" aria-label="${label} colour" value="${z.hex.toLowerCase()}">` +
      `<input type="text" class="mono hex" data-zone-hex="${key}" data-focus="zone:${key}:hex" aria-label="${label} hex" maxlength="7" spellcheck="false" value="${esc(shown('hex:' + key, z.hex))}">` +
      `<label class="neon-label">neon <input type="number" data-zone-glow="${key}" data-focus="zone:${key}:glow" min="1" max="20" step="0.5" value="${esc(shown('glow:' + key, String(z.glow)))}"></label>` +
      `</div>`;
  }).join('');
}

function skinEditorHtml(page, edit) {
  const skin = edit.skin;
  const zones = zoneRowsHtml(skin, edit.drafts || {});
  return `
      <div class="card skin-editor">
        <h2 class="card-title">${edit.index < 0 ? 'New skin' : 'Edit skin'}</h2>
        <div class="grid-2">
          <div class="field"><label for="skin-name">Name</label>
            <input type="text" id="skin-name" data-skin="name" data-focus="skin:name" spellcheck="false" value="${esc(skin.name)}"></div>
          <div class="field"><label for="skin-species">Species</label>
            <select id="skin-species" data-skin="species" data-focus="skin:species">${optionList(SKIN_SPECIES, skin.species, 'any species')}</select></div>
          <div class="field"><label for="skin-pattern">Pattern</label>
            <input type="number" id="skin-pattern" data-skin="pattern" data-focus="skin:pattern" min="0" step="1" value="${esc(skin.pattern)}">
            <div class="hint">Empty keeps the game's</div></div>
          <div class="field"><label for="skin-theme">Theme</label>
            <input type="number" id="skin-theme" data-skin="theme" data-focus="skin:theme" min="0" step="1" value="${esc(skin.theme)}">
            <div class="hint">Empty keeps the game's</div></div>
          <div class="field"><label for="skin-texture">Pattern texture</label>
            <select id="skin-texture" data-skin="texture" data-focus="skin:texture">${optionList(page.textures.filter((t) => typeof t === 'string'), skin.texture, 'none')}</select></div>
          <div class="field check-field"><label class="check"><input type="checkbox" class="switch" data-skin="admin" data-focus="skin:admin"${skin.admin ? ' checked' : ''}> admins only</label></div>
        </div>
        <div class="zones">${zones}</div>
        <div class="actions">
          <button type="button" class="btn primary" data-action="saveSkin" data-focus="saveSkin">Save</button>
          <button type="button" class="btn" data-action="cancelSkin" data-focus="cancelSkin">Cancel</button>
        </div>
      </div>`;
}

function skinListHtml(page, skins) {
  if (!page.found) return '<p class="empty">Pick the server folder first</p>';
  if (skins.length === 0) return '<p class="empty">No skins yet</p>';
  return '<ul class="list skin-list">' + skins.map((skin, i) =>
    `<li class="list-row${page.edit && page.edit.index === i ? ' editing' : ''}">` +
    `<div class="swatches">${swatches(skin)}</div>` +
    `<div class="row-text grow"><div class="row-title">${esc(skin.name)}` +
    `${skin.admin ? ' <span class="badge badge-accent">admin</span>' : ''}</div>` +
    `<div class="row-detail">${skin.species ? esc(skin.species) : 'any species'}</div></div>` +
    `<div class="actions">` +
    `<button type="button" class="btn" data-action="editSkin" data-index="${i}" data-focus="edit:${i}">Edit</button>` +
    `<button type="button" class="btn danger" data-action="deleteSkin" data-index="${i}" data-focus="delete:${i}" aria-label="Delete ${esc(skin.name)}">Delete</button>` +
    `</div></li>`).join('') + '</ul>';
}

/** The Skins page: the list of `skins` (page records) and, when open, the editor. */
export function skinsHtml(page, skins) {
  let warning = '';
  if (page.skinsBroken) warning = `<p class="warning">${TEXT.skinsBroken}</p>`;
  else if (page.skinsLua && skins.length === 0 && !page.skinsStored) warning = `<p class="warning">${TEXT.handWritten}</p>`;
  return `
      <div class="card">
        <div class="card-head">
          <h2 class="card-title">Skins</h2>
          <div class="actions">
            <button type="button" class="btn primary" data-action="newSkin" data-focus="newSkin">New skin</button>
            <button type="button" class="btn" data-action="openSkins" data-focus="openSkins">Open folder</button>
          </div>
        </div>
        ${warning}
        ${skinListHtml(page, skins)}
      </div>
      ${page.edit ? skinEditorHtml(page, page.edit) : ''}`;
}
