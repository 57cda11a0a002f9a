/*
 * The AI page as markup: the Brains, Spawners and Wild AI views and the bar above them,
 * drawn from the editor's model and the page's own view state. Every text from the files
 * goes through esc.
 */
import { esc } from '../../lib/html.js';
import { UNIT_TEXT, choiceOptions, dataAttrs, fieldHtml, getPath, showNumber } from '../../lib/fields.js';
import {
  ABILITY_MAX, AI_SPECIES, IDLE_MAX, PRESETS, TARGET_SPECIES, brainSummary, presetOf, sortedNames,
} from './documents.js';
import { DOCS } from './editor.js';
import { ABILITY_FIELDS, BRAIN_SECTIONS, BRAIN_TOP_FIELDS, FIELDS, IDLE_FIELDS, SPAWNER_FIELDS } from './field_lists.js';
import { luaText } from './lua.js';
import { NOTICES } from './notices.js';

function brainChoices(model, current, noneLabel) {
  const options = [['', noneLabel]].concat(sortedNames(model.brains).map((n) => [n, n]));
  if (current && !model.brains.has(current)) options.push([current, `${current} (missing)`]);
  return options;
}

function speciesListHtml(field, list) {
  const key = field.f.split('.')[1];
  const chips = list.map((s) =>
    `<span class="ai-chip">${esc(s)}<button type="button" class="ai-chip-x" data-action="remove-species" ` +
    `data-list="${key}" data-value="${esc(s)}" aria-label="Remove ${esc(s)}">×</button></span>`).join('');
  const options = TARGET_SPECIES.filter((s) => !list.includes(s)).map((s) => `<option value="${s}">${s}</option>`).join('');
  const hint = field.hint ? `<span class="vf-hint">${esc(field.hint)}</span>` : '';
  return `<div class="vf-field ai-species"><span class="vf-label">${esc(field.label)}</span>` +
    `<div class="ai-chips">${chips}<select data-scope="species-add" data-list="${key}" aria-label="${esc(field.label)}">` +
    `<option value="">Add species…</option>${options}</select></div>${hint}</div>`;
}

function rowsHtml(kind, rows, fields, max, addLabel) {
  const head = fields.map((f) => `<th>${esc(f.label)}</th>`).join('');
  const body = rows.map((row, i) => {
    const cells = fields.map((f) => {
      const data = { scope: kind, row: i, f: f.f };
      if (f.type === 'bool') {
        return `<td class="ai-cell-check"><input type="checkbox" class="switch" aria-label="${esc(f.label)}"${dataAttrs(data)}${row[f.f] === true ? ' checked' : ''}></td>`;
      }
      if (f.type === 'name') {
        return `<td><input type="text" spellcheck="false" aria-label="${esc(f.label)}"${dataAttrs(data)} value="${esc(row[f.f])}"></td>`;
      }
      const unit = UNIT_TEXT[f.unit] ? `<span class="vf-unit">${UNIT_TEXT[f.unit]}</span>` : '';
      return `<td><span class="vf-input"><input type="text" inputmode="decimal" aria-label="${esc(f.label)}"${dataAttrs(data)} ` +
        `value="${esc(showNumber(row[f.f], f))}">${unit}</span></td>`;
    }).join('');
    return `<tr>${cells}<td><button type="button" class="btn ai-row-x" data-action="remove-${kind}" data-row="${i}" aria-label="Remove">Remove</button></td></tr>`;
  }).join('');
  const table = rows.length === 0
    ? ''
    : `<table class="ai-rows"><thead><tr>${head}<th></th></tr></thead><tbody>${body}</tbody></table>`;
  const full = rows.length >= max;
  return `${table}<div class="actions"><button type="button" class="btn" data-action="add-${kind}"${full ? ' disabled' : ''}>${addLabel}</button>` +
    `<span class="hint">${rows.length} of ${max}</span></div>`;
}

function brainListHtml(model, selected) {
  const names = sortedNames(model.brains);
  if (names.length === 0) return '<p class="empty">No brains yet</p>';
  return names.map((name) => {
    const on = name === selected;
    return `<li class="ai-item${on ? ' selected' : ''}" data-action="select-brain" data-name="${esc(name)}"${on ? ' aria-current="true"' : ''}>` +
      `<span class="row-title">${esc(name)}</span><span class="row-detail ai-summary">${esc(brainSummary(model.brains.get(name)))}</span></li>`;
  }).join('');
}

function brainEditorHtml(model, name) {
  const brain = model.brains.get(name);
  if (!brain) return '<div class="card"><p class="empty">Pick a brain or make a new one.</p></div>';
  const head = `<div class="card ai-brain-head">
        <div class="ai-head-row">
          <label class="vf-field ai-name"><span class="vf-label">Name</span>
            <input type="text" spellcheck="false" maxlength="64" data-scope="brain-name" value="${esc(name)}"></label>
          ${fieldHtml(BRAIN_TOP_FIELDS[0], brain.label, { scope: 'brain', f: 'label' })}
          <span class="badge badge-accent ai-preset-badge">${esc(presetOf(brain.preset).label)}</span>
        </div>
        <div class="actions">
          <button type="button" class="btn" data-action="duplicate-brain">Duplicate</button>
          <button type="button" class="btn danger" data-action="delete-brain">Delete</button>
        </div>
      </div>`;
  const sections = BRAIN_SECTIONS.map((section) => {
    const fields = section.fields.map((field) => {
      const value = getPath(brain, field.f);
      if (field.type === 'species') return speciesListHtml(field, value);
      return fieldHtml(field, value, { scope: 'brain', f: field.f });
    }).join('');
    let rows = '';
    if (section.rows === 'abilities') {
      rows = `<h4 class="ai-sub">Abilities</h4>` + rowsHtml('ability', brain.attack.abilities, ABILITY_FIELDS, ABILITY_MAX, 'Add ability');
    } else if (section.rows === 'idle') {
      rows = rowsHtml('idle', brain.idle, IDLE_FIELDS, IDLE_MAX, 'Add idle action');
    }
    const grid = fields ? `<div class="ai-grid">${fields}</div>` : '';
    return `<section class="card ai-section"><h3 class="card-title">${esc(section.title)}</h3>${grid}${rows}</section>`;
  }).join('');
  const lua = `<section class="card ai-section"><div class="ai-head-row"><h3 class="card-title">Lua</h3>
        <button type="button" class="btn" data-action="copy-lua">Copy</button></div>
        <pre class="ai-lua" id="ai-lua" tabindex="0">${esc(luaText(name, brain))}</pre></section>`;
  return head + sections + lua;
}

function brainsViewHtml(model, ui) {
  const presets = PRESETS.map((p) => `<option value="${p.key}"${p.key === ui.preset ? ' selected' : ''}>${p.label}</option>`).join('');
  return `<div class="ai-brains">
      <div class="card ai-side">
        <div class="actions">
          <select id="ai-preset" aria-label="Preset">${presets}</select>
          <button type="button" class="btn" data-action="new-brain">New brain</button>
        </div>
        <ul class="list ai-list" id="ai-brain-list">${brainListHtml(model, ui.selected)}</ul>
      </div>
      <div class="ai-editor">${brainEditorHtml(model, ui.selected)}</div>
    </div>`;
}

function spawnerHtml(model, spawner, i) {
  const fields = SPAWNER_FIELDS.map((field) => {
    const data = { scope: 'spawner', row: i, f: field.f };
    if (field.type === 'brain') {
      return fieldHtml({ label: field.label, type: 'choice', options: brainChoices(model, spawner.brain, 'Game AI') }, spawner.brain, data);
    }
    return fieldHtml(field, spawner[field.f], data);
  }).join('');
  return `<div class="ai-spawner" data-row="${i}">
      <div class="ai-head-row">
        <label class="vf-field ai-name"><span class="vf-label">Id</span>
          <input type="text" spellcheck="false" maxlength="64" data-scope="spawner-id" data-row="${i}" value="${esc(spawner.id)}"></label>
        ${fieldHtml(FIELDS.spawner.enabled, spawner.enabled, { scope: 'spawner', row: i, f: 'enabled' })}
        <button type="button" class="btn danger" data-action="delete-spawner" data-row="${i}">Delete</button>
      </div>
      <div class="ai-grid">${fields}</div>
    </div>`;
}

function spawnersViewHtml(model) {
  const list = model.spawners.length === 0
    ? '<p class="empty">No spawners yet</p>'
    : model.spawners.map((s, i) => spawnerHtml(model, s, i)).join('');
  return `<div class="card">
      <div class="ai-head-row"><h2 class="card-title">Spawners</h2>
        <button type="button" class="btn" data-action="new-spawner">New spawner</button></div>
      <p class="hint">Positions are in game units; a new spawner uses the brain picked on the Brains view.</p>
      ${list}
    </div>`;
}

function wildViewHtml(model) {
  const extra = Array.from(model.wild.keys()).filter((s) => !AI_SPECIES.includes(s));
  const rows = AI_SPECIES.concat(extra).map((species) => {
    const brain = model.wild.get(species) || '';
    return `<tr><td class="mono">${esc(species)}</td><td><select data-scope="wild" data-species="${esc(species)}" aria-label="${esc(species)}">` +
      `${choiceOptions(brainChoices(model, brain, 'None (game AI)'), brain)}</select></td></tr>`;
  }).join('');
  return `<div class="card">
      <h2 class="card-title">Wild AI</h2>
      <p class="hint">The brain every wild animal of a species uses. Species without one keep the game's own AI.</p>
      <table class="ai-rows ai-wild"><tbody>${rows}</tbody></table>
    </div>`;
}

const VIEWS = [['brains', 'Brains'], ['spawners', 'Spawners'], ['wild', 'Wild AI']];

/** The whole page as markup, from the editor's model and the page's own view state. */
export function pageHtml(editor, ui, found) {
  if (!found) return '<div class="card"><h2 class="card-title">AI</h2><p class="empty">Pick the server folder first</p></div>';
  const model = editor.model;
  const counts = { brains: model.brains.size, spawners: model.spawners.length, wild: model.wild.size };
  const tabs = VIEWS.map(([key, label]) =>
    `<button type="button" class="ai-view${ui.view === key ? ' selected' : ''}" data-action="view" data-view="${key}" ` +
    `aria-pressed="${ui.view === key}">${label} <span class="ai-count">${counts[key]}</span></button>`).join('');
  const canSave = DOCS.some((doc) => editor.needsSave(doc));
  const warnings = [];
  if (editor.broken.brains) warnings.push(NOTICES.brainsInvalid);
  if (editor.broken.spawns) warnings.push(NOTICES.spawnsInvalid);
  const warn = warnings.map((w) => `<p class="ai-warning">${esc(w)}</p>`).join('');
  let body;
  if (ui.view === 'spawners') body = spawnersViewHtml(model);
  else if (ui.view === 'wild') body = wildViewHtml(model);
  else body = brainsViewHtml(model, ui);
  return `<div class="ai-page">
      <div class="card ai-bar">
        <div class="ai-views">${tabs}</div>
        <span class="badge badge-warn" id="ai-unsaved"${editor.unsaved() ? '' : ' hidden'}>unsaved</span>
        <div class="actions">
          <button type="button" class="btn" data-action="revert">Revert</button>
          <button type="button" class="btn primary" data-action="save" id="ai-save"${canSave ? '' : ' disabled'}>Save</button>
        </div>
      </div>
      ${warn}
      ${body}
    </div>`;
}
