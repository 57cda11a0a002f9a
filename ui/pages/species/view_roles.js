/*
 * The Roles section: which animation plays for each movement and action, at what speed, and
 * for the movement roles optionally a 5 x 5 direction grid (turning left to right, climbing
 * up to down) whose cells each hold an animation the game blends between.
 */
import { showNumber } from '../../lib/fields.js';
import { esc } from '../../lib/html.js';
import { THRESHOLD_FIELDS } from './field_lists.js';
import { GRID_X, GRID_X_LABELS, GRID_Y, GRID_Y_LABELS, RATE_RANGE, ROLES } from './schema.js';
import { animationSelect, docFieldsHtml, sectionHtml } from './view_common.js';

export const RATE_FIELD = { label: 'Speed', min: RATE_RANGE.min, max: RATE_RANGE.max };

/** The grid cell a role's editor has chosen, as { x, y }; straight ahead unless chosen. */
export function chosenCell(ui, role) {
  const key = ui.cells[role] || '0,0';
  const [x, y] = key.split(',').map(Number);
  return { x, y };
}

function gridHtml(role, value, cell) {
  let cells = '';
  GRID_Y.forEach((y, row) => {
    cells += `<span class="sp-grid-ylabel">${GRID_Y_LABELS[row]}</span>`;
    for (const x of GRID_X) {
      const sample = value.blend.find((s) => s.x === x && s.y === y);
      const on = cell.x === x && cell.y === y;
      cells += `<button type="button" class="sp-cell${sample ? ' filled' : ''}${on ? ' chosen' : ''}" data-action="grid-cell" ` +
        `data-role="${role.key}" data-x="${x}" data-y="${y}" data-focus="cell:${role.key}:${x}:${y}" aria-pressed="${on}" title="${GRID_X_LABELS[GRID_X.indexOf(x)]}, ${GRID_Y_LABELS[row]}">` +
        `${sample ? esc(sample.anim) : '·'}</button>`;
    }
  });
  const head = '<span></span>' + GRID_X_LABELS.map((l) => `<span class="sp-grid-xlabel">${l}</span>`).join('');
  return `<div class="sp-dir-grid" role="group" aria-label="${esc(role.label)} directions">${head}${cells}</div>`;
}

function roleHtml(role, value, choices, ui) {
  const grid = !!(value && value.blend);
  const mode = role.blend
    ? `<label class="sp-inline"><input type="checkbox" class="switch" data-scope="role-grid" data-role="${role.key}" data-focus="grid:${role.key}"${grid ? ' checked' : ''}> Direction grid</label>`
    : '';
  // A role that plays nothing has no speed to set.
  const rateField = `<label class="vf-field"><span class="vf-label">Speed</span><span class="vf-input">` +
    `<input type="text" inputmode="decimal" data-scope="role-rate" data-role="${role.key}" data-focus="rate:${role.key}"` +
    ` value="${showNumber(value ? value.rate : 1, RATE_FIELD)}"${value ? '' : ' disabled'}></span></label>`;
  let pick;
  let body = '';
  if (grid) {
    const cell = chosenCell(ui, role.key);
    const sample = value.blend.find((s) => s.x === cell.x && s.y === cell.y);
    pick = animationSelect(choices, sample ? sample.anim : '', ` data-scope="role-cell" data-role="${role.key}" data-focus="pick:${role.key}"`, `${role.label}, chosen cell`);
    body = `${gridHtml(role, value, cell)}<p class="hint">Choose a cell, then the animation it plays in the list above.</p>`;
  } else {
    pick = animationSelect(choices, value ? value.anim : '', ` data-scope="role-anim" data-role="${role.key}" data-focus="pick:${role.key}"`, role.label);
  }
  const required = role.required ? ' <span class="badge badge-warn">required</span>' : '';
  return `<div class="sp-role" data-role="${role.key}">
      <div class="sp-role-row"><span class="sp-role-name">${esc(role.label)}${required}</span>${pick}${rateField}${mode}</div>
      ${body}
    </div>`;
}

/** The Roles section with the speed thresholds below it. */
export function rolesHtml(doc, ui, choices) {
  const roles = ROLES.map((role) => roleHtml(role, doc.animations[role.key], choices, ui)).join('');
  const thresholds = `<h4 class="sp-sub">When the gaits change</h4>${docFieldsHtml(THRESHOLD_FIELDS, doc)}`;
  return sectionHtml('species-roles', 'Roles', `<div class="sp-roles">${roles}</div>${thresholds}`);
}
