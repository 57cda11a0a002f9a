/* The one HTML escaping helper: every text that did not come from the page's own code goes
 * through it before it becomes markup. */

const ESCAPES = { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;' };

/** HTML-escapes any host text before it goes into markup; null and undefined become "". */
export function esc(value) {
  if (value === null || value === undefined) return '';
  return String(value).replace(/[&<>"']/g, (c) => ESCAPES[c]);
}
