/* The Habitat and access and the Look sections: plain values of the definition. */
import { ACCESS_FIELDS, HABITAT_FIELDS, VISUAL_FIELDS } from './field_lists.js';
import { docFieldsHtml, sectionHtml } from './view_common.js';

export function habitatHtml(doc) {
  return sectionHtml('species-habitat', 'Habitat and access',
    `${docFieldsHtml(HABITAT_FIELDS, doc)}<h4 class="sp-sub">Who may play it</h4>${docFieldsHtml(ACCESS_FIELDS, doc)}`);
}

export function visualHtml(doc) {
  return sectionHtml('species-visual', 'Look', docFieldsHtml(VISUAL_FIELDS, doc));
}
