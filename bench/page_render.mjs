// How long the page takes to handle one state message from a large server folder: 500
// resources and 200 skins, with each of the Server, Resources and Skins pages showing (and
// the skin editor open). Runs the real browser host through the e2e harness.
//
//   FORGESET_TOOL=build/forgeset-server-tool node bench/page_render.mjs [rounds]
//
// `handle` is the message listener's work (parsing, page state, markup, DOM); `layout` is the
// style and layout that follows, forced at once. Figures are milliseconds.
//
// Each page's figures stand beside their baseline from the same run: the same page drawing
// the same markup by replacing the panel's content (innerHTML), as before it morphed its DOM;
// the bench swaps the morph function of the page's one copy of idiomorph for that.
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);
const harness = require('../tests/e2e/harness.js');

const ROUNDS = Number(process.argv[2]) || 30;
const WARMUP = 3;

function summary(values) {
  const sorted = values.slice().sort((a, b) => a - b);
  const pick = (q) => sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
  return { median: pick(0.5), p90: pick(0.9), max: sorted[sorted.length - 1] };
}

const fmt = (n) => n.toFixed(1).padStart(7);

const drawBy = (page, how) => page.evaluate(async (mode) => {
  const { Idiomorph } = await import('/vendor/idiomorph.js');
  Idiomorph.realMorph = Idiomorph.realMorph || Idiomorph.morph;
  Idiomorph.morph = mode === 'replace'
    ? (root, html, config) => {
      if (config.morphStyle === 'outerHTML') root.outerHTML = html;
      else root.innerHTML = html;
    }
    : Idiomorph.realMorph;
}, how);

async function measure(page, setup) {
  await setup();
  const times = [];
  for (let i = 0; i < WARMUP + ROUNDS; i++) {
    const before = (await harness.stateHandlingTimes(page)).length;
    await page.evaluate(() => window.chrome.webview.postMessage({ cmd: 'refresh' }));
    await page.waitForFunction((n) => window.__handling.filter((e) => e.type === 'state').length > n, before);
    const all = await harness.stateHandlingTimes(page);
    if (i >= WARMUP) times.push(all[all.length - 1]);
  }
  return times;
}

const session = await harness.startSession();
try {
  harness.fillLargeServer(session.root, { resources: 500, skins: 200 });
  const { page } = session;
  await harness.timeMessageHandling(page);
  const cases = [
    ['server', () => page.click('#tab-server')],
    ['resources', () => page.click('#tab-resources')],
    ['skins', () => page.click('#tab-skins')],
    ['skins + editor', async () => {
      await page.click('#tab-skins');
      await page.click('#panel-skins .skin-list li:nth-child(1) button:text-is("Edit")');
    }],
    ['ai (other page)', () => page.click('#tab-ai')],
  ];
  const first = (await harness.stateHandlingTimes(page))[0];
  console.log(`state message: ${(first.bytes / 1024).toFixed(0)} KiB; ${ROUNDS} rounds per page after ${WARMUP} warm-up`);
  console.log('page                handle median    p90    max   layout median    p90    max');
  for (const [name, setup] of cases) {
    for (const how of ['morph', 'replace']) {
      await drawBy(page, how);
      const times = await measure(page, setup);
      const h = summary(times.map((t) => t.ms));
      const l = summary(times.map((t) => t.layoutMs));
      const label = how === 'morph' ? name : '  baseline innerHTML';
      console.log(`${label.padEnd(20)}${fmt(h.median)}${fmt(h.p90)}${fmt(h.max)}        ${fmt(l.median)}${fmt(l.p90)}${fmt(l.max)}`);
    }
  }
  await drawBy(page, 'morph');
  if (session.pageErrors.length) console.log('page errors:', session.pageErrors);
} finally {
  await session.close();
}
