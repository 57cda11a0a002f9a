/* The tab bar: a tab and a panel for each declared page, and moving between them with the arrow keys. */

import { esc } from '../lib/html.js';

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

/** The tab button of page `key`, labelled `title`; the selected one is the keyboard's stop. */
export function tabMarkup(key, title, selected) {
  const k = esc(key);
  return `<button type="button" class="tab" role="tab" id="tab-${k}" data-tab="${k}" aria-controls="panel-${k}" aria-selected="${selected ? 'true' : 'false'}" tabindex="${selected ? '0' : '-1'}">${esc(title)}</button>`;
}

/** The panel of page `key`, hidden unless its tab is selected. */
export function panelMarkup(key, selected) {
  const k = esc(key);
  return `<section class="panel" id="panel-${k}" role="tabpanel" aria-labelledby="tab-${k}"${selected ? '' : ' hidden'}></section>`;
}

/**
 * Wires the tab bar in the title bar. `select(key)` is told the chosen tab. Returns `add(key,
 * title, selected)`, which draws a page's tab and panel, and `show(key, focus)`, which marks
 * `key` as the selected tab and shows only its panel.
 */
export function wireTabs(doc, select) {
  const bar = doc.querySelector('#titlebar [role="tablist"]');
  const content = doc.querySelector('main.content');
  const keys = [];

  function buttons() {
    return Array.from(bar.querySelectorAll('[role="tab"]'));
  }

  function add(key, title, selected) {
    keys.push(key);
    bar.insertAdjacentHTML('beforeend', tabMarkup(key, title, selected));
    content.insertAdjacentHTML('beforeend', panelMarkup(key, selected));
  }

  function show(key, focus) {
    for (const button of buttons()) {
      const on = button.dataset.tab === key;
      button.setAttribute('aria-selected', on ? 'true' : 'false');
      button.tabIndex = on ? 0 : -1;
      if (on && focus) button.focus();
    }
    for (const tabKey of keys) {
      const panel = doc.getElementById('panel-' + tabKey);
      if (panel) panel.hidden = tabKey !== key;
    }
  }

  const tabOf = (event) => (event.target instanceof Element ? event.target.closest('[role="tab"]') : null);
  bar.addEventListener('click', (event) => {
    const button = tabOf(event);
    if (button) select(button.dataset.tab, false);
  });
  bar.addEventListener('keydown', (event) => {
    const button = tabOf(event);
    const delta = arrowDelta(event.key);
    if (!button || delta === 0) return;
    event.preventDefault();
    select(stepTab(keys, button.dataset.tab, delta), true);
  });
  return { add, show, keys };
}
