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

  // The server.cfg card, in the order a person reads it (the saved message keeps CFG_KEYS'
  // order). Ports and the player count are numbers; everything else is free text.
  const CFG_FIELDS = [
    { key: 'sv_hostname', label: 'Server name', hint: 'Shown in the server list', type: 'text' },
    { key: 'sv_map', label: 'Map', hint: 'Gateway', type: 'text' },
    { key: 'sv_maxplayers', label: 'Max players', hint: '', type: 'number' },
    { key: 'sv_port', label: 'Game port', hint: 'UDP, open in the firewall', type: 'number' },
    { key: 'sv_httpport', label: 'Download port', hint: 'Resources and mods, TCP', type: 'number' },
    { key: 'sv_scriptport', label: 'Script port', hint: 'Modded clients, TCP', type: 'number' },
    { key: 'sv_publicip', label: 'Public IP', hint: 'What players connect to', type: 'text' },
    { key: 'sv_gamedir', label: 'Game folder', hint: 'Dedicated server install', type: 'text' },
    { key: 'sv_admins', label: 'Admins', hint: 'Steam IDs, comma separated', type: 'text' },
    { key: 'sv_rconpassword', label: 'RCON password', hint: '', type: 'text' },
  ];

  // Colour zones of a skin, in the order skins.json and skins.lua list them.
  const ZONES = [
    ['body', 'Body'],
    ['flank', 'Flank'],
    ['underbelly', 'Underbelly'],
    ['markings', 'Markings'],
    ['display', 'Male display'],
    ['teeth', 'Teeth'],
    ['mouth', 'Mouth'],
    ['claws', 'Claws'],
    ['detail', 'Detail'],
    ['eyes', 'Eyes'],
  ];
  const ZONE_KEYS = ZONES.map((zone) => zone[0]);
  const SKIN_SPECIES = [
    'Allosaurus', 'Austroraptor', 'Beipiaosaurus', 'Carnotaurus', 'Ceratosaurus', 'Deinosuchus',
    'Diabloceratops', 'Dilophosaurus', 'Dryosaurus', 'Gallimimus', 'Herrerasaurus', 'Hypsilophodon',
    'Kentrosaurus', 'Maiasaura', 'Omniraptor', 'Pachycephalosaurus', 'Pteranodon', 'Stegosaurus',
    'Tenontosaurus', 'Triceratops', 'Troodon', 'Tyrannosaurus',
  ];
  const ZONE_HEX = '#808080';
  const BLANK_BODY_HEX = '#6C3729';
  const SWATCH_LIMIT = 6;

  const TEXT = {
    typeName: 'Type a name first.',
    badHex: 'Hex looks like #RRGGBB.',
    badSkinName: 'Name: lowercase letters, digits and _ only.',
    skinExists: 'A skin with that name exists.',
    skinEmpty: 'Switch on a zone or pick a pattern texture.',
    handWritten: 'skins.lua exists but was written by hand. Saving here replaces it.',
    skinsBroken: 'skins.json is not valid JSON. Fix it by hand or save to replace it.',
  };

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
      // skins.json is on disk (as a list or not); only then was skins.lua written by us.
      skinsStored: false,
      // skins.json is on disk but is not JSON, so the host handed over its text instead.
      skinsBroken: false,
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
    const wasBroken = page.skinsBroken;
    page.skinsBroken = typeof msg.skins === 'string';
    page.skinsStored = msg.skins !== null && msg.skins !== undefined;
    page.textures = Array.isArray(msg.textures) ? msg.textures : [];
    // Said once when the file goes bad (or a folder with a bad file is picked), not on every
    // later state message, which would bury the notices of the commands that follow.
    const skinsBroke = page.skinsBroken && (!wasBroken || rootChanged);
    return { rootChanged, skinsBroke };
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
   * ({ page, send, render, notice, aiLoad, deliver, and optionally stateApplied, told what a
   * state message changed before the redraw}), so it runs without a browser.
   */
  function createRouter(deps) {
    return function route(msg) {
      if (!msg || typeof msg !== 'object' || typeof msg.type !== 'string') return;
      if (msg.type === 'state') {
        const applied = applyState(deps.page, msg);
        if (applied.rootChanged) deps.send({ cmd: 'speciesRefresh' });
        if (applied.skinsBroke) deps.notice(TEXT.skinsBroken, true);
        if (deps.stateApplied) deps.stateApplied(applied);
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

  // ---------------------------------------------------------------- server.cfg

  /**
   * The ten values a save sends, in the host's key order, each trimmed. A field the person
   * typed in sends what they typed; an untouched field sends what the file holds. That is
   * what the inputs show, except for a value a number input cannot display (say "27015 #
   * game"): the input shows it empty, and saving must not wipe the line for that.
   */
  function cfgToSave(cfg, drafts) {
    const out = { cmd: 'saveCfg' };
    for (const key of CFG_KEYS) {
      let value = drafts && Object.prototype.hasOwnProperty.call(drafts, key) ? drafts[key] : cfg && cfg[key];
      if (value === null || value === undefined) value = '';
      out[key] = String(value).trim();
    }
    return out;
  }

  /**
   * What the server.cfg card shows after a state message. Unsaved typing survives messages
   * from other commands (switching a resource, a texture saved in the studio, a refresh);
   * the answer to our own save, or another server folder, is the truth and replaces it.
   */
  function settleCfgDrafts(drafts, event) {
    if (event.rootChanged || event.afterSave) return {};
    return drafts;
  }

  // ---------------------------------------------------------------- resources

  /** The detail line of one resource: which scripts it has, or why its switch is off. */
  function resourceLine(resource) {
    const parts = [];
    if (resource && resource.server === true) parts.push('server');
    if (resource && resource.client === true) parts.push('client');
    if (!resource || resource.manifest !== true) parts.push('no manifest.lua');
    return parts.length > 0 ? parts.join(' · ') : 'empty';
  }

  // ---------------------------------------------------------------- skins

  /** "#RRGGBB" in upper case from what a person typed, or null when it is no colour. */
  function normaliseHex(text) {
    if (text === null || text === undefined) return null;
    let hex = String(text).trim().toUpperCase();
    if (!hex.startsWith('#')) hex = '#' + hex;
    return /^#[0-9A-F]{6}$/.test(hex) ? hex : null;
  }

  /** The neon factor entered: a number of at least 1; anything unreadable is 1. */
  function parseNeon(value) {
    if (typeof value === 'string' && value.trim() === '') return 1;
    const n = typeof value === 'number' ? value : Number(value);
    if (!Number.isFinite(n)) return 1;
    return Math.max(1, n);
  }

  /** Pattern and theme are whole numbers or empty (empty keeps the game's own). */
  function wholeNumberText(value) {
    if (value === null || value === undefined) return '';
    const text = String(value).trim();
    return /^\d+$/.test(text) ? text : '';
  }

  /** The name a skin is saved under: what was typed, trimmed and lower-cased. */
  function skinName(text) {
    return String(text === null || text === undefined ? '' : text).trim().toLowerCase();
  }

  function zone(on, hex, glow) {
    return { on, hex, glow };
  }

  /** What "New skin" starts from: only the body switched on, in a brown the game also uses. */
  function blankSkin() {
    const zones = {};
    for (const key of ZONE_KEYS) zones[key] = key === 'body' ? zone(true, BLANK_BODY_HEX, 1) : zone(false, ZONE_HEX, 1);
    return { name: '', species: '', admin: false, pattern: '', theme: '', texture: '', zones };
  }

  function text(value) {
    return typeof value === 'string' ? value : '';
  }

  /**
   * A skin record from skins.json in the page's own shape, members in their stored order.
   * The file may have been edited by hand, so every member is read defensively; a zone
   * that is missing or garbled comes back switched off rather than breaking the page.
   */
  function normaliseSkin(raw) {
    const source = raw && typeof raw === 'object' ? raw : {};
    const zonesIn = source.zones && typeof source.zones === 'object' ? source.zones : {};
    const zones = {};
    for (const key of ZONE_KEYS) {
      const z = zonesIn[key] && typeof zonesIn[key] === 'object' ? zonesIn[key] : {};
      zones[key] = zone(z.on === true, normaliseHex(z.hex) || ZONE_HEX, parseNeon(z.glow));
    }
    return {
      name: text(source.name),
      species: text(source.species),
      admin: source.admin === true,
      pattern: wholeNumberText(source.pattern),
      theme: wholeNumberText(source.theme),
      texture: text(source.texture),
      zones,
    };
  }

  /** The skins of a state message as page records; entries that are not objects are dropped. */
  function skinList(raw) {
    return Array.isArray(raw) ? raw.filter((s) => s && typeof s === 'object' && !Array.isArray(s)).map(normaliseSkin) : [];
  }

  function copySkin(skin) {
    return normaliseSkin(JSON.parse(JSON.stringify(skin)));
  }

  /** skins.json: the list without indentation, each skin's members in their fixed order. */
  function skinsJson(skins) {
    return JSON.stringify(skins.map(normaliseSkin));
  }

  /**
   * Why the edited skin cannot be saved, checked in a fixed order, or '' when it can.
   * `others` is the list it goes into and `index` its place there (-1 for a new skin).
   */
  function checkSkin(skin, others, index) {
    const name = skinName(skin.name);
    if (!/^[a-z0-9_]+$/.test(name)) return TEXT.badSkinName;
    if (others.some((other, i) => i !== index && other && other.name === name)) return TEXT.skinExists;
    const zones = skin.zones || {};
    const anyZone = ZONE_KEYS.some((key) => zones[key] && zones[key].on === true);
    if (!anyZone && !text(skin.texture)) return TEXT.skinEmpty;
    return '';
  }

  /**
   * Where an edited skin goes back: its old place if that still holds the skin that was
   * opened (a state message may have changed the list meanwhile), else wherever a skin of
   * the opened name now is, else -1 for the end.
   */
  function editTarget(skins, edit) {
    if (!edit || edit.index < 0 || !edit.original) return -1;
    if (skins[edit.index] && skins[edit.index].name === edit.original) return edit.index;
    return skins.findIndex((s) => s.name === edit.original);
  }

  /** The list with `skin` put at `index`, or added at the end for -1. */
  function placeSkin(skins, index, skin) {
    const list = skins.slice();
    if (index >= 0 && index < list.length) list[index] = skin;
    else list.push(skin);
    return list;
  }

  // sRGB channel (0 to 255) to linear light.
  function linearChannel(byte) {
    const s = byte / 255;
    return s <= 0.04045 ? s / 12.92 : Math.pow((s + 0.055) / 1.055, 2.4);
  }

  /**
   * Three decimals in the shortest form: 2, 0.5, 0.432. toFixed rounds the double's exact
   * value, which x * 1000 rounding does not always do.
   */
  function luaNumber(x) {
    const rounded = Number(x.toFixed(3));
    return String(rounded === 0 ? 0 : rounded);
  }

  /** A zone's colour in skins.lua: plain hex up to neon 1, glowing linear light above. */
  function zoneColourLua(z) {
    const hex = normaliseHex(z.hex) || ZONE_HEX;
    const glow = parseNeon(z.glow);
    if (glow <= 1) return `"${hex}"`;
    const channels = [1, 3, 5].map((at) => linearChannel(parseInt(hex.slice(at, at + 2), 16)) * glow);
    return `{ ${channels.map(luaNumber).join(', ')} }`;
  }

  // Texts come from names the page checks, but a hand-edited skins.json may hold anything and
  // a stray quote must not break the whole file for the server.
  function luaString(value) {
    return '"' + String(value).replace(/[\\"]/g, '\\$&').replace(/\r/g, '\\r').replace(/\n/g, '\\n') + '"';
  }

  const LUA_KEYWORDS = new Set([
    'and', 'break', 'do', 'else', 'elseif', 'end', 'false', 'for', 'function', 'goto', 'if', 'in',
    'local', 'nil', 'not', 'or', 'repeat', 'return', 'then', 'true', 'until', 'while',
  ]);

  // A skin name is a bare table key in skins.lua. The name rule still lets through a few that
  // Lua cannot take bare ("end", "2fast"); those go in brackets so the file stays loadable.
  function luaKey(name) {
    return /^[A-Za-z_][A-Za-z0-9_]*$/.test(name) && !LUA_KEYWORDS.has(name) ? name : `[${luaString(name)}]`;
  }

  /** skins.lua for the skins resource: the global table Skins, CR LF line ends. */
  function skinsLua(skins) {
    const lines = ['Skins = {'];
    for (const raw of skins) {
      const skin = normaliseSkin(raw);
      lines.push(`  ${luaKey(skin.name)} = {`);
      if (skin.species) lines.push(`    species = ${luaString(skin.species)},`);
      if (skin.admin) lines.push('    admin = true,');
      for (const key of ['pattern', 'theme']) {
        const n = skin[key] === '' ? NaN : parseInt(skin[key], 10);
        if (Number.isFinite(n)) lines.push(`    ${key} = ${n},`);
      }
      if (skin.texture) lines.push(`    texture = ${luaString('textures/' + skin.texture)},`);
      for (const key of ZONE_KEYS) {
        if (skin.zones[key].on) lines.push(`    ${key} = ${zoneColourLua(skin.zones[key])},`);
      }
      lines.push('  },');
    }
    lines.push('}');
    return lines.join('\r\n') + '\r\n';
  }

  /** The saveSkins command for a whole list. */
  function saveSkinsMessage(skins) {
    return { cmd: 'saveSkins', json: base64Utf8(skinsJson(skins)), lua: base64Utf8(skinsLua(skins)) };
  }

  // ---------------------------------------------------------------- page markup

  function badge(ok, yes, no) {
    return `<span class="badge ${ok ? 'badge-ok' : 'badge-missing'}">${ok ? yes : no}</span>`;
  }

  function statusRow(ok, title, detail, mono) {
    return `<div class="status-row">${badge(ok, 'found', 'missing')}` +
      `<div class="row-text"><div class="row-title">${title}</div>` +
      `<div class="row-detail${mono ? ' mono' : ''}">${detail}</div></div></div>`;
  }

  function disabled(flag) {
    return flag ? '' : ' disabled';
  }

  /** The Server page from the page state and the unsaved server.cfg typing. */
  function serverHtml(page, drafts) {
    const cfg = page.cfg || {};
    const rootDetail = page.root ? esc(page.root) : 'Pick the folder that contains VarraForgesetServer.exe';
    const fields = CFG_FIELDS.map((f) => {
      const typed = drafts && Object.prototype.hasOwnProperty.call(drafts, f.key);
      const value = typed ? drafts[f.key] : cfg[f.key];
      const id = 'cfg-' + f.key;
      return `<div class="field">` +
        `<label for="${id}">${f.label}</label>` +
        `<input id="${id}" type="${f.type}" data-cfg="${f.key}" data-focus="cfg:${f.key}"` +
        `${f.type === 'number' ? ' min="0" step="1"' : ' spellcheck="false"'}` +
        `${typed ? ' class="dirty"' : ''} value="${esc(value)}">` +
        (f.hint ? `<div class="hint">${f.hint}</div>` : '') +
        `</div>`;
    }).join('');
    return `
      <div class="card">
        <h2 class="card-title">Server folder</h2>
        ${statusRow(page.found, page.found ? 'Folder set' : 'No folder yet', rootDetail, !!page.root)}
        ${statusRow(page.runner, 'Runner', 'VarraForgesetServer.exe starts the game server and injects the plugin', false)}
        ${statusRow(page.plugin, 'Server plugin', 'server-plugin\\build\\varra-forgeset-server.dll', true)}
        <div class="actions">
          <button type="button" class="btn primary" data-action="pickFolder" data-focus="pickFolder">Choose folder</button>
          <button type="button" class="btn" data-action="openRoot" data-focus="openRoot"${disabled(page.found)}>Open</button>
        </div>
      </div>
      <div class="card">
        <h2 class="card-title">Run</h2>
        <div class="actions">
          <button type="button" class="btn primary" data-action="startRunner" data-focus="startRunner"${disabled(page.runner)}>Start server</button>
          <button type="button" class="btn" data-action="openDocs" data-focus="openDocs">Owner guide</button>
        </div>
        <p class="hint">After every change here use <code class="mono">restart</code> in the runner window, or stop and start it again.</p>
      </div>
      <div class="card">
        <h2 class="card-title">server.cfg</h2>
        <div class="grid-2 cfg-fields">${fields}</div>
        <div class="actions">
          <button type="button" class="btn primary" data-action="saveCfg" data-focus="saveCfg"${disabled(page.found)}>Save</button>
        </div>
      </div>`;
  }

  /** The Resources page; `nameDraft` is what is typed in the new resource's name box. */
  function resourcesHtml(page, nameDraft) {
    let list;
    if (!page.found) {
      list = '<p class="empty">Pick the server folder first</p>';
    } else if (page.resources.length === 0) {
      list = '<p class="empty">No resources yet</p>';
    } else {
      list = '<ul class="list resource-list">' + page.resources.map((r, i) => {
        const name = esc(r && r.name);
        const on = !!(r && r.enabled === true);
        const canSwitch = !!(r && r.manifest === true);
        return `<li class="list-row"><div class="row-text"><div class="row-title">${name}</div>` +
          `<div class="row-detail">${esc(resourceLine(r))}</div></div>` +
          `<input type="checkbox" class="switch" role="switch" data-resource="${i}" data-focus="res:${i}"` +
          ` aria-label="${name}"${on ? ' checked' : ''}${canSwitch ? '' : ' disabled'}></li>`;
      }).join('') + '</ul>';
    }
    return `
      <div class="card">
        <div class="card-head">
          <h2 class="card-title">Resources</h2>
          <div class="actions">
            <button type="button" class="btn" data-action="refresh" data-focus="refresh">Refresh</button>
            <button type="button" class="btn" data-action="openResources" data-focus="openResources">Open folder</button>
          </div>
        </div>
        ${list}
      </div>
      <div class="card">
        <h2 class="card-title">New resource</h2>
        <div class="actions">
          <input type="text" class="grow" id="resource-name" data-focus="resourceName" aria-label="Resource name"` +
          ` placeholder="my_resource" maxlength="40" spellcheck="false" value="${esc(nameDraft)}">
          <button type="button" class="btn primary" data-action="newResource" data-focus="newResource">New resource</button>
        </div>
      </div>`;
  }

  function swatches(skin) {
    return ZONES.filter(([key]) => skin.zones[key].on).slice(0, SWATCH_LIMIT).map(([key, label]) => {
      const z = skin.zones[key];
      return `<span class="swatch${z.glow > 1 ? ' neon' : ''}" style="background:${z.hex}" title="${label}"></span>`;
    }).join('');
  }

  function optionList(values, selected, emptyLabel) {
    const list = values.slice();
    // A value the choices do not know (a hand edit, a texture deleted since) stays choosable,
    // so opening and saving a skin never drops it silently.
    if (selected && !list.includes(selected)) list.push(selected);
    return `<option value=""${selected ? '' : ' selected'}>${emptyLabel}</option>` +
      list.map((v) => `<option value="${esc(v)}"${v === selected ? ' selected' : ''}>${esc(v)}</option>`).join('');
  }

  function skinEditorHtml(page, edit) {
    const skin = edit.skin;
    const drafts = edit.drafts || {};
    const shown = (key, value) => (Object.prototype.hasOwnProperty.call(drafts, key) ? drafts[key] : value);
    const zones = ZONES.map(([key, label]) => {
      const z = skin.zones[key];
      return `<div class="zone-row" data-zone="${key}">` +
        `<input type="checkbox" class="switch" role="switch" id="zone-${key}" data-zone-on="${key}" data-focus="zone:${key}:on"${z.on ? ' checked' : ''}>` +
        `<label class="zone-label" for="zone-${key}">${label}</label>` +
        `<input type="color" data-zone-colour="${key}" data-focus="zone:${key}:colour" aria-label="${label} colour" value="${z.hex.toLowerCase()}">` +
        `<input type="text" class="mono hex" data-zone-hex="${key}" data-focus="zone:${key}:hex" aria-label="${label} hex" maxlength="7" spellcheck="false" value="${esc(shown('hex:' + key, z.hex))}">` +
        `<label class="neon-label">neon <input type="number" data-zone-glow="${key}" data-focus="zone:${key}:glow" min="1" max="20" step="0.5" value="${esc(shown('glow:' + key, String(z.glow)))}"></label>` +
        `</div>`;
    }).join('');
    return `
      <div class="card skin-editor">
        <h2 class="card-title">${edit.index < 0 ? 'New skin' : 'Edit skin'}</h2>
        <div class="grid-2">
          <div class="field"><label for="skin-name">Name</label>
            <input type="text" id="skin-name" data-skin="name" data-focus="skin:name" spellcheck="false" value="${esc(skin.name)}"></div>
          <div class="field"><label for="skin-species">Species</label>
            <select id="skin-species" data-skin="species" data-focus="skin:species">${optionList(SKIN_SPECIES, skin.species, 'any species')}</select></div>
          <div class="field"><label for="skin-pattern">Pattern</label>
            <input type="number" id="skin-pattern" data-skin="pattern" data-focus="skin:pattern" min="0" step="1" value="${esc(skin.pattern)}">
            <div class="hint">Empty keeps the game's</div></div>
          <div class="field"><label for="skin-theme">Theme</label>
            <input type="number" id="skin-theme" data-skin="theme" data-focus="skin:theme" min="0" step="1" value="${esc(skin.theme)}">
            <div class="hint">Empty keeps the game's</div></div>
          <div class="field"><label for="skin-texture">Pattern texture</label>
            <select id="skin-texture" data-skin="texture" data-focus="skin:texture">${optionList(page.textures.filter((t) => typeof t === 'string'), skin.texture, 'none')}</select></div>
          <div class="field check-field"><label class="check"><input type="checkbox" class="switch" data-skin="admin" data-focus="skin:admin"${skin.admin ? ' checked' : ''}> admins only</label></div>
        </div>
        <div class="zones">${zones}</div>
        <div class="actions">
          <button type="button" class="btn primary" data-action="saveSkin" data-focus="saveSkin">Save</button>
          <button type="button" class="btn" data-action="cancelSkin" data-focus="cancelSkin">Cancel</button>
        </div>
      </div>`;
  }

  /** The Skins page: the list of `skins` (page records) and, when open, the editor. */
  function skinsHtml(page, skins) {
    let warning = '';
    if (page.skinsBroken) warning = `<p class="warning">${TEXT.skinsBroken}</p>`;
    else if (page.skinsLua && skins.length === 0 && !page.skinsStored) warning = `<p class="warning">${TEXT.handWritten}</p>`;
    let list;
    if (!page.found) {
      list = '<p class="empty">Pick the server folder first</p>';
    } else if (skins.length === 0) {
      list = '<p class="empty">No skins yet</p>';
    } else {
      list = '<ul class="list skin-list">' + skins.map((skin, i) =>
        `<li class="list-row${page.edit && page.edit.index === i ? ' editing' : ''}">` +
        `<div class="swatches">${swatches(skin)}</div>` +
        `<div class="row-text grow"><div class="row-title">${esc(skin.name)}` +
        `${skin.admin ? ' <span class="badge badge-accent">admin</span>' : ''}</div>` +
        `<div class="row-detail">${skin.species ? esc(skin.species) : 'any species'}</div></div>` +
        `<div class="actions">` +
        `<button type="button" class="btn" data-action="editSkin" data-index="${i}" data-focus="edit:${i}">Edit</button>` +
        `<button type="button" class="btn danger" data-action="deleteSkin" data-index="${i}" data-focus="delete:${i}" aria-label="Delete ${esc(skin.name)}">Delete</button>` +
        `</div></li>`).join('') + '</ul>';
    }
    return `
      <div class="card">
        <div class="card-head">
          <h2 class="card-title">Skins</h2>
          <div class="actions">
            <button type="button" class="btn primary" data-action="newSkin" data-focus="newSkin">New skin</button>
            <button type="button" class="btn" data-action="openSkins" data-focus="openSkins">Open folder</button>
          </div>
        </div>
        ${warning}
        ${list}
      </div>
      ${page.edit ? skinEditorHtml(page, page.edit) : ''}`;
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
    CFG_FIELDS,
    ZONES,
    ZONE_KEYS,
    SKIN_SPECIES,
    TEXT,
    cfgToSave,
    settleCfgDrafts,
    resourceLine,
    normaliseHex,
    parseNeon,
    wholeNumberText,
    skinName,
    blankSkin,
    normaliseSkin,
    skinList,
    copySkin,
    skinsJson,
    checkSkin,
    editTarget,
    placeSkin,
    linearChannel,
    luaNumber,
    zoneColourLua,
    skinsLua,
    saveSkinsMessage,
    serverHtml,
    resourcesHtml,
    skinsHtml,
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

  // Typing that has not been sent yet: it is the person's, not the host's, so it lives here
  // and survives the redraws that state messages cause.
  let cfgDrafts = {};
  let cfgSavePending = false;
  let resourceNameDraft = '';
  let skinsSource = null;
  let skinsCache = [];

  /** The state's skins as page records; worked out once per state message, not per redraw. */
  function currentSkins() {
    if (page.skins !== skinsSource) {
      skinsSource = page.skins;
      skinsCache = skinList(page.skins);
    }
    return skinsCache;
  }

  function stateApplied(applied) {
    cfgDrafts = settleCfgDrafts(cfgDrafts, { rootChanged: applied.rootChanged, afterSave: cfgSavePending });
    cfgSavePending = false;
    // Another server folder has other skins; an open editor would save into the wrong list.
    if (applied.rootChanged) page.edit = null;
  }

  /**
   * Redraws a panel without taking the caret from the person: the element that had focus
   * (matched by its data-focus key) gets it back, with its selection where possible.
   */
  function paint(panel, html) {
    const active = doc.activeElement;
    let focus = null;
    if (active && active !== doc.body && panel.contains(active) && active.dataset.focus) {
      focus = { key: active.dataset.focus, start: null, end: null };
      try {
        focus.start = active.selectionStart;
        focus.end = active.selectionEnd;
      } catch (ignored) {
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
      } catch (ignored) {
        // Not every input keeps a selection.
      }
    }
  }

  function renderServer(panel) {
    paint(panel, serverHtml(page, cfgDrafts));
  }

  function renderResources(panel) {
    paint(panel, resourcesHtml(page, resourceNameDraft));
  }

  function renderSkins(panel) {
    paint(panel, skinsHtml(page, currentSkins()));
  }

  function panelOf(key) {
    return doc.getElementById('panel-' + key);
  }

  function actionOf(event) {
    const el = event.target instanceof global.Element ? event.target.closest('[data-action]') : null;
    return el && !el.disabled ? el : null;
  }

  // Server page. Listeners sit on the panel, once, so redraws never pile them up.
  function wireServer(panel) {
    panel.addEventListener('click', (event) => {
      const el = actionOf(event);
      if (!el) return;
      const action = el.dataset.action;
      if (action === 'pickFolder') send({ cmd: 'pickFolder' });
      else if (action === 'openRoot') send({ cmd: 'open', what: 'root' });
      else if (action === 'startRunner') send({ cmd: 'startRunner' });
      else if (action === 'openDocs') send({ cmd: 'open', what: 'docs' });
      else if (action === 'saveCfg') {
        cfgSavePending = true;
        send(cfgToSave(page.cfg, cfgDrafts));
      }
    });
    panel.addEventListener('input', (event) => {
      const key = event.target.dataset && event.target.dataset.cfg;
      if (!key) return;
      cfgDrafts[key] = event.target.value;
      event.target.classList.add('dirty');
    });
  }

  function createResource() {
    const name = resourceNameDraft.trim();
    if (name === '') {
      notice(TEXT.typeName, true);
      return;
    }
    send({ cmd: 'newResource', name });
  }

  function wireResources(panel) {
    panel.addEventListener('click', (event) => {
      const el = actionOf(event);
      if (!el) return;
      const action = el.dataset.action;
      if (action === 'refresh') send({ cmd: 'refresh' });
      else if (action === 'openResources') send({ cmd: 'open', what: 'resources' });
      else if (action === 'newResource') createResource();
    });
    panel.addEventListener('change', (event) => {
      const index = event.target.dataset && event.target.dataset.resource;
      if (index === undefined) return;
      const resource = page.resources[Number(index)];
      if (resource && typeof resource.name === 'string') {
        send({ cmd: 'toggleResource', name: resource.name, enabled: event.target.checked });
      }
    });
    panel.addEventListener('input', (event) => {
      if (event.target.id === 'resource-name') resourceNameDraft = event.target.value;
    });
    panel.addEventListener('keydown', (event) => {
      if (event.key === 'Enter' && event.target.id === 'resource-name') createResource();
    });
  }

  // A new resource's name is dropped from the box once the host lists it.
  function settleResourceName() {
    const name = resourceNameDraft.trim();
    if (name && page.resources.some((r) => r && r.name === name)) resourceNameDraft = '';
  }

  /** Saves a whole list: shown at once, so a second quick change builds on the first. */
  function saveSkinList(list) {
    page.skins = list;
    send(saveSkinsMessage(list));
  }

  function openEditor(index) {
    const skins = currentSkins();
    if (index < 0) page.edit = { index: -1, original: '', skin: blankSkin(), drafts: {} };
    else if (skins[index]) page.edit = { index, original: skins[index].name, skin: copySkin(skins[index]), drafts: {} };
    renderCurrent();
    const name = doc.getElementById('skin-name');
    if (name) {
      name.focus();
      name.scrollIntoView({ block: 'nearest' });
    }
  }

  function saveEditedSkin() {
    const edit = page.edit;
    if (!edit) return;
    const skins = currentSkins();
    const index = editTarget(skins, edit);
    const problem = checkSkin(edit.skin, skins, index);
    if (problem) {
      notice(problem, true);
      return;
    }
    const skin = normaliseSkin({
      ...edit.skin,
      name: skinName(edit.skin.name),
      pattern: wholeNumberText(edit.skin.pattern),
      theme: wholeNumberText(edit.skin.theme),
    });
    page.edit = null;
    saveSkinList(placeSkin(skins, index, skin));
    renderCurrent();
  }

  function deleteSkin(index) {
    const skins = currentSkins();
    if (!skins[index]) return;
    page.edit = null;
    saveSkinList(skins.filter((_, i) => i !== index));
    renderCurrent();
  }

  function zoneRow(el) {
    return el.closest('.zone-row');
  }

  function wireSkins(panel) {
    panel.addEventListener('click', (event) => {
      const el = actionOf(event);
      if (!el) return;
      const action = el.dataset.action;
      if (action === 'newSkin') openEditor(-1);
      else if (action === 'openSkins') send({ cmd: 'open', what: 'skins' });
      else if (action === 'editSkin') openEditor(Number(el.dataset.index));
      else if (action === 'deleteSkin') deleteSkin(Number(el.dataset.index));
      else if (action === 'saveSkin') saveEditedSkin();
      else if (action === 'cancelSkin') {
        page.edit = null;
        renderCurrent();
      }
    });
    panel.addEventListener('input', (event) => {
      const edit = page.edit;
      const t = event.target;
      if (!edit || !t.dataset) return;
      const field = t.dataset.skin;
      if (field === 'name' || field === 'pattern' || field === 'theme') edit.skin[field] = t.value;
      else if (t.dataset.zoneColour) {
        const key = t.dataset.zoneColour;
        edit.skin.zones[key].hex = t.value.toUpperCase();
        delete edit.drafts['hex:' + key];
        const hex = zoneRow(t).querySelector('[data-zone-hex]');
        if (hex) hex.value = edit.skin.zones[key].hex;
      } else if (t.dataset.zoneHex) edit.drafts['hex:' + t.dataset.zoneHex] = t.value;
      else if (t.dataset.zoneGlow) edit.drafts['glow:' + t.dataset.zoneGlow] = t.value;
    });
    panel.addEventListener('change', (event) => {
      const edit = page.edit;
      const t = event.target;
      if (!edit || !t.dataset) return;
      const field = t.dataset.skin;
      if (field === 'species' || field === 'texture') edit.skin[field] = t.value;
      else if (field === 'admin') edit.skin.admin = t.checked;
      else if (t.dataset.zoneOn) edit.skin.zones[t.dataset.zoneOn].on = t.checked;
      else if (t.dataset.zoneHex) {
        const key = t.dataset.zoneHex;
        delete edit.drafts['hex:' + key];
        const hex = normaliseHex(t.value);
        if (hex === null) {
          notice(TEXT.badHex, true);
        } else {
          edit.skin.zones[key].hex = hex;
          const picker = zoneRow(t).querySelector('[data-zone-colour]');
          if (picker) picker.value = hex.toLowerCase();
        }
        t.value = edit.skin.zones[key].hex;
      } else if (t.dataset.zoneGlow) {
        const key = t.dataset.zoneGlow;
        delete edit.drafts['glow:' + key];
        edit.skin.zones[key].glow = parseNeon(t.value);
        t.value = String(edit.skin.zones[key].glow);
      }
    });
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
    stateApplied(applied) {
      stateApplied(applied);
      settleResourceName();
    },
  });

  wireServer(panelOf('server'));
  wireResources(panelOf('resources'));
  wireSkins(panelOf('skins'));

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
