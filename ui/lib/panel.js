/* For pages that draw their panel from an HTML string and listen on the panel itself. */

/**
 * Redraws a panel without taking the caret from the person: the element that had focus
 * (matched by its data-focus key) gets it back, with its selection where possible.
 */
export function paint(panel, html) {
  const doc = panel.ownerDocument;
  const active = doc.activeElement;
  let focus = null;
  if (active && active !== doc.body && panel.contains(active) && active.dataset.focus) {
    focus = { key: active.dataset.focus, start: null, end: null };
    try {
      focus.start = active.selectionStart;
      focus.end = active.selectionEnd;
    } catch {
      // Number inputs, selects and buttons have no selection.
    }
  }
  panel.innerHTML = html;
  if (!focus) return;
  const again = Array.from(panel.querySelectorAll('[data-focus]')).find((el) => el.dataset.focus === focus.key);
  if (!again) return;
  again.focus({ preventScroll: true });
  if (focus.start !== null && focus.start !== undefined) {
    try {
      again.setSelectionRange(focus.start, focus.end);
    } catch {
      // Not every input keeps a selection.
    }
  }
}

/** The enabled [data-action] element a click landed on, or null. */
export function actionOf(event) {
  const el = event.target instanceof Element ? event.target.closest('[data-action]') : null;
  return el && !el.disabled ? el : null;
}
