/*
 * The page shell: tabs, title bar, notice bar and the message bridge to the host, plus the
 * Server, Resources and Skins pages.
 *
 * Loaded as a classic script, after ai.js and species.js and before the studio modules run.
 * Everything lives inside one function so the page's global scope only gains `vfShell` and
 * `vfPages`; the same file also loads under node, where it exports its pure helpers instead
 * of starting (tests read them through `module.exports`).
 *
 * Pages outside this file (AI, Species, Zuze Ravizu) plug in through `window.vfPages`:
 *
 *   (window.vfPages = window.vfPages || []).push(['ai', page]);
 *
 * Before the shell runs that is a plain array the shell drains at start; afterwards the shell
 * has replaced it by an object whose push registers at once, so the order in which the
 * scripts run does not matter. A page object may have:
 *   start(shell)   once, with { send, notice, esc, base64Utf8, hostUrls, state, render }
 *   render(panel)  draw into its panel (its tab was selected, or a fresh state arrived)
 *   load(ai)       AI page only: the `ai` member of every state message
 *   message(msg)   Species page: species, speciesLog, speciesRemote, speciesSounds;
 *                  studio page: studio. Messages that arrive before the page has started
 *                  are held and handed over in order when it starts.
 */
(function (global) {
  'use strict';

  const TAB_KEYS = ['server', 'resources', 'skins', 'ai', 'species', 'studio'];
  const NOTICE_MS = 5000;
  const CFG_KEYS = [
    'sv_hostname', 'sv_maxplayers', 'sv_map', 'sv_port', 'sv_httpport',
    'sv_scriptport', 'sv_publicip', 'sv_admins', 'sv_gamedir', 'sv_rconpassword',
  ];
  // Where the Windows form serves the extracted assets and the species workspaces; the
  // hosts here tell the page their own addresses, so these are only used when they do not.
  const HOST_URL_FALLBACKS = {
    assets: 'https://assets.varraforgeset.invalid/',
    species: 'https://species.varraforgeset.invalid/',
  };
  const SPECIES_TYPES = ['species', 'speciesLog', 'speciesRemote', 'speciesSounds'];

  // ---------------------------------------------------------------- pure helpers

  const ESCAPES = { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;' };

  /** HTML-escapes any host text before it goes into markup; null and undefined become "". */
  function esc(value) {
    if (value === null || value === undefined) return '';
    return String(value).replace(/[&<>"']/g, (c) => ESCAPES[c]);
  }

  /** The tab `delta` steps away from `current`, wrapping at both ends. */
  function stepTab(keys, current, delta) {
    const n = keys.length;
    if (n === 0) return current;
    let index = keys.indexOf(current);
    if (index < 0) index = 0;
    return keys[(((index + delta) % n) + n) % n];
  }

  /** How far an arrow key moves along the tab bar; 0 for every other key. */
  function arrowDelta(key) {
    if (key === 'ArrowLeft') return -1;
    if (key === 'ArrowRight') return 1;
    return 0;
  }

  /**
   * UTF-8 bytes of a JavaScript string. Written out rather than taken from TextEncoder so the
   * same code runs everywhere; lone surrogates become U+FFFD exactly as TextEncoder does.
   */
  function utf8Bytes(text) {
    const s = String(text);
    const out = [];
    for (let i = 0; i < s.length; i++) {
      let c = s.charCodeAt(i);
      if (c >= 0xd800 && c <= 0xdbff) {
        const next = i + 1 < s.length ? s.charCodeAt(i + 1) : 0;
        if (next >= 0xdc00 && next <= 0xdfff) {
          c = 0x10000 + ((c - 0xd800) << 10) + (next - 0xdc00);
          i++;
        } else {
          c = 0xfffd;
        }
      } else if (c >= 0xdc00 && c <= 0xdfff) {
        c = 0xfffd;
      }
      if (c < 0x80) {
        out.push(c);
      } else if (c < 0x800) {
        out.push(0xc0 | (c >> 6), 0x80 | (c & 63));
      } else if (c < 0x10000) {
        out.push(0xe0 | (c >> 12), 0x80 | ((c >> 6) & 63), 0x80 | (c & 63));
      } else {
        out.push(0xf0 | (c >> 18), 0x80 | ((c >> 12) & 63), 0x80 | ((c >> 6) & 63), 0x80 | (c & 63));
      }
    }
    return Uint8Array.from(out);
  }

  const B64 = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/';

  /** Standard base64 (with padding) of a byte array. */
  function base64FromBytes(bytes) {
    let out = '';
    let i = 0;
    for (; i + 2 < bytes.length; i += 3) {
      const v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
      out += B64[v >> 18] + B64[(v >> 12) & 63] + B64[(v >> 6) & 63] + B64[v & 63];
    }
    const rest = bytes.length - i;
    if (rest === 1) {
      const v = bytes[i] << 16;
      out += B64[v >> 18] + B64[(v >> 12) & 63] + '==';
    } else if (rest === 2) {
      const v = (bytes[i] << 16) | (bytes[i + 1] << 8);
      out += B64[v >> 18] + B64[(v >> 12) & 63] + B64[(v >> 6) & 63] + '=';
    }
    return out;
  }

  /** Multi-line texts travel to the host as base64 of their UTF-8 bytes. */
  function base64Utf8(text) {
    return base64FromBytes(utf8Bytes(text));
  }

  /** Base URLs of the assets and species folders, each ending in "/". */
  function resolveHostUrls(webview) {
    const given = (webview && typeof webview.hostUrls === 'object' && webview.hostUrls) || {};
    const urls = {};
    for (const kind of Object.keys(HOST_URL_FALLBACKS)) {
      const url = given[kind];
      if (typeof url === 'string' && url.length > 0) {
        urls[kind] = url.endsWith('/') ? url : url + '/';
      } else {
        urls[kind] = HOST_URL_FALLBACKS[kind];
      }
    }
    return urls;
  }

  /** The page's whole picture of the server folder; only state messages change it. */
  function newPageState() {
    return {
      tab: 'server',
      loaded: false,
      root: '',
      found: false,
      runner: false,
      plugin: false,
      cfg: {},
      resources: [],
      skins: [],
      skinsLua: false,
      textures: [],
      edit: null,
    };
  }

  /**
   * Copies a state message into the page state. Tells whether the server root changed,
   * because the species workspaces live under it and must then be asked for again.
   */
  function applyState(page, msg) {
    const root = typeof msg.root === 'string' ? msg.root : '';
    const rootChanged = root !== page.root;
    page.loaded = true;
    page.root = root;
    page.found = msg.found === true;
    page.runner = msg.runner === true;
    page.plugin = msg.plugin === true;
    page.cfg = msg.cfg && typeof msg.cfg === 'object' && !Array.isArray(msg.cfg) ? msg.cfg : {};
    page.resources = Array.isArray(msg.resources) ? msg.resources : [];
    page.skinsLua = msg.skinsLua === true;
    // skins.json goes to the page unchecked; anything but a list reads as no skins.
    page.skins = Array.isArray(msg.skins) ? msg.skins : [];
    page.textures = Array.isArray(msg.textures) ? msg.textures : [];
    return { rootChanged };
  }

  /**
   * Hides the notice bar `delayMs` after the latest notice: every restart drops the pending
   * hide, so a quick second notice is not cut short by the first one's timer.
   */
  function createNoticeTimer(hide, timers, delayMs) {
    let handle = null;
    return {
      restart() {
        if (handle !== null) timers.clear(handle);
        handle = timers.set(() => {
          handle = null;
          hide();
        }, delayMs);
      },
      cancel() {
        if (handle !== null) timers.clear(handle);
        handle = null;
      },
      pending() {
        return handle !== null;
      },
    };
  }

  /**
   * Keeps the pages that live in other scripts. A page starts once it is registered and the
   * shell hands over its API; messages for a page that has not started yet are held, since
   * the studio module only runs after the host may already have answered `init`.
   */
  function createPageRegistry(api, onStarted, report) {
    const pages = {};
    const held = {};

    function call(fn) {
      try {
        fn();
      } catch (error) {
        report(error);
      }
    }

    return {
      register(key, page) {
        if (!page || typeof page !== 'object' || pages[key]) return;
        pages[key] = page;
        if (typeof page.start === 'function') call(() => page.start(api));
        const queue = held[key] || [];
        delete held[key];
        for (const msg of queue) {
          if (typeof page.message === 'function') call(() => page.message(msg));
        }
        onStarted(key, page);
      },
      deliver(key, msg) {
        const page = pages[key];
        if (!page) {
          (held[key] = held[key] || []).push(msg);
          return;
        }
        if (typeof page.message === 'function') call(() => page.message(msg));
      },
      get(key) {
        return pages[key] || null;
      },
      call,
    };
  }

  /**
   * Routes one message from the host by its `type`. Everything it touches comes in `deps`
   * ({ page, send, render, notice, aiLoad, deliver }), so it runs without a browser.
   */
  function createRouter(deps) {
    return function route(msg) {
      if (!msg || typeof msg !== 'object' || typeof msg.type !== 'string') return;
      if (msg.type === 'state') {
        if (applyState(deps.page, msg).rootChanged) deps.send({ cmd: 'speciesRefresh' });
        deps.aiLoad(msg.ai);
        deps.render();
      } else if (msg.type === 'notice') {
        deps.notice(typeof msg.text === 'string' ? msg.text : '', msg.error === true);
      } else if (msg.type === 'studio') {
        deps.deliver('studio', msg);
      } else if (SPECIES_TYPES.includes(msg.type)) {
        deps.deliver('species', msg);
      }
    };
  }

  const core = {
    TAB_KEYS,
    NOTICE_MS,
    CFG_KEYS,
    HOST_URL_FALLBACKS,
    esc,
    stepTab,
    arrowDelta,
    utf8Bytes,
    base64FromBytes,
    base64Utf8,
    resolveHostUrls,
    newPageState,
    applyState,
    createNoticeTimer,
    createPageRegistry,
    createRouter,
  };

  if (typeof module !== 'undefined' && module.exports) module.exports = core;
  if (typeof global === 'undefined' || !global.document) return;

  // ---------------------------------------------------------------- the shell in the page

  const doc = global.document;
  const page = newPageState();

  function webview() {
    return (global.chrome && global.chrome.webview) || null;
  }

  /** One command to the host; outside the web view there is nobody to tell. */
  function send(obj) {
    const wv = webview();
    if (wv && typeof wv.postMessage === 'function') wv.postMessage(obj);
  }

  const noticeEl = doc.getElementById('notice');
  const noticeTimer = createNoticeTimer(
    () => {
      noticeEl.hidden = true;
    },
    { set: (fn, ms) => global.setTimeout(fn, ms), clear: (id) => global.clearTimeout(id) },
    NOTICE_MS
  );

  function notice(text, error) {
    noticeEl.textContent = String(text);
    noticeEl.classList.toggle('error', !!error);
    noticeEl.hidden = false;
    noticeTimer.restart();
  }

  noticeEl.addEventListener('click', () => {
    noticeTimer.cancel();
    noticeEl.hidden = true;
  });

  // A page's own fault must not take the shell down with it, yet it should still reach the
  // error hook, so it is thrown again outside the current call.
  function report(error) {
    global.setTimeout(() => {
      throw error;
    }, 0);
  }

  const api = Object.freeze({
    send,
    notice,
    esc,
    base64Utf8,
    hostUrls: Object.freeze(resolveHostUrls(webview())),
    state: page,
    render: renderCurrent,
  });

  let lastAi;
  let aiSeen = false;

  function aiLoad(ai) {
    lastAi = ai;
    aiSeen = true;
    const aiPage = registry.get('ai');
    if (aiPage && typeof aiPage.load === 'function') registry.call(() => aiPage.load(ai));
  }

  const registry = createPageRegistry(
    api,
    (key, registered) => {
      if (key === 'ai' && aiSeen && typeof registered.load === 'function') {
        registry.call(() => registered.load(lastAi));
      }
      if (key === page.tab) renderCurrent();
    },
    report
  );

  // ---------------------------------------------------------------- pages in this file

  function badge(ok, yes, no) {
    return `<span class="badge ${ok ? 'badge-ok' : 'badge-missing'}">${ok ? yes : no}</span>`;
  }

  function renderServer(panel) {
    const rootLine = page.root
      ? `<div class="row-detail mono">${esc(page.root)}</div>`
      : '<div class="row-detail">Pick the folder that contains VarraForgesetServer.exe</div>';
    panel.innerHTML = `
      <div class="card">
        <h2 class="card-title">Server folder</h2>
        <div class="status-row">
          ${badge(page.found, 'found', 'missing')}
          <div class="row-text"><div class="row-title">${page.found ? 'Folder set' : 'No folder yet'}</div>${rootLine}</div>
        </div>
        <div class="status-row">
          ${badge(page.runner, 'found', 'missing')}
          <div class="row-text"><div class="row-title">Runner</div>
          <div class="row-detail">VarraForgesetServer.exe starts the game server and injects the plugin</div></div>
        </div>
        <div class="status-row">
          ${badge(page.plugin, 'found', 'missing')}
          <div class="row-text"><div class="row-title">Server plugin</div>
          <div class="row-detail mono">server-plugin\\build\\varra-forgeset-server.dll</div></div>
        </div>
      </div>`;
  }

  function renderResources(panel) {
    let body;
    if (!page.found) {
      body = '<p class="empty">Pick the server folder first</p>';
    } else if (page.resources.length === 0) {
      body = '<p class="empty">No resources yet</p>';
    } else {
      body = '<ul class="list">' +
        page.resources.map((r) => `<li class="list-row"><span class="row-title">${esc(r && r.name)}</span>` +
          `${badge(!!(r && r.enabled), 'on', 'off')}</li>`).join('') +
        '</ul>';
    }
    panel.innerHTML = `<div class="card"><h2 class="card-title">Resources</h2>${body}</div>`;
  }

  function renderSkins(panel) {
    const names = page.skins
      .map((s) => (s && typeof s === 'object' ? s.name : ''))
      .filter((n) => typeof n === 'string' && n.length > 0);
    const body = names.length === 0
      ? '<p class="empty">No skins yet</p>'
      : '<ul class="list">' + names.map((n) => `<li class="list-row"><span class="row-title">${esc(n)}</span></li>`).join('') + '</ul>';
    panel.innerHTML = `<div class="card"><h2 class="card-title">Skins</h2>${body}</div>`;
  }

  function renderExternal(key) {
    return (panel) => {
      const external = registry.get(key);
      if (external && typeof external.render === 'function') {
        registry.call(() => external.render(panel));
      } else {
        panel.innerHTML = '<p class="empty">Loading…</p>';
      }
    };
  }

  const renderers = {
    server: renderServer,
    resources: renderResources,
    skins: renderSkins,
    ai: renderExternal('ai'),
    species: renderExternal('species'),
    studio: renderExternal('studio'),
  };

  function renderCurrent() {
    const panel = doc.getElementById('panel-' + page.tab);
    if (panel) renderers[page.tab](panel);
  }

  // ---------------------------------------------------------------- tabs and title bar

  const tabButtons = Array.from(doc.querySelectorAll('#titlebar [role="tab"]'));

  function selectTab(key, focus) {
    if (!TAB_KEYS.includes(key)) return;
    page.tab = key;
    for (const button of tabButtons) {
      const on = button.dataset.tab === key;
      button.setAttribute('aria-selected', on ? 'true' : 'false');
      button.tabIndex = on ? 0 : -1;
      if (on && focus) button.focus();
    }
    for (const tabKey of TAB_KEYS) {
      const panel = doc.getElementById('panel-' + tabKey);
      if (panel) panel.hidden = tabKey !== key;
    }
    renderCurrent();
  }

  for (const button of tabButtons) {
    button.addEventListener('click', () => selectTab(button.dataset.tab, false));
    button.addEventListener('keydown', (event) => {
      const delta = arrowDelta(event.key);
      if (delta === 0) return;
      event.preventDefault();
      selectTab(stepTab(TAB_KEYS, button.dataset.tab, delta), true);
    });
  }

  const titlebar = doc.getElementById('titlebar');

  // Presses on the buttons and tabs are clicks; everywhere else the bar behaves like a
  // window caption, which only the host can provide in a frameless window.
  function onCaption(event) {
    return !(event.target instanceof global.Element && event.target.closest('.win-btn, [role="tab"]'));
  }

  titlebar.addEventListener('mousedown', (event) => {
    if (event.button === 0 && onCaption(event)) send({ cmd: 'dragWindow' });
  });
  titlebar.addEventListener('dblclick', (event) => {
    if (onCaption(event)) send({ cmd: 'winMax' });
  });
  doc.getElementById('win-min').addEventListener('click', () => send({ cmd: 'winMin' }));
  doc.getElementById('win-max').addEventListener('click', () => send({ cmd: 'winMax' }));
  doc.getElementById('win-close').addEventListener('click', () => send({ cmd: 'winClose' }));

  // ---------------------------------------------------------------- bridge and start-up

  const route = createRouter({
    page,
    send,
    render: renderCurrent,
    notice,
    aiLoad,
    deliver: registry.deliver,
  });

  function onHostMessage(event) {
    route(event && event.data);
    if (event && event.data && event.data.type === 'state') doc.body.dataset.loaded = 'true';
  }

  const pending = Array.isArray(global.vfPages) ? global.vfPages : [];
  global.vfPages = {
    push(...entries) {
      for (const entry of entries) {
        if (Array.isArray(entry)) registry.register(entry[0], entry[1]);
      }
    },
  };
  global.vfShell = api;
  global.vfPages.push(...pending);

  const wv = webview();
  if (wv && typeof wv.addEventListener === 'function') wv.addEventListener('message', onHostMessage);

  selectTab(page.tab, false);
  send({ cmd: 'init' });
})(typeof window !== 'undefined' ? window : undefined);
