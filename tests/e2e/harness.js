'use strict';
// Runs the tool's browser host on a scratch server folder and drives the page in Debian's
// chromium through playwright-core. Every session gets its own folders, its own host process
// and its own browser profile, and leaves nothing behind.
const { execFileSync, spawn } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { createRequire } = require('node:module');

const REPO = path.resolve(__dirname, '..', '..');
const { chromium } = createRequire(path.join(REPO, 'ui', 'package.json'))('playwright-core');

const TOOL = process.env.FORGESET_TOOL || path.join(REPO, 'build', 'forgeset-server-tool');
// A Windows executable runs under Wine (in WINEPREFIX, which scripts/test-windows.sh sets).
// It sees the Linux root as drive Z:, so the paths it is given and the paths it shows are
// that drive's.
const UNDER_WINE = TOOL.endsWith('.exe');

/** A Linux path as the tool names it: itself, or under Wine on drive Z:. */
function toolPath(linuxPath) {
  return UNDER_WINE ? `Z:${linuxPath.replaceAll('/', '\\')}` : linuxPath;
}
// Where a folder variable of every Windows process points under Wine, as Windows names it and
// as Linux reaches it. Wine sets %USERPROFILE% and %LOCALAPPDATA% itself, to the prefix's
// profile, whatever the Linux environment says; only Wine can tell where that is.
const wineFolders = new Map();
function wineFolder(variable) {
  if (!wineFolders.has(variable)) {
    const env = { ...process.env, WINEDEBUG: '-all' };
    const shown = execFileSync('wine', ['cmd', '/c', `echo %${variable}%`], { env, encoding: 'utf8' }).trim();
    const folder = execFileSync('winepath', ['-u', shown], { env, encoding: 'utf8' }).trim().replace(/\/$/, '');
    wineFolders.set(variable, { shown, folder });
  }
  return wineFolders.get(variable);
}

/**
 * The tool's home folder for a session that offers it `linuxHome`: `shown` as the tool names
 * it, `folder` where Linux reaches it, and `env` to start the tool with. Under Wine that is
 * the prefix's profile folder whatever is offered.
 */
function toolHome(linuxHome) {
  if (!UNDER_WINE) return { shown: linuxHome, folder: linuxHome, env: { HOME: linuxHome } };
  return { ...wineFolder('USERPROFILE'), env: {} };
}

/**
 * Where the tool keeps its app data in a session in `base`, empty at the start. Under Wine it
 * is the prefix's own folder, which the sessions share, so the Windows journeys run one at a
 * time (cmake/windows.cmake) and each starts by emptying it.
 */
function sessionDataDir(base) {
  if (!UNDER_WINE) return path.join(base, 'data', 'VarraForgeset');
  const folder = path.join(wineFolder('LOCALAPPDATA').folder, 'VarraForgeset');
  fs.rmSync(folder, { recursive: true, force: true });
  return folder;
}

const CHROMIUM = process.env.FORGESET_CHROMIUM || '/usr/bin/chromium';
const CHROMIUM_ARGS = [
  '--headless',
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
];
const START_TIMEOUT_MS = 15000;

/** A server folder with a runner and one enabled resource, so the state has something in it. */
function makeServerRoot(base) {
  const root = path.join(base, 'server');
  fs.mkdirSync(path.join(root, 'resources', 'greeter'), { recursive: true });
  fs.writeFileSync(path.join(root, 'VarraForgesetServer.exe'), 'not a real runner');
  fs.writeFileSync(path.join(root, 'resources', 'greeter', 'manifest.lua'), '-- greeter\n');
  fs.writeFileSync(path.join(root, 'server.cfg'), 'sv_hostname E2E server\nload greeter\n');
  return root;
}

async function stopTool(tool) {
  if (tool.child.exitCode !== null || tool.child.signalCode !== null) return;
  // Wine's loader turns into the Windows process itself, so the signal reaches the tool.
  tool.child.kill('SIGTERM');
  const timeout = new Promise((resolve) => setTimeout(() => resolve('timeout'), 3000));
  if ((await Promise.race([tool.exited, timeout])) === 'timeout') {
    tool.child.kill('SIGKILL');
    await tool.exited;
  }
}

/**
 * One host, one browser, one page on the URL the host printed. The caller gets the page and
 * a close() that tears everything down, also after a failed start.
 */
async function startSession() {
  return startSessionWith();
}

/** Waits until the answers to `init` (state, studio, species) have all been drawn. */
async function waitLoaded(page) {
  await page.waitForFunction(() => document.body.dataset.loaded === 'true', null, { timeout: 10000 });
}

/**
 * Records what the page posts to the host and what the host posts back, from now on. The
 * page's own send goes through window.chrome.webview.postMessage, so a wrapper there sees
 * every command and still passes it on.
 */
async function recordTraffic(page) {
  await page.evaluate(() => {
    const webview = window.chrome.webview;
    window.__sent = [];
    window.__received = [];
    const post = webview.postMessage;
    const wrapper = function (message) {
      window.__sent.push(message);
      return post.apply(this, arguments);
    };
    webview.postMessage = wrapper;
    if (webview.postMessage !== wrapper) throw new Error('cannot watch postMessage on this host');
    webview.addEventListener('message', (event) => window.__received.push(event.data));
  });
}

const sent = (page) => page.evaluate(() => window.__sent.slice());
const received = (page) => page.evaluate(() => window.__received.slice());
const clearSent = (page) => page.evaluate(() => {
  window.__sent.length = 0;
});

/**
 * Runs `action` and resolves with the first state message that arrives after it, once the
 * page has handled it (needs recordTraffic: its listener runs after the page's own).
 */
async function nextState(page, action) {
  const count = () => page.evaluate(() => window.__received.filter((m) => m && m.type === 'state').length);
  const before = await count();
  await action();
  await page.waitForFunction((n) => window.__received.filter((m) => m && m.type === 'state').length > n, before, { timeout: 8000 });
  return page.evaluate(() => window.__received.filter((m) => m && m.type === 'state').pop());
}

/** Asks the host for a fresh state, as the Refresh button does, and waits until it is drawn. */
const refreshState = (page) => nextState(page, () => page.evaluate(() => window.chrome.webview.postMessage({ cmd: 'refresh' })));

/**
 * Keeps the named commands from reaching the host while still recording them (in
 * window.__held), for buttons whose real effect would reach outside the test: opening
 * folders, starting the runner, the folder dialog.
 */
async function holdCommands(page, names) {
  await page.evaluate((held) => {
    const webview = window.chrome.webview;
    window.__held = [];
    const post = webview.postMessage;
    webview.postMessage = function (message) {
      if (message && held.includes(message.cmd)) {
        window.__held.push(message);
        return undefined;
      }
      return post.apply(this, arguments);
    };
  }, names);
}

const heldCommands = (page) => page.evaluate(() => window.__held.slice());

/** What the notice bar shows now. */
async function noticeShown(page) {
  return page.evaluate(() => {
    const bar = document.getElementById('notice');
    return { shown: !bar.hidden, text: bar.textContent, error: bar.classList.contains('error') };
  });
}

/** Hides the notice bar, so the next notice is the only one there. */
const clearNotice = (page) => page.evaluate(() => {
  document.getElementById('notice').hidden = true;
  document.getElementById('notice').textContent = '';
});

/**
 * From the next page load on, times the page's handling of every message from the host:
 * the host shim's EventSource listener is wrapped, so each entry of window.__handling covers
 * parsing the message and every page listener (`ms`), and then the layout it causes
 * (`layoutMs`, forced at once rather than left to the next frame). Reloads the page.
 */
async function timeMessageHandling(page) {
  await page.context().addInitScript(() => {
    window.__handling = [];
    const add = EventSource.prototype.addEventListener;
    EventSource.prototype.addEventListener = function (type, listener, options) {
      if (type !== 'message' || typeof listener !== 'function') return add.call(this, type, listener, options);
      return add.call(this, type, function (event) {
        const start = performance.now();
        try {
          return listener.call(this, event);
        } finally {
          const handled = performance.now();
          void document.body.offsetHeight;
          let kind = '';
          try {
            kind = JSON.parse(event.data).type;
          } catch (ignored) {
            // Not ours to judge; the entry just has no type.
          }
          window.__handling.push({ type: kind, bytes: event.data.length, ms: handled - start, layoutMs: performance.now() - handled });
        }
      }, options);
    };
  });
  await page.reload({ waitUntil: 'domcontentloaded' });
  await waitLoaded(page);
}

/**
 * Fills a server folder like a busy community server's: `resources` resource folders (every
 * third without a manifest, every other one enabled), `skins` skins with all ten zones and
 * some textures.
 */
function fillLargeServer(root, { resources = 500, skins = 200, textures = 20 } = {}) {
  const zones = ['body', 'flank', 'underbelly', 'markings', 'display', 'teeth', 'mouth', 'claws', 'detail', 'eyes'];
  const cfg = ['sv_hostname Big server', 'sv_maxplayers 100'];
  for (let i = 0; i < resources; i++) {
    const name = `res_${String(i).padStart(4, '0')}`;
    const folder = path.join(root, 'resources', name);
    fs.mkdirSync(folder, { recursive: true });
    if (i % 3 !== 0) fs.writeFileSync(path.join(folder, 'manifest.lua'), '');
    if (i % 2 === 0) fs.writeFileSync(path.join(folder, 'server.lua'), '');
    if (i % 5 === 0) fs.writeFileSync(path.join(folder, 'client.lua'), '');
    if (i % 2 === 0) cfg.push(`load ${name}`);
  }
  fs.writeFileSync(path.join(root, 'server.cfg'), cfg.join('\r\n') + '\r\n');
  const skinsDir = path.join(root, 'resources', 'skins');
  fs.mkdirSync(path.join(skinsDir, 'textures'), { recursive: true });
  for (let t = 0; t < textures; t++) fs.writeFileSync(path.join(skinsDir, 'textures', `tex_${t}.png`), Buffer.alloc(128));
  const list = [];
  for (let i = 0; i < skins; i++) {
    const z = {};
    zones.forEach((key, k) => {
      const v = ((i * 37 + k * 11) % 256).toString(16).padStart(2, '0').toUpperCase();
      z[key] = { on: (i + k) % 3 !== 0, hex: `#${v}${v}40`, glow: k % 4 === 0 ? 2.5 : 1 };
    });
    list.push({
      name: `skin_${i}`,
      species: i % 2 ? 'Tyrannosaurus' : '',
      admin: i % 7 === 0,
      pattern: i % 4 ? String(i % 9) : '',
      theme: '',
      texture: i % 5 ? '' : `tex_${i % textures}.png`,
      zones: z,
    });
  }
  fs.writeFileSync(path.join(skinsDir, 'skins.json'), JSON.stringify(list));
  fs.writeFileSync(path.join(skinsDir, 'skins.lua'), 'Skins = {\r\n}\r\n');
}

/** Timings of the state messages handled so far (see timeMessageHandling). */
const stateHandlingTimes = (page) => page.evaluate(() => window.__handling.filter((entry) => entry.type === 'state'));

/**
 * The visible text of each element matching `selector`, blanks folded. Long lists let rows out
 * of view skip rendering, and innerText of a skipped row is empty; each row is rendered for the
 * moment of reading.
 */
function rowTexts(page, selector) {
  return page.$$eval(selector, (els) => els.map((el) => {
    el.style.contentVisibility = 'visible';
    const text = el.innerText.replace(/\s+/g, ' ').trim();
    el.style.contentVisibility = '';
    return text;
  }));
}

module.exports = {
  toolPath,
  toolHome,
  UNDER_WINE,
  rowTexts,
  fillLargeServer,
  timeMessageHandling,
  stateHandlingTimes,
  REPO,
  TOOL,
  startSession,
  waitLoaded,
  recordTraffic,
  sent,
  received,
  clearSent,
  nextState,
  refreshState,
  holdCommands,
  heldCommands,
  noticeShown,
  clearNotice,
};

// ---------------------------------------------------------------- sessions with more say

// Software WebGL for pages that draw models: chromium's own SwiftShader through ANGLE, since
// the test machines have no GPU and --disable-gpu would leave WebGL without a backend.
const WEBGL_ARGS = ['--use-gl=angle', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--ignore-gpu-blocklist'];

const FAKE_ASSETS = process.env.FORGESET_FAKE_ASSETS || path.join(REPO, 'build', 'fakes', 'forgeset-assets');

/**
 * A copy of the tool in a folder of its own, with `helper` linked beside it as
 * tools/forgeset-assets: the tool looks for its asset helper next to its own executable.
 * With `helper` null the copy has no helper at all (the build puts the real one beside the
 * built tool).
 */
function toolWithHelper(base, helper = FAKE_ASSETS) {
  if (!fs.existsSync(TOOL)) throw new Error(`tool not found at ${TOOL} (set FORGESET_TOOL)`);
  if (helper && !fs.existsSync(helper)) throw new Error(`asset helper not found at ${helper} (set FORGESET_FAKE_ASSETS)`);
  const bin = path.join(base, 'bin');
  fs.mkdirSync(path.join(bin, 'tools'), { recursive: true });
  const tool = path.join(bin, path.basename(TOOL));
  fs.copyFileSync(TOOL, tool);
  fs.chmodSync(tool, 0o755);
  if (helper) fs.symlinkSync(path.resolve(helper), path.join(bin, 'tools', path.basename(helper)));
  return tool;
}

/**
 * Starts `--serve` of a chosen executable with extra environment, with `root` as --root
 * unless it is null; `url` resolves once it has printed the URL to open.
 */
function startToolAt(executable, base, root, env) {
  const dataHome = path.join(base, 'data');
  fs.mkdirSync(dataHome, { recursive: true });
  const args = ['--serve', '--port', '0', ...(root === null ? [] : ['--root', toolPath(root)])];
  const wine = { WINEDEBUG: '-all' };
  const child = spawn(UNDER_WINE ? 'wine' : executable, UNDER_WINE ? [executable, ...args] : args, {
    env: { ...process.env, XDG_DATA_HOME: dataHome, ...(UNDER_WINE ? wine : {}), ...env },
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  let stderr = '';
  child.stderr.on('data', (chunk) => {
    stderr += chunk;
  });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  const url = new Promise((resolve, reject) => {
    let out = '';
    const timer = setTimeout(() => reject(new Error(`no URL within ${START_TIMEOUT_MS} ms; stderr: ${stderr}`)), START_TIMEOUT_MS);
    child.stdout.on('data', (chunk) => {
      out += chunk;
      const newline = out.indexOf('\n');
      if (newline >= 0) {
        clearTimeout(timer);
        resolve(out.slice(0, newline).trim());
      }
    });
    child.on('error', (error) => {
      clearTimeout(timer);
      reject(error);
    });
    exited.then(({ code, signal }) => {
      clearTimeout(timer);
      reject(new Error(`tool exited (${code ?? signal}) before printing a URL; stderr: ${stderr}`));
    });
  });
  return { child, exited, url, stderr: () => stderr };
}

/**
 * startSession with choices: `helper` puts an asset helper beside a copy of the tool (true
 * for the fake, or a path), `env` goes to the tool (and so to its helper), `webgl` gives the
 * browser software WebGL, `withRoot` false starts the tool without --root, as a new owner
 * does. The session also tells where the tool keeps its app data.
 */
async function startSessionWith({ helper = false, env = {}, webgl = false, withRoot = true } = {}) {
  const base = fs.mkdtempSync(path.join(os.tmpdir(), 'forgeset-e2e-'));
  const session = {
    base,
    root: makeServerRoot(base),
    dataDir: sessionDataDir(base),
    tool: null,
    context: null,
    page: null,
    url: '',
  };
  session.close = async () => {
    if (session.context) await session.context.close().catch(() => {});
    if (session.tool) await stopTool(session.tool);
    fs.rmSync(base, { recursive: true, force: true });
    if (UNDER_WINE) fs.rmSync(session.dataDir, { recursive: true, force: true });
  };
  try {
    const chosen = helper === true ? FAKE_ASSETS : helper || null;
    session.tool = startToolAt(toolWithHelper(base, chosen), base, withRoot ? session.root : null, env);
    session.url = await session.tool.url;
    const args = webgl ? [...CHROMIUM_ARGS.filter((a) => a !== '--disable-gpu'), ...WEBGL_ARGS] : CHROMIUM_ARGS;
    session.context = await chromium.launchPersistentContext(path.join(base, 'profile'), {
      executablePath: CHROMIUM,
      headless: true,
      args,
      viewport: { width: 1280, height: 860 },
    });
    session.page = session.context.pages()[0] || (await session.context.newPage());
    session.pageErrors = [];
    session.page.on('pageerror', (error) => session.pageErrors.push(error.message));
    await session.page.goto(session.url, { waitUntil: 'commit' });
    await waitLoaded(session.page);
    return session;
  } catch (error) {
    await session.close();
    throw error;
  }
}

/** The notice bar's text once it shows a notice starting with `prefix`, and its error flag. */
async function waitNotice(page, prefix, timeout = 15000) {
  const handle = await page.waitForFunction(
    (start) => {
      const bar = document.getElementById('notice');
      if (!bar || bar.hidden || !bar.textContent.startsWith(start)) return false;
      return { text: bar.textContent, error: bar.classList.contains('error') };
    },
    prefix,
    { timeout }
  );
  return handle.jsonValue();
}

/**
 * Waits until the host has posted (since recordTraffic) a message that `match` accepts; the
 * test runs here in node, so it may be any function. Resolves with that message.
 */
async function waitReceived(page, match, timeout = 15000) {
  const until = Date.now() + timeout;
  for (;;) {
    const found = (await received(page)).find(match);
    if (found) return found;
    if (Date.now() > until) throw new Error(`no matching message from the host within ${timeout} ms`);
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}

module.exports.FAKE_ASSETS = FAKE_ASSETS;
module.exports.toolWithHelper = toolWithHelper;
module.exports.startSessionWith = startSessionWith;
module.exports.waitNotice = waitNotice;
module.exports.waitReceived = waitReceived;
