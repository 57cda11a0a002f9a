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

/** The choices of a select that picks an animation by id: none, then every animation. */
export function animationChoices(doc, noneLabel = 'None') {
  return [['', noneLabel]].concat(doc.source.animations.map((a) => [a.id, a.id]));
}

/**
 * A select over the animation choices, drawn with only its current choice: with two hundred
 * animations in each of some twenty selects, the options cost most of the page's drawing
 * time, so the page fills them in when the select is first touched (fillAnimationSelect).
 * An id no longer among the animations stays shown, marked.
 */
export function animationSelect(choices, value, attrs, label) {
  const known = choices.find(([id]) => id === value);
  const extra = known ? '' : ` class="sp-missing" title="Not among the animations"`;
  const text = known ? known[1] : value;
  return `<select data-anims${attrs}${extra} aria-label="${esc(label)}"><option value="${esc(value)}" selected>${esc(text)}</option></select>`;
}

/** Puts every animation choice into a select drawn by animationSelect, keeping its value. */
export function fillAnimationSelect(select, choices) {
  if (select.dataset.filled) return;
  select.dataset.filled = 'true';
  select.innerHTML = choiceOptions(choices, select.value);
}
