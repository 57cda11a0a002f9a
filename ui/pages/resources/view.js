/* The Resources page's markup: the resources with their switches, and the new resource box. */

import { esc } from '../../lib/html.js';

/** The detail line of one resource: which scripts it has, or why its switch is off. */
export function resourceLine(resource) {
  const parts = [];
  if (resource && resource.server === true) parts.push('server');
  if (resource && resource.client === true) parts.push('client');
  if (!resource || resource.manifest !== true) parts.push('no manifest.lua');
  return parts.length > 0 ? parts.join(' · ') : 'empty';
}

function resourceListHtml(page) {
  if (!page.found) return '<p class="empty">Pick the server folder first</p>';
  if (page.resources.length === 0) return '<p class="empty">No resources yet</p>';
  return '<ul class="list resource-list">' + page.resources.map((r, i) => {
    const name = esc(r && r.name);
    const on = !!(r && r.enabled === true);
    const canSwitch = !!(r && r.manifest === true);
    return `<li class="list-row"><div class="row-text"><div class="row-title">${name}</div>` +
      `<div class="row-detail">${esc(resourceLine(r))}</div></div>` +
      `<input type="checkbox" class="switch" role="switch" data-resource="${i}" data-focus="res:${i}"` +
      ` aria-label="${name}"${on ? ' checked' : ''}${canSwitch ? '' : ' disabled'}></li>`;
  }).join('') + '</ul>';
}

/** The Resources page; `nameDraft` is what is typed in the new resource's name box. */
export function resourcesHtml(page, nameDraft) {
  return `
      <div class="card">
        <div class="card-head">
          <h2 class="card-title">Resources</h2>
          <div class="actions">
            <button type="button" class="btn" data-action="refresh" data-focus="refresh">Refresh</button>
            <button type="button" class="btn" data-action="openResources" data-focus="openResources">Open folder</button>
          </div>
        </div>
        ${resourceListHtml(page)}
      </div>
      <div class="card">
        <h2 class="card-title">New resource</h2>
        <div class="actions">
          <input type="text" class="grow" id="resource-name" data-focus="resourceName" aria-label="Resource name"` +
          ` placeholder="my_resource" maxlength="40" spellcheck="false" value="${esc(nameDraft)}">
          <button type="button" class="btn primary" data-action="newResource" data-focus="newResource">New resource</button>
        </div>
      </div>`;
}
