// Time from starting the tool to its first state message, for each host, median of 10 runs:
//   --stdio    until the state line answering init arrives on standard output;
//   --serve    until the page, loaded in headless chromium, has drawn its first state: the
//              Server panel shows the server name the state carries. Beside it, the same run's
//              steps (the tool's start until it prints its address, the browser's new tab,
//              the page from its address to that drawing) and when the start-up is over (every
//              page's code there and every species message in: the page's `loaded` mark);
//   window     (under Xvfb) until the page's init reaches the host: the host reports the
//              first message from the page on standard error, and answers it at once.
// The browser is started once beforehand: its own start-up is not the tool's.
//
// Baselines, measured in the same run: for --serve, the same page with three.js and the
// loaders the previews use imported while the page starts, as the page did before its previews
// fetched them on first show (the bench hands the browser that entry in place of
// animpreview.js, and the real one through the same route for the figure itself); for the
// window, whose page the bench cannot touch, --stdio: the tool's own start without any page.
// Usage: node bench/startup_bench.mjs [runs]
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';

const REPO = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
const { chromium } = createRequire(path.join(REPO, 'ui', 'package.json'))('playwright-core');
const TOOL = process.env.FORGESET_TOOL || path.join(REPO, 'build', 'forgeset-server-tool');
const RUNS = Number(process.argv[2] || 10);

function scratch() {
  const base = fs.mkdtempSync(path.join(os.tmpdir(), 'forgeset-startup-'));
  const root = path.join(base, 'server');
  fs.mkdirSync(path.join(root, 'resources', 'greeter'), { recursive: true });
  fs.writeFileSync(path.join(root, 'server.cfg'), 'sv_hostname Bench\nload greeter\n');
  return { base, root, env: { ...process.env, XDG_DATA_HOME: path.join(base, 'data'), HOME: base } };
}

// Resolves with the time at which `test` first holds for the text read from `stream`.
function whenSeen(stream, test) {
  return new Promise((resolve, reject) => {
    let text = '';
    stream.on('data', (chunk) => {
      text += chunk;
      if (test(text)) resolve({ at: performance.now(), text });
    });
    stream.on('end', () => reject(new Error(`stream ended: ${text.slice(0, 300)}`)));
  });
}

function stop(child) {
  return new Promise((resolve) => {
    if (child.exitCode !== null) return resolve();
    child.on('exit', resolve);
    child.kill('SIGTERM');
  });
}

async function stdioRun() {
  const s = scratch();
  const start = performance.now();
  const child = spawn(TOOL, ['--stdio', '--root', s.root], { env: s.env, stdio: ['pipe', 'pipe', 'ignore'] });
  child.stdin.write('{"cmd":"init"}\n');
  const seen = await whenSeen(child.stdout, (t) => t.includes('{"type":"state"'));
  child.stdin.end();
  await stop(child);
  fs.rmSync(s.base, { recursive: true, force: true });
  return seen.at - start;
}

// The start-up entries as they were before the previews fetched their libraries on first
// show: between them, studio.js and animpreview.js imported these at once.
const EAGER_ENTRY = `import 'three';
import 'three/addons/loaders/GLTFLoader.js';
import 'three/addons/controls/OrbitControls.js';
export { createAnimPreview } from './pages/species/anim_preview.js';
`;

// The first state is drawn once the Server panel shows the server name from server.cfg.
const drawn = () => Array.from(document.querySelectorAll('#panel-server input')).some((input) => input.value === 'Bench');

// Every step of one run of the browser host, in milliseconds from the tool's start.
const serveSteps = [];

async function serveRun(browser, eager) {
  const s = scratch();
  const start = performance.now();
  const child = spawn(TOOL, ['--serve', '--port', '0', '--root', s.root], { env: s.env, stdio: ['ignore', 'pipe', 'ignore'] });
  const { text, at: addressAt } = await whenSeen(child.stdout, (t) => t.includes('\n'));
  const page = await browser.newPage();
  const tabAt = performance.now();
    // Only the baseline is routed: a route makes the browser hand every request to this
  // script first, which costs each of the page's modules tens of milliseconds.
  if (eager) {
    await page.route((u) => u.pathname === '/animpreview.js', (route) => route.fulfill({
      status: 200, contentType: 'text/javascript', body: EAGER_ENTRY,
    }));
  }
  await page.goto(text.trim());
  await page.waitForFunction(drawn);
  const at = performance.now();
  await page.waitForFunction(() => document.body.dataset.loaded === 'true');
  const over = performance.now();
  await page.close();
  await stop(child);
  fs.rmSync(s.base, { recursive: true, force: true });
  if (!eager) serveSteps.push({ address: addressAt - start, tab: tabAt - addressAt, page: at - tabAt, over: over - start });
  return at - start;
}

async function windowRun(display) {
  const s = scratch();
  const start = performance.now();
  const child = spawn(TOOL, ['--root', s.root], { env: { ...s.env, DISPLAY: display }, stdio: ['ignore', 'ignore', 'pipe'] });
  const seen = await whenSeen(child.stderr, (t) => t.includes('page connected'));
  await stop(child);
  fs.rmSync(s.base, { recursive: true, force: true });
  return seen.at - start;
}

async function startXvfb() {
  const xvfb = spawn('Xvfb', ['-displayfd', '1', '-screen', '0', '1400x1000x24', '-nolisten', 'tcp'], { stdio: ['ignore', 'pipe', 'ignore'] });
  const { text } = await whenSeen(xvfb.stdout, (t) => t.includes('\n'));
  return { xvfb, display: `:${text.trim()}` };
}

// Other work on the machine slows every figure here alike; the figures say so beside them.
function machineLoad(when) {
  const load = os.loadavg()[0];
  const cores = os.cpus().length;
  const busy = load > cores / 2 ? ': the machine is busy, so every figure is slower than on a quiet one' : '';
  return `load average ${load.toFixed(1)} on ${cores} cores ${when}${busy}`;
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

const GOAL_MS = 600;

// Runs `run` and its baseline in turns, so a busy machine weighs on both alike.
async function measure(name, run, baselineName, baseline, goal = '') {
  await run(); // warm the page cache and the fonts
  if (baseline) await baseline();
  const times = [];
  const base = [];
  for (let i = 0; i < RUNS; i += 1) {
    times.push(await run());
    if (baseline) base.push(await baseline());
  }
  const line = `${name.padEnd(8)} median ${median(times).toFixed(0).padStart(6)} ms   (min ${Math.min(...times).toFixed(0)}, max ${Math.max(...times).toFixed(0)})`;
  const against = baseline ? `   baseline ${baselineName}: median ${median(base).toFixed(0)} ms` : '';
  console.log(`${line}${goal ? `   goal ${goal} ms` : ''}${against}`);
}

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
console.log(`start-up to the first state message, ${RUNS} runs each`);
console.log(machineLoad('at the start'));
await measure('stdio', stdioRun);
await measure('serve', () => serveRun(browser, false), 'three.js at start', () => serveRun(browser, true), GOAL_MS);
// The warm-up run is not counted.
const steps = (key) => median(serveSteps.slice(1).map((step) => step[key])).toFixed(0);
console.log(`         of which: the tool's start to its address ${steps('address')} ms, the browser's new tab ${steps('tab')} ms, the page to its first state ${steps('page')} ms`);
console.log(`         start-up over (every page's code and the species in): median ${steps('over')} ms`);
await browser.close();
const { xvfb, display } = await startXvfb();
await measure('window', () => windowRun(display), 'stdio', stdioRun, GOAL_MS);
xvfb.kill();
console.log(machineLoad('at the end'));
