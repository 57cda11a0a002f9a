// How long the Species page takes to draw a large species: 200 animations, 100 sounds, 1,000
// sound markers and 16 attacks, against an empty species drawn the same way in the same run.
// Runs the real browser host through the e2e harness.
//
//   FORGESET_TOOL=build/forgeset-server-tool node bench/species_render.mjs [rounds]
//
// `first` is choosing the species in the list (its whole editor drawn from scratch); `edit`
// is choosing another idle animation, which redraws the page. Each figure covers the click
// handler and the style and layout it causes, forced at once. Milliseconds.
//
// Every figure stands beside its baseline, measured in the same run and the same page: the
// page drawing the very same markup by replacing the panel's content (innerHTML), as it did
// before it morphed its DOM. The baseline swaps the morph function of the page's one copy of
// idiomorph for that replacement, so nothing else differs. `sections` counts the parts of
// the page (the species list and each card of the editor) that an edit changed in the DOM.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);
const harness = require('../tests/e2e/harness.js');

const ROUNDS = Number(process.argv[2]) || 20;
const WARMUP = 3;

function bigSpecies() {
  const animations = [];
  const inspected = [];
  for (let i = 0; i < 200; i++) {
    const id = `anim_${String(i).padStart(3, '0')}`;
    const sounds = Array.from({ length: 5 }, (_, k) => ({ sound: `sound_${(i + k) % 100}`, time: k * 0.4, volume: 1, pitch: 1 }));
    animations.push({ file: `anims/${id}.fbx`, id, sounds });
    inspected.push({ file: `anims/${id}.fbx`, id, seconds: 2.5 });
  }
  const sounds = Array.from({ length: 100 }, (_, i) => ({ id: `sound_${i}`, file: `Sounds/sound_${i}.wav`, kind: i % 2 ? 'voice' : 'body', radius: 60 }));
  const attacks = Array.from({ length: 16 }, (_, i) => ({ id: `attack_${i}`, label: `Attack ${i}`, animation: `anim_${String(i).padStart(3, '0')}` }));
  const roles = { idle: 'anim_000', walk: { blend: [{ anim: 'anim_001', x: 0, y: 0 }, { anim: 'anim_002', x: -1, y: 0 }], rate: 1 }, run: 'anim_003' };
  const doc = { version: 1, name: 'big', label: 'Big', template: 'tyrannosaurus', source: { mesh: 'big.fbx', animations, sounds }, animations: roles, attacks };
  const inspect = { mesh: { file: 'big.fbx', triangles: 50000, bones: 120, lengthCm: 900, materials: ['Body'] }, animations: inspected, textures: [], warnings: [] };
  return { doc, inspect };
}

function writeWorkspace(root, name, doc, inspect) {
  const ws = path.join(root, 'species', name);
  fs.mkdirSync(path.join(ws, 'source'), { recursive: true });
  fs.mkdirSync(path.join(ws, 'build'), { recursive: true });
  fs.writeFileSync(path.join(ws, 'species.json'), JSON.stringify(doc, null, 2));
  if (inspect) fs.writeFileSync(path.join(ws, 'source', 'inspect.json'), JSON.stringify(inspect));
}

function median(values) {
  const sorted = values.slice().sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

// One timed step inside the page: run `step`, force layout, return the milliseconds.
const timed = (page, step, arg) => page.evaluate(([source, a]) => {
  const start = performance.now();
  new Function('arg', source)(a);
  void document.body.offsetHeight;
  return performance.now() - start;
}, [step, arg]);

// The page's one copy of idiomorph (the import map's), switched between morphing the panel
// and replacing its content with the same markup.
const DRAWING = `const { Idiomorph } = await import('/vendor/idiomorph.js');
Idiomorph.realMorph = Idiomorph.realMorph || Idiomorph.morph;
Idiomorph.morph = arg === 'replace'
  ? (root, html, config) => {
    if (config.morphStyle === 'outerHTML') root.outerHTML = html;
    else root.innerHTML = html;
  }
  : Idiomorph.realMorph;`;
const drawBy = (page, how) => page.evaluate(async ([source, a]) => {
  await new (Object.getPrototypeOf(async () => {}).constructor)('arg', source)(a);
}, [DRAWING, how]);

// An edit, timed, and the parts of the page whose DOM it changed.
const timedEdit = (page, step, arg) => page.evaluate(([source, a]) => {
  const panel = document.getElementById('panel-species');
  const watch = new MutationObserver(() => {});
  watch.observe(panel, { subtree: true, childList: true, attributes: true, characterData: true });
  const start = performance.now();
  new Function('arg', source)(a);
  void document.body.offsetHeight;
  const ms = performance.now() - start;
  const parts = new Set();
  for (const record of watch.takeRecords()) {
    const node = record.target.nodeType === 1 ? record.target : record.target.parentElement;
    const part = node && node.closest('.sp-editor > *, .sp-side');
    // A change of the editor or the page around them counts as touching every part.
    parts.add(part || 'page');
  }
  watch.disconnect();
  const all = panel.querySelectorAll('.sp-editor > *, .sp-side').length;
  return { ms, touched: parts.has('page') ? all : parts.size, all };
}, [step, arg]);

const CHOOSE = "document.querySelector(`#species-list [data-name=\"${arg}\"]`).click();";
// Touching the select first gives it its options, as a person's click does: a press and the
// focus (the select may have kept the focus from the round before).
const EDIT = `const select = document.querySelector('select[data-scope="role-anim"][data-role="idle"]');
select.dispatchEvent(new PointerEvent('pointerdown', { bubbles: true }));
select.focus();
select.value = select.value === arg[0] ? arg[1] : arg[0];
select.dispatchEvent(new Event('change', { bubbles: true }));`;

async function measureOnce(page, name, other, animations) {
  const first = [];
  const edit = [];
  let touched = 0;
  let all = 0;
  for (let i = 0; i < WARMUP + ROUNDS; i++) {
    await timed(page, CHOOSE, other);
    const f = await timed(page, CHOOSE, name);
    const e = await timedEdit(page, EDIT, animations);
    if (i >= WARMUP) {
      first.push(f);
      edit.push(e.ms);
      touched = Math.max(touched, e.touched);
      all = e.all;
    }
  }
  return { first: median(first), edit: median(edit), touched, all };
}

// The morph and its baseline take turns, so a busy machine weighs on both alike.
async function measure(page, name, other, animations) {
  const runs = { morph: [], replace: [] };
  for (let turn = 0; turn < 2; turn++) {
    for (const how of ['morph', 'replace']) {
      await drawBy(page, how);
      runs[how].push(await measureOnce(page, name, other, animations));
    }
  }
  await drawBy(page, 'morph');
  // The better of the two turns' medians, for both alike.
  const best = (list) => ({
    first: Math.min(...list.map((r) => r.first)),
    edit: Math.min(...list.map((r) => r.edit)),
    touched: Math.max(...list.map((r) => r.touched)),
    all: list[0].all,
  });
  return { morph: best(runs.morph), replace: best(runs.replace) };
}

/**
 * The page's own markup for one species, drawn into the panel and laid out, without the
 * sounds section (which draws itself into its slot afterwards): the median of ROUNDS.
 */
async function ownMarkup(page, name) {
  return page.evaluate(async ([species, rounds]) => {
    const { speciesPage } = await import('/pages/species/page.js');
    const { pageHtml } = await import('/pages/species/view_page.js');
    const { createStore, loadSpeciesMessage } = await import('/pages/species/workspaces.js');
    // The page's own workspace object, in a store of its own so nothing else is touched.
    document.querySelector(`#species-list [data-name="${species}"]`).click();
    const ws = speciesPage.workspace();
    const store = createStore();
    loadSpeciesMessage(store, { type: 'species', kit: true, helper: true, items: [] });
    store.items.set(species, ws);
    // In the real panel's place, so it is laid out exactly as the page is.
    const real = document.getElementById('panel-species');
    const panel = document.createElement('section');
    panel.className = 'panel';
    real.after(panel);
    real.hidden = true;
    const times = [];
    for (let i = 0; i < rounds; i++) {
      const start = performance.now();
      panel.innerHTML = pageHtml(store, { selected: species, cells: {}, attack: 0 }, store.items.get(species), true);
      void document.body.offsetHeight;
      times.push(performance.now() - start);
    }
    panel.remove();
    real.hidden = false;
    return times.sort((a, b) => a - b)[Math.floor(times.length / 2)];
  }, [name, ROUNDS]);
}

const session = await harness.startSession();
try {
  const { doc, inspect } = bigSpecies();
  writeWorkspace(session.root, 'big', doc, inspect);
  writeWorkspace(session.root, 'empty', { version: 1, name: 'empty', source: { mesh: 'empty.fbx', animations: [{ file: 'a.fbx', id: 'a' }, { file: 'b.fbx', id: 'b' }] } }, null);
  writeWorkspace(session.root, 'other', { version: 1, name: 'other' }, null);
  const { page } = session;
  await page.click('#tab-species');
  await page.evaluate(() => window.chrome.webview.postMessage({ cmd: 'speciesRefresh' }));
  await page.waitForSelector('#species-list [data-name="big"]');
  // Give the sounds section (loaded apart) its moment, so every round draws it too.
  await page.waitForSelector('.sounds-section', { state: 'attached', timeout: 10000 });
  const base = await measure(page, 'empty', 'other', ['a', 'b']);
  const big = await measure(page, 'big', 'other', ['anim_000', 'anim_001']);
  const own = { empty: await ownMarkup(page, 'empty'), big: await ownMarkup(page, 'big') };
  const ratio = (a, b) => (a / b).toFixed(1);
  const ms = (n) => n.toFixed(1).padStart(8);
  const row = (label, r, goals) => console.log(`${label.padEnd(15)}${ms(r.morph.first)}${ms(r.replace.first)}${goals[0].padStart(7)}` +
    `   ${ms(r.morph.edit)}${ms(r.replace.edit)}${goals[1].padStart(7)}   ${`${r.morph.touched} / ${r.replace.touched} of ${r.morph.all}`.padStart(14)}`);
  console.log(`Species page render, ms with layout: the better of two medians of ${ROUNDS} rounds after ${WARMUP} warm-up`);
  console.log('morph: the page as it draws; replace: the same markup put in with innerHTML (baseline)');
  console.log('                  first render                 re-render after an edit        parts changed');
  console.log('                  morph replace   goal         morph replace   goal   morph / replace');
  row('empty species', base, ['', '10']);
  row('large species', big, ['60', '30']);
  console.log(`ratio large / empty (morph) ${ratio(big.morph.first, base.morph.first)} first, ${ratio(big.morph.edit, base.morph.edit)} edit`);
  console.log(`markup alone into a fresh panel with innerHTML, without the sounds section: empty ${own.empty.toFixed(1)}, large ${own.big.toFixed(1)}, ratio ${ratio(own.big, own.empty)}`);
  const load = os.loadavg()[0];
  console.log(`load average ${load.toFixed(1)} on ${os.cpus().length} cores${load > os.cpus().length / 2 ? ': the machine is busy, so every figure is slower than on a quiet one' : ''}`);
  if (session.pageErrors.length) console.log('page errors:', session.pageErrors);
} finally {
  await session.close();
}
