/*
 * Starting the page: the shell API every page gets, the redraw of the open tab, and the
 * wiring of tabs, title bar and host messages. Pages reach the shell only through the
 * registry in pages.js and the API handed to their start().
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
import { TAB_KEYS, wireTabs } from './tabs.js';
import { wireTitlebar } from './titlebar.js';

// A page's own fault must not take the shell down with it, yet it should still reach the
// error hook, so it is thrown again outside the current call.
function report(error) {
  setTimeout(() => {
    throw error;
  }, 0);
}

/**
 * The `ai` member of the latest state message for the AI page, which may register after
 * it arrived: it then gets the latest one as soon as it starts.
 */
function createAiFeed(registry) {
  let latest;
  let seen = false;
  return {
    load(ai) {
      latest = ai;
      seen = true;
      const page = registry.get('ai');
      if (page && typeof page.load === 'function') registry.call(() => page.load(ai));
    },
    started(page) {
      if (seen && typeof page.load === 'function') registry.call(() => page.load(latest));
    },
  };
}

/**
 * Starts the shell in `doc`. `stateApplied(applied)` is told what each state message changed,
 * before the redraw, for pages that keep the person's unsent typing across state messages.
 */
export function startShell(doc, { stateApplied } = {}) {
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
  const ai = createAiFeed(registry);

  function onStarted(key, page) {
    if (key === 'ai') ai.started(page);
    if (key === state.tab) renderCurrent();
  }

  function renderCurrent() {
    const panel = doc.getElementById('panel-' + state.tab);
    if (!panel) return;
    const page = registry.get(state.tab);
    if (page && typeof page.render === 'function') registry.call(() => page.render(panel));
    else panel.innerHTML = '<p class="empty">Loading…</p>';
  }

  const showTab = wireTabs(doc, selectTab);
  function selectTab(key, focus) {
    if (!TAB_KEYS.includes(key)) return;
    state.tab = key;
    showTab(key, focus);
    renderCurrent();
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
    aiLoad: ai.load,
    deliver: registry.deliver,
    stateApplied,
    // Only the browser host asks the page to draw its dialogs, and only it has dialogs.
    picker: createPicker(doc, webview() && webview().dialogs),
    openUrl: createLinkBar(doc, doc.getElementById('notice')),
  });
  acceptPages(registry.register);
  listen((data) => {
    route(data);
    startup.received(data);
  });
  selectTab(state.tab, false);
  send({ cmd: 'init' });
}
