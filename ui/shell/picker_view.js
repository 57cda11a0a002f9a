/* The picker's markup: the frame once per dialog, then its rows for each folder shown. */

import { esc } from '../lib/html.js';

/** The filter choice of a file dialog: a list when there are several, else a line saying it. */
function filterHtml(dialog) {
  if (dialog.kind !== 'files' || dialog.filters.length === 0) return '';
  if (dialog.filters.length === 1) {
    const only = dialog.filters[0];
    return `<span class="hint picker-filter">${esc(only.label)} <code>${esc(only.patterns.join('; '))}</code></span>`;
  }
  const options = dialog.filters
    .map((filter, i) => `<option value="${i}">${esc(filter.label)}</option>`)
    .join('');
  return `<select class="picker-filter" data-pick-field="filter" aria-label="File types">${options}</select>`;
}

/**
 * The whole picker for `dialog` ({ id, kind: "folder" | "files", title, filters }), before
 * its first folder is listed.
 */
export function pickerHtml(dialog) {
  const several = dialog.kind === 'files';
  const title = dialog.title || (several ? 'Choose files' : 'Choose a folder');
  const hint = several ? 'Ctrl or Shift to choose several' : 'Choose picks the selected folder, or this one';
  return `<div class="picker-backdrop">
  <div class="picker card" role="dialog" aria-modal="true" aria-labelledby="picker-title">
    <div class="card-head picker-head">
      <h2 class="card-title" id="picker-title">${esc(title)}</h2>
      <span class="badge badge-accent">${several ? 'Files' : 'Folder'}</span>
    </div>
    <div class="picker-bar">
      <button type="button" class="btn" data-pick="up" title="Up one folder (Backspace)">Up</button>
      <input type="text" class="picker-path" data-pick-field="path" aria-label="Path" spellcheck="false" autocomplete="off">
      <button type="button" class="btn" data-pick="go">Go</button>
    </div>
    <div class="picker-options">
      <label class="check"><input type="checkbox" class="switch" data-pick-field="hidden"> Hidden items</label>
      ${filterHtml(dialog)}
    </div>
    <ul class="list picker-list" role="listbox" tabindex="0" aria-label="Contents" aria-multiselectable="${several}"></ul>
    <div class="picker-foot">
      <span class="hint picker-status" role="status"></span>
      <span class="picker-error" role="alert" hidden></span>
    </div>
    <div class="actions picker-actions">
      <span class="hint">${esc(hint)}</span>
      <button type="button" class="btn" data-pick="cancel">Cancel</button>
      <button type="button" class="btn primary" data-pick="choose">Choose</button>
    </div>
  </div>
</div>`;
}

/** One row per entry, in the host's order; `index` ties a row to its entry. */
export function rowsHtml(entries) {
  return entries
    .map((entry, index) => {
      const kind = entry.folder ? 'folder' : 'file';
      const broken = entry.broken === true;
      const note = broken ? ' <span class="hint">(name is not valid UTF-8)</span>' : '';
      return `<li class="picker-row${broken ? ' broken' : ''}" role="option" aria-selected="false"${broken ? ' aria-disabled="true"' : ''} data-index="${index}"><span class="picker-icon ${kind}" aria-hidden="true"></span><span class="picker-name">${esc(entry.name)}</span>${note}</li>`;
    })
    .join('');
}
