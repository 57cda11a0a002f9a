/* Markup pieces the Species page's sections share. Every text from a file goes through esc. */
import { choiceOptions, fieldHtml, getPath } from '../../lib/fields.js';
import { esc } from '../../lib/html.js';

/** A section card with its title; `id` lets the page and the tests find it. */
export function sectionHtml(id, title, body, extra = '') {
  return `<section class="card sp-section" id="${id}"><div class="sp-head-row"><h3 class="card-title">${esc(title)}</h3>${extra}</div>${body}</section>`;
}

/** A shared field control; a choice between numbers is drawn as a choice and read as a number. */
export function valueHtml(field, value, data) {
  if (field.type === 'number-choice') return fieldHtml({ ...field, type: 'choice' }, value, data);
  return fieldHtml(field, value, data);
}

/** The document's plain values of one list of fields, in a grid. */
export function docFieldsHtml(list, doc) {
  return `<div class="sp-grid">${list.map((f) => valueHtml(f, getPath(doc, f.f), { scope: 'doc', f: f.f, focus: 'doc:' + f.f })).join('')}</div>`;
}

/**
 * The options of a select that picks an animation by id. Built once per render: with two
 * hundred animations the same list goes into every role and attack select.
 */
export function animationChoices(doc, noneLabel = 'None') {
  return [['', noneLabel]].concat(doc.source.animations.map((a) => [a.id, a.id]));
}

/** A select over the animation choices; an id no longer in the list stays shown. */
export function animationSelect(choices, value, attrs, label) {
  const known = choices.some(([id]) => id === value);
  const extra = known || value === '' ? '' : ` class="sp-missing" title="Not among the animations"`;
  return `<select${attrs}${extra} aria-label="${esc(label)}">${choiceOptions(choices, value)}</select>`;
}
