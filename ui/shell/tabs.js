/* The tab bar: which tabs there are, and moving between them with the arrow keys. */

export const TAB_KEYS = ['server', 'resources', 'skins', 'ai', 'species', 'studio'];

/** The tab `delta` steps away from `current`, wrapping at both ends. */
export function stepTab(keys, current, delta) {
  const n = keys.length;
  if (n === 0) return current;
  let index = keys.indexOf(current);
  if (index < 0) index = 0;
  return keys[(((index + delta) % n) + n) % n];
}

/** How far an arrow key moves along the tab bar; 0 for every other key. */
export function arrowDelta(key) {
  if (key === 'ArrowLeft') return -1;
  if (key === 'ArrowRight') return 1;
  return 0;
}

/**
 * Wires the tab buttons in the title bar. `select(key)` is told the chosen tab; the returned
 * function marks `key` as the selected tab and shows only its panel.
 */
export function wireTabs(doc, select) {
  const buttons = Array.from(doc.querySelectorAll('#titlebar [role="tab"]'));

  function show(key, focus) {
    for (const button of buttons) {
      const on = button.dataset.tab === key;
      button.setAttribute('aria-selected', on ? 'true' : 'false');
      button.tabIndex = on ? 0 : -1;
      if (on && focus) button.focus();
    }
    for (const tabKey of TAB_KEYS) {
      const panel = doc.getElementById('panel-' + tabKey);
      if (panel) panel.hidden = tabKey !== key;
    }
  }

  for (const button of buttons) {
    button.addEventListener('click', () => select(button.dataset.tab, false));
    button.addEventListener('keydown', (event) => {
      const delta = arrowDelta(event.key);
      if (delta === 0) return;
      event.preventDefault();
      select(stepTab(TAB_KEYS, button.dataset.tab, delta), true);
    });
  }
  return show;
}
