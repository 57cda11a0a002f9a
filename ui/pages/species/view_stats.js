/*
 * The Stats section: for each stat its mode (same as the template, set, multiply) and the
 * number that goes with it, beside the template's own value when the kit knows it.
 */
import { choiceOptions, showNumber } from '../../lib/fields.js';
import { esc } from '../../lib/html.js';
import { STATS } from './schema.js';
import { SAME, SET, modesOf, statField, statMode } from './stat_modes.js';
import { templateStat } from './templates.js';
import { sectionHtml } from './view_common.js';

function statRowHtml(doc, hosts, stat) {
  const { mode, value } = statMode(doc, stat.key);
  const base = templateStat(hosts, doc.template, stat.key);
  const unit = stat.unit ? ` ${stat.unit}` : '';
  const baseText = base === undefined ? 'not known' : `${base}${unit}`;
  const number = mode === SAME
    ? '<span class="sp-stat-value"></span>'
    : `<span class="sp-stat-value vf-input"><input type="text" inputmode="decimal" data-scope="stat-value" data-stat="${stat.key}" ` +
      `data-focus="stat:${stat.key}" aria-label="${esc(stat.label)}" value="${esc(showNumber(value, statField(stat, mode)))}">` +
      `<span class="vf-unit">${mode === SET ? esc(stat.unit || '') : '×'}</span></span>`;
  return `<tr data-stat="${stat.key}"><td>${esc(stat.label)}</td>` +
    `<td><select data-scope="stat-mode" data-stat="${stat.key}" data-focus="mode:${stat.key}" aria-label="${esc(stat.label)} mode">${choiceOptions(modesOf(stat), mode)}</select></td>` +
    `<td>${number}</td><td class="hint">Template: ${esc(baseText)}</td></tr>`;
}

export function statsHtml(doc, hosts) {
  const rows = STATS.map((stat) => statRowHtml(doc, hosts, stat)).join('');
  return sectionHtml('species-stats', 'Stats', `<table class="sp-table sp-stats"><tbody>${rows}</tbody></table>`);
}
