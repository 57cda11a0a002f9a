/*
 * Starting the page: the shell API every page gets, the tab, panel and style sheets of each
 * declared page, the redraw of the open tab, and the wiring of title bar and host messages.
 * Pages reach the shell only through the registry in pages.js and the API handed to their
 * start().
 */

import { esc } from '../lib/html.js';
import { base64Utf8 } from '../lib/base64.js';
import { listen, resolveHostUrls, send, webview } from './host.js';
import { createNoticeBar } from './notice.js';
import { createLinkBar } from './open_link.js';
import { acceptPages } from './pages.js';
import { createPicker } from './picker.js';
import { createPageRegistry } from './registry.js';
import { createRouter } from './router.js';
import { createStartupWatch } from './startup.js';
import { state } from './state.js';
import { wireTabs } from './tabs.js';
import { wireTitlebar } from './titlebar.js';

// A page's own fault must not take the shell down with it, yet it should still reach the
// error hook, so it is thrown again outside the current call.
function report(error) {
  setTimeout(() => {
    throw error;
  }, 0);
}

// Pages that share a sheet (the three server pages) link it once.
function linkStyles(doc, href) {
  const linked = Array.from(doc.head.querySelectorAll('link[rel="stylesheet"]'));
  if (linked.some((link) => link.getAttribute('href') === href)) return;
  const link = doc.createElement('link');
  link.rel = 'stylesheet';
  link.href = href;
  doc.head.append(link);
}

/** Starts the shell in `doc` with every page declared through pages.js. */
export function startShell(doc) {
  const api = Object.freeze({
    send,
    notice: createNoticeBar(doc.getElementById('notice')),
    esc,
    base64Utf8,
    hostUrls: Object.freeze(resolveHostUrls(webview())),
    state,
    render: renderCurrent,
  });
  const registry = createPageRegistry(api, onStarted, report);

  function onStarted(key) {
    if (key === state.tab) renderCurrent();
  }

  function renderCurrent() {
    const panel = doc.getElementById('panel-' + state.tab);
    if (!panel) return;
    const page = registry.get(state.tab);
    if (page && typeof page.render === 'function') registry.call(() => page.render(panel));
    else panel.innerHTML = '<p class="empty">Loading…</p>';
  }

  const tabs = wireTabs(doc, selectTab);
  function selectTab(key, focus) {
    if (!tabs.keys.includes(key)) return;
    state.tab = key;
    tabs.show(key, focus);
    renderCurrent();
  }

  // A declared page gets its tab, its panel and its style sheets, then starts.
  function declare({ key, title, styles, page }) {
    if (tabs.keys.includes(key)) return;
    for (const href of styles) linkStyles(doc, href);
    tabs.add(key, title, key === state.tab);
    registry.register(key, page);
  }

  wireTitlebar(doc, send);
  const startup = createStartupWatch(() => {
    doc.body.dataset.loaded = 'true';
  });
  const route = createRouter({
    page: state,
    send: (obj) => {
      startup.sent(obj);
      send(obj);
    },
    render: renderCurrent,
    notice: api.notice,
    deliver: registry.deliver,
    stateApplied: registry.stateApplied,
    // Only the browser host asks the page to draw its dialogs, and only it has dialogs.
    picker: createPicker(doc, webview() && webview().dialogs),
    openUrl: createLinkBar(doc, doc.getElementById('notice')),
  });
  acceptPages(declare);
  // The pages that are not drawn yet are fetched once the first state is drawn, so their code
  // never stands between the start and that drawing.
  let prefetched = false;
  listen((data) => {
    route(data);
    if (!prefetched && data && data.type === 'state') {
      prefetched = true;
      for (const arrival of registry.prefetch()) startup.waitFor(arrival);
    }
    startup.received(data);
  });
  selectTab(state.tab, false);
  send({ cmd: 'init' });
}
