/* For pages that draw their panel from an HTML string and listen on the panel itself. */
import { Idiomorph } from 'idiomorph';

// A select drawn without a marked option shows its first one.
function selectMoved(select) {
  let drawn = select.options.length ? 0 : -1;
  for (let i = 0; i < select.options.length; i++) if (select.options[i].defaultSelected) drawn = i;
  return select.selectedIndex !== drawn;
}

/**
 * The fields whose value the person changed since they were drawn, and everything around
 * them: there the elements may look like their markup and still show something else.
 */
function changedFields(root) {
  const around = new Set();
  for (const el of root.querySelectorAll('input, textarea, select')) {
    let moved;
    if (el instanceof HTMLSelectElement) moved = selectMoved(el);
    // A box's value is its markup's (or "on"); what the person changes is whether it is ticked.
    else if (el.type === 'checkbox' || el.type === 'radio') moved = el.checked !== el.defaultChecked;
    else moved = el.value !== el.defaultValue;
    for (let at = moved ? el : null; at && !around.has(at); at = at === root ? null : at.parentElement) around.add(at);
  }
  return around;
}

/**
 * Brings `root` to the markup `html` by changing only what differs from it. Elements that
 * stay are the same elements afterwards, so the focus, the caret, scroll positions and an
 * open select stay with them, and a part of the page the change did not touch is not
 * touched at all: an element equal to its new markup is passed over whole, unless a field
 * in it shows something else than it was drawn with.
 *
 * `keepTyping`: a focused field whose text differs from the text it was drawn with keeps
 * it, for redraws that a host message causes while the person is typing.
 * `leave(el, next)`: true leaves `el` and everything in it as it is, for content that
 * someone else draws (`next` is the element of the new markup it would become).
 * `outer`: `html` is the markup of `root` itself rather than of its content.
 */
export function paint(root, html, { keepTyping = false, leave = null, outer = false } = {}) {
  const doc = root.ownerDocument;
  const changed = changedFields(root);
  const callbacks = {
    beforeNodeMorphed(el, next) {
      if (el.nodeType !== 1) return true;
      if (leave && leave(el, next)) return false;
      return changed.has(el) || !el.isEqualNode(next);
    },
    beforeAttributeUpdated(name, el, how) {
      if (name !== 'value' || !(el instanceof HTMLInputElement)) return true;
      // A box drawn without a value has none to remove: clearing it would give it one.
      if (how === 'remove' && (el.type === 'checkbox' || el.type === 'radio')) return el.hasAttribute('value');
      return !(keepTyping && el === doc.activeElement && el.value !== el.defaultValue);
    },
  };
  Idiomorph.morph(root, html, { morphStyle: outer ? 'outerHTML' : 'innerHTML', callbacks });
}

/** The enabled [data-action] element a click landed on, or null. */
export function actionOf(event) {
  const el = event.target instanceof Element ? event.target.closest('[data-action]') : null;
  return el && !el.disabled ? el : null;
}
