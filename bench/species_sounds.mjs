// The Species page's sounds section under load, in the real browser host with software
// WebGL: redrawing the section for a species with 200 animations, 100 sounds and 1,000
// markers (all drawn anew, after one edit, and with nothing changed, as the page redraws
// it for every host message), against the same elements without any attribute put into
// the page in the same run; and the animation preview's frames drawn in 10 idle seconds
// (the goal is none).
//
//   FORGESET_TOOL=build/forgeset-server-tool node bench/species_sounds.mjs [rounds]
//
// Each redraw is timed with the layout it causes, forced at once. Figures are milliseconds.
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);
const harness = require('../tests/e2e/harness.js');
const { mountSection, previewFrames } = require('../tests/e2e/species_sounds_support.js');

const ROUNDS = Number(process.argv[2]) || 30;
const FBX = '/usr/share/assimp/models/FBX/animation_with_skeleton.fbx';

/** 200 animations and 100 sounds; `onChosen` of the 1,000 markers sit on the first one. */
function workspace(onChosen) {
  const sounds = Array.from({ length: 100 }, (_, i) => ({ id: `sound_${i}`, file: `Sounds/sound_${i}.wav`, kind: i % 2 ? 'voice' : 'body', radius: 60 }));
  const animations = Array.from({ length: 200 }, (_, i) => ({ file: 'walk.fbx', id: `anim_${i}` }));
  const inspect = { animations: animations.map((a, i) => ({ file: `x_${i}.fbx`, id: a.id, seconds: 8 })) };
  const place = (anim, count, offset) => {
    anim.sounds = Array.from({ length: count }, (_, k) => ({ sound: `sound_${(k + offset) % 100}`, time: Math.round(((k + 0.5) / count) * 8000) / 1000, volume: 1, pitch: 1 }));
  };
  place(animations[0], onChosen, 0);
  const rest = 1000 - onChosen;
  for (let i = 1; i < 200 && rest > 0; i++) place(animations[i], Math.floor(rest / 199) + (i <= rest % 199 ? 1 : 0), i);
  return { name: 'bench', doc: { version: 1, name: 'bench', source: { mesh: 'walk.fbx', sounds, animations } }, inspect };
}

/** Median of `rounds` redraws of the section and of the plain markup of as many elements. */
function measure(page, rounds) {
  return page.evaluate((n) => {
    const time = (fn) => {
      const start = performance.now();
      fn();
      void document.body.offsetHeight;
      return performance.now() - start;
    };
    const median = (list) => list.slice().sort((a, b) => a - b)[Math.floor(list.length / 2)];
    const el = window.__section.element;
    const counts = el.querySelectorAll('*').length;
    // The same tree of elements and texts without a class, style or attribute: what putting
    // that many elements into the page costs at the least.
    const markup = el.innerHTML.replace(/<(\w+)[^>]*>/g, '<$1>');
    const plain = document.createElement('div');
    el.parentNode.appendChild(plain);
    const full = [];
    const edited = [];
    const same = [];
    const baseline = [];
    const sound = window.__ws.doc.source.sounds[0];
    for (let i = 0; i < n; i++) {
      full.push(time(() => window.__section.render(true)));
      sound.radius = sound.radius === 60 ? 61 : 60;
      edited.push(time(() => window.__section.render()));
      same.push(time(() => window.__section.render()));
      baseline.push(time(() => {
        plain.innerHTML = markup;
      }));
    }
    plain.remove();
    return { full: median(full), edited: median(edited), same: median(same), baseline: median(baseline), counts };
  }, rounds);
}

const session = await harness.startSessionWith({ webgl: true });
try {
  const { page } = session;
  const source = path.join(session.root, 'species', 'bench', 'source');
  fs.mkdirSync(source, { recursive: true });
  fs.copyFileSync(FBX, path.join(source, 'walk.fbx'));
  console.log(`redraw of the sounds section, median of ${ROUNDS} (ms), against the same elements without attributes`);
  console.log('"full": everything drawn anew; "edit": after one range changed; "same": nothing changed');
  console.log('markers shown   elements   plain     full  ratio     edit  ratio     same  ratio');
  for (const onChosen of [5, 1000]) {
    await mountSection(page, workspace(onChosen));
    await page.waitForFunction(() => window.__section.previewFrames > 0, null, { timeout: 30000 });
    const r = await measure(page, ROUNDS);
    const total = r.counts;
    const cell = (ms) => `${ms.toFixed(1).padStart(8)}${(ms / r.baseline).toFixed(2).padStart(7)}`;
    console.log(`${String(onChosen).padEnd(16)}${String(total).padStart(8)}${r.baseline.toFixed(1).padStart(8)} ${cell(r.full)} ${cell(r.edited)} ${cell(r.same)}`);
  }
  await page.waitForTimeout(1000);
  const before = await previewFrames(page);
  await page.waitForTimeout(10000);
  console.log(`preview frames drawn in 10 idle seconds: ${(await previewFrames(page)) - before} (after ${before} while loading)`);
  if (session.pageErrors.length) console.log('page errors:', session.pageErrors);
} finally {
  await session.close();
}
