/* The Server page's markup: the server folder, the runner and the server.cfg card. */

import { esc } from '../../lib/html.js';
import { CFG_FIELDS } from './model.js';

function badge(ok, yes, no) {
  return `<span class="badge ${ok ? 'badge-ok' : 'badge-missing'}">${ok ? yes : no}</span>`;
}

function statusRow(ok, title, detail, mono) {
  return `<div class="status-row">${badge(ok, 'found', 'missing')}` +
    `<div class="row-text"><div class="row-title">${title}</div>` +
    `<div class="row-detail${mono ? ' mono' : ''}">${detail}</div></div></div>`;
}

function disabled(flag) {
  return flag ? '' : ' disabled';
}

function cfgFieldsHtml(cfg, drafts) {
  return CFG_FIELDS.map((f) => {
    const typed = drafts && Object.prototype.hasOwnProperty.call(drafts, f.key);
    const value = typed ? drafts[f.key] : cfg[f.key];
    const id = 'cfg-' + f.key;
    return `<div class="field">` +
      `<label for="${id}">${f.label}</label>` +
      `<input id="${id}" type="${f.type}" data-cfg="${f.key}" data-focus="cfg:${f.key}"` +
      `${f.type === 'number' ? ' min="0" step="1"' : ' spellcheck="false"'}` +
      `${typed ? ' class="dirty"' : ''} value="${esc(value)}">` +
      (f.hint ? `<div class="hint">${f.hint}</div>` : '') +
      `</div>`;
  }).join('');
}

/** The Server page from the page state and the unsaved server.cfg typing. */
export function serverHtml(page, drafts) {
  const rootDetail = page.root ? esc(page.root) : 'Pick the folder that contains VarraForgesetServer.exe';
  const fields = cfgFieldsHtml(page.cfg || {}, drafts);
  return `
      <div class="card">
        <h2 class="card-title">Server folder</h2>
        ${statusRow(page.found, page.found ? 'Folder set' : 'No folder yet', rootDetail, !!page.root)}
        ${statusRow(page.runner, 'Runner', 'VarraForgesetServer.exe starts the game server and injects the plugin', false)}
        ${statusRow(page.plugin, 'Server plugin', 'server-plugin\\build\\varra-forgeset-server.dll', true)}
        <div class="actions">
          <button type="button" class="btn primary" data-action="pickFolder" data-focus="pickFolder">Choose folder</button>
          <button type="button" class="btn" data-action="openRoot" data-focus="openRoot"${disabled(page.found)}>Open</button>
        </div>
      </div>
      <div class="card">
        <h2 class="card-title">Run</h2>
        <div class="actions">
          <button type="button" class="btn primary" data-action="startRunner" data-focus="startRunner"${disabled(page.runner)}>Start server</button>
          <button type="button" class="btn" data-action="openDocs" data-focus="openDocs">Owner guide</button>
        </div>
        <p class="hint">After every change here use <code class="mono">restart</code> in the runner window, or stop and start it again.</p>
      </div>
      <div class="card">
        <h2 class="card-title">server.cfg</h2>
        <div class="grid-2 cfg-fields">${fields}</div>
        <div class="actions">
          <button type="button" class="btn primary" data-action="saveCfg" data-focus="saveCfg"${disabled(page.found)}>Save</button>
        </div>
      </div>`;
}
