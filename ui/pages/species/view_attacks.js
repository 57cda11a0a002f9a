/*
 * The Attacks section: the species' attacks as a list, and the chosen one's editor with its
 * key, animations (straight, turning left, turning right), damage, hit shape and where it may
 * be used. An attack may take over one of the template's own abilities, keeping the game's
 * damage and replacing only the animation.
 */
import { choiceOptions, getPath } from '../../lib/fields.js';
import { esc } from '../../lib/html.js';
import { ATTACK_FIELDS } from './field_lists.js';
import { ATTACK_KEYS, ATTACK_MAX, HABITATS } from './schema.js';
import { templateAbilities } from './templates.js';
import { animationSelect, sectionHtml, valueHtml } from './view_common.js';

const HABITAT_LABELS = { water: 'In water', land: 'On land' };

function sourceChoices(hosts, template) {
  return [['custom', 'Its own damage']].concat(templateAbilities(hosts, template).map((a) => [`host:${a}`, `The template’s ${a}`]));
}

/** The title and detail line of an attack in the list. */
export function attackRowText(a) {
  return { title: a.id || '(no id)', detail: `${a.key} · ${a.animation || 'no animation'}` };
}

function listHtml(attacks, selected) {
  if (attacks.length === 0) return '<p class="empty">No attacks yet. The template’s own attacks stay unless turned off above.</p>';
  return `<ul class="list sp-attack-list">${attacks.map((a, i) => {
    const on = i === selected;
    const { title, detail } = attackRowText(a);
    return `<li class="sp-attack-item${on ? ' selected' : ''}" data-action="select-attack" data-row="${i}"${on ? ' aria-current="true"' : ''}>` +
      `<span class="row-title mono">${esc(title)}</span><span class="row-detail">${esc(detail)}</span></li>`;
  }).join('')}</ul>`;
}

function editorHtml(doc, hosts, attack, row, choices) {
  const data = (f) => ({ scope: 'attack', row, f, focus: `attack:${row}:${f}` });
  const select = (f, label) =>
    `<label class="vf-field"><span class="vf-label">${label}</span>${animationSelect(choices, attack[f], ` data-scope="attack" data-row="${row}" data-f="${f}" data-focus="attack:${row}:${f}"`, label)}</label>`;
  const allow = HABITATS.map((h) =>
    `<label class="sp-inline"><input type="checkbox" class="switch" data-scope="attack-allow" data-row="${row}" data-habitat="${h}" data-focus="allow:${row}:${h}"${attack.allowIn.includes(h) ? ' checked' : ''}> ${HABITAT_LABELS[h]}</label>`).join('');
  const fields = ATTACK_FIELDS.map((f) => valueHtml(f, getPath(attack, f.f), data(f.f))).join('');
  return `<div class="sp-attack-editor" data-row="${row}">
      <div class="sp-grid">
        <label class="vf-field"><span class="vf-label">Id</span><input type="text" spellcheck="false" maxlength="64" data-scope="attack-id" data-row="${row}" data-focus="attack-id:${row}" value="${esc(attack.id)}"></label>
        <label class="vf-field"><span class="vf-label">Damage from</span><select data-scope="attack" data-row="${row}" data-f="source" data-focus="attack:${row}:source">${choiceOptions(sourceChoices(hosts, doc.template), attack.source)}</select></label>
        <label class="vf-field"><span class="vf-label">Key</span><select data-scope="attack" data-row="${row}" data-f="key" data-focus="attack:${row}:key">${choiceOptions(ATTACK_KEYS.map((k) => [k, k]), attack.key)}</select></label>
        ${select('animation', 'Animation')}${select('animationLeft', 'Turning left')}${select('animationRight', 'Turning right')}
        ${fields}
      </div>
      <div class="actions"><span class="vf-label">Usable</span>${allow}
        <button type="button" class="btn danger sp-push" data-action="remove-attack" data-row="${row}">Remove attack</button></div>
    </div>`;
}

/** The Attacks section; `selected` is the index of the attack being edited. */
export function attacksHtml(doc, hosts, selected, choices) {
  const row = Math.min(selected, doc.attacks.length - 1);
  const full = doc.attacks.length >= ATTACK_MAX;
  const add = `<button type="button" class="btn" data-action="add-attack"${full ? ' disabled' : ''}>Add attack</button><span class="hint">${doc.attacks.length} of ${ATTACK_MAX}</span>`;
  const editor = row >= 0 ? editorHtml(doc, hosts, doc.attacks[row], row, choices) : '';
  return sectionHtml('species-attacks', 'Attacks', `<div class="sp-attacks">${listHtml(doc.attacks, row)}${editor}</div>`, `<div class="actions sp-push">${add}</div>`);
}
