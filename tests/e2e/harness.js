'use strict';
// Runs the tool's browser host on a scratch server folder and drives the page in Debian's
// chromium through playwright-core. Every session gets its own folders, its own host process
// and its own browser profile, and leaves nothing behind.
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { createRequire } = require('node:module');

const REPO = path.resolve(__dirname, '..', '..');
const { chromium } = createRequire(path.join(REPO, 'ui', 'package.json'))('playwright-core');

const TOOL = process.env.FORGESET_TOOL || path.join(REPO, 'build', 'forgeset-server-tool');
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

/** Starts `--serve` and resolves once it has printed the URL to open. */
function startTool(base, root) {
  const dataHome = path.join(base, 'data');
  fs.mkdirSync(dataHome, { recursive: true });
  if (!fs.existsSync(TOOL)) throw new Error(`tool not found at ${TOOL} (set FORGESET_TOOL)`);
  const child = spawn(TOOL, ['--serve', '--port', '0', '--root', root], {
    env: { ...process.env, XDG_DATA_HOME: dataHome },
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

async function stopTool(tool) {
  if (tool.child.exitCode !== null || tool.child.signalCode !== null) return;
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
  const base = fs.mkdtempSync(path.join(os.tmpdir(), 'forgeset-e2e-'));
  const session = { base, root: makeServerRoot(base), tool: null, context: null, page: null, url: '' };
  session.close = async () => {
    if (session.context) await session.context.close().catch(() => {});
    if (session.tool) await stopTool(session.tool);
    fs.rmSync(base, { recursive: true, force: true });
  };
  try {
    session.tool = startTool(base, session.root);
    session.url = await session.tool.url;
    session.context = await chromium.launchPersistentContext(path.join(base, 'profile'), {
      executablePath: CHROMIUM,
      headless: true,
      args: CHROMIUM_ARGS,
      viewport: { width: 1280, height: 860 },
    });
    session.page = session.context.pages()[0] || (await session.context.newPage());
    session.pageErrors = [];
    session.page.on('pageerror', (error) => session.pageErrors.push(error.message));
    // Only wait for the answer from the host: three.js arrives later and only the test
    // that needs it waits for it.
    await session.page.goto(session.url, { waitUntil: 'commit' });
    await waitLoaded(session.page);
    return session;
  } catch (error) {
    await session.close();
    throw error;
  }
}

/** Waits for the first state message to have been drawn. */
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

module.exports = {
  REPO,
  TOOL,
  startSession,
  waitLoaded,
  recordTraffic,
  sent,
  received,
  clearSent,
};
