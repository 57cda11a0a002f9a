/*
 * The Species page as markup: the list of species with the form for a new one, and the
 * chosen species' editor, section by section. The sounds section is an element of its own
 * that the page puts into the slot left for it here.
 */
import { choiceOptions } from '../../lib/fields.js';
import { esc } from '../../lib/html.js';
import { NOTICES } from './checks.js';
import { HEAD_FIELDS } from './field_lists.js';
import { DEFAULT_TEMPLATE } from './schema.js';
import { templateChoices } from './templates.js';
import { buildHtml } from './view_build.js';
import { attacksHtml } from './view_attacks.js';
import { animationChoices, docFieldsHtml } from './view_common.js';
import { modelHtml } from './view_model.js';
import { rolesHtml } from './view_roles.js';
import { habitatHtml, visualHtml } from './view_settings.js';
import { statsHtml } from './view_stats.js';
import { sortedNames } from './workspaces.js';

export const SOUNDS_SLOT = 'species-sounds-slot';

function listHtml(store, selected) {
  const names = sortedNames(store);
  if (names.length === 0) return '<p class="empty">No species yet</p>';
  return `<ul class="list sp-list" id="species-list">${names.map((name) => {
    const ws = store.items.get(name);
    const on = name === selected;
    const badges = [
      ws.invalid ? '<span class="badge badge-missing">broken</span>' : '',
      ws.unsaved ? '<span class="badge badge-warn">unsaved</span>' : '',
      ws.pak ? '<span class="badge badge-ok">built</span>' : '',
    ].join('');
    return `<li class="sp-item${on ? ' selected' : ''}" data-action="select-species" data-name="${esc(name)}"${on ? ' aria-current="true"' : ''}>` +
      `<span class="row-title">${esc(name)}</span><span class="row-detail">${esc(ws.doc.label)}</span><span class="sp-badges">${badges}</span></li>`;
  }).join('')}</ul>`;
}

function newFormHtml(store, ui) {
  const templates = choiceOptions(templateChoices(store.hosts), ui.newTemplate || DEFAULT_TEMPLATE);
  return `<div class="sp-new">
      <h3 class="card-title">New species</h3>
      <label class="vf-field"><span class="vf-label">Name</span><input type="text" id="species-new-name" spellcheck="false" maxlength="64" data-focus="new-name" value="${esc(ui.newName)}"></label>
      <label class="vf-field"><span class="vf-label">Display name</span><input type="text" id="species-new-label" data-focus="new-label" value="${esc(ui.newLabel)}"></label>
      <label class="vf-field"><span class="vf-label">Built on</span><select id="species-new-template">${templates}</select></label>
      <button type="button" class="btn" data-action="create-species">Create</button>
    </div>`;
}

function headHtml(store, ws, ui) {
  const doc = ws.doc;
  const confirming = ui.confirmDelete === ws.name;
  const warn = ws.invalid ? `<p class="ai-warning">${esc(NOTICES.invalidJson)}</p>` : '';
  return `<div class="card sp-headcard">
      <div class="sp-head-row">
        <h2 class="card-title mono" id="species-name">${esc(ws.name)}</h2>
        <span class="badge badge-warn" id="species-unsaved"${ws.unsaved || ws.invalid ? '' : ' hidden'}>unsaved</span>
        <div class="actions sp-push">
          <button type="button" class="btn" data-action="open-folder">Open folder</button>
          <button type="button" class="btn danger" data-action="delete">${confirming ? 'Remove it? Click again' : 'Remove'}</button>
          <button type="button" class="btn primary" data-action="save" id="species-save"${ws.unsaved || ws.invalid ? '' : ' disabled'}>Save</button>
        </div>
      </div>
      ${warn}
      <div class="sp-grid">
        <label class="vf-field"><span class="vf-label">Built on</span><select data-scope="template" data-focus="template" aria-label="Built on">${choiceOptions(templateChoices(store.hosts), doc.template)}</select></label>
      </div>
      ${docFieldsHtml(HEAD_FIELDS, doc)}
    </div>`;
}

/** Why the import cannot start now, or ''. */
export function importBlock(store) {
  if (!store.helper) return 'forgeset-assets.exe not found next to the tool.';
  if (store.busy) return 'An import or build is running.';
  return '';
}

function editorHtml(store, ws, ui) {
  const choices = animationChoices(ws.doc);
  return `${headHtml(store, ws, ui)}
    ${modelHtml(ws, importBlock(store))}
    <div id="${SOUNDS_SLOT}"></div>
    ${rolesHtml(ws.doc, ui, choices)}
    ${attacksHtml(ws.doc, store.hosts, ui.attack, choices)}
    ${statsHtml(ws.doc, store.hosts)}
    ${habitatHtml(ws.doc)}
    ${visualHtml(ws.doc)}
    ${buildHtml(store, ws)}`;
}

/** The whole page; `ws` is the chosen workspace or null. */
export function pageHtml(store, ui, ws, found) {
  if (!found) return '<div class="card"><h2 class="card-title">Species</h2><p class="empty">Pick the server folder first</p></div>';
  if (!store.loaded) return '<p class="empty">Waiting for the species workspaces…</p>';
  const editor = ws ? editorHtml(store, ws, ui) : '<div class="card"><p class="empty">Pick a species or make a new one.</p></div>';
  return `<div class="sp-page">
      <div class="card sp-side">${newFormHtml(store, ui)}${listHtml(store, ui.selected)}</div>
      <div class="sp-editor">${editor}</div>
    </div>`;
}
