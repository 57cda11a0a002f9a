'use strict';
// What the Species page's browser tests share: a folder of animations as an owner exports
// it (assimp's animated test model under role and attack names), a session with the real
// asset helper and the species kit beside the tool, and the steps of creating and
// importing a species through the page.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const zlib = require('node:zlib');
const { FAKE_ASSETS, REPO, TOOL, UNDER_WINE, startSessionWith, toolPath, waitNotice } = require('./harness.js');

const MODEL = process.env.FORGESET_TEST_FBX || '/usr/share/assimp/models/FBX/animation_with_skeleton.fbx';
// The Windows build has no real asset helper yet (assimp is not built for mingw-w64), so under
// Wine the fake one stands in: it reads the folder by its file names as the real one reads the
// models.
const HELPER = UNDER_WINE ? FAKE_ASSETS : path.join(path.dirname(TOOL), 'tools', 'forgeset-assets');
// The real helper reads the model file's own take as one more animation; the fake goes by
// file names alone and takes the model file for the mesh only.
const MODEL_TAKE = !UNDER_WINE;
const SAVED = 'Saved. Values and attacks reach a running server within a few seconds.';

/** A small grey PNG, written by hand so the tests need no image library. */
function png(width, height) {
  const table = Array.from({ length: 256 }, (_, n) => {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    return c >>> 0;
  });
  const crc = (bytes) => {
    let c = 0xffffffff;
    for (const b of bytes) c = table[(c ^ b) & 255] ^ (c >>> 8);
    return (c ^ 0xffffffff) >>> 0;
  };
  const chunk = (type, data) => {
    const body = Buffer.concat([Buffer.from(type), data]);
    const out = Buffer.alloc(body.length + 8);
    out.writeUInt32BE(data.length, 0);
    body.copy(out, 4);
    out.writeUInt32BE(crc(body), body.length + 4);
    return out;
  };
  const head = Buffer.alloc(13);
  head.writeUInt32BE(width, 0);
  head.writeUInt32BE(height, 4);
  head[8] = 8;
  head[9] = 2;
  const rows = Buffer.alloc((width * 3 + 1) * height, 0x80);
  for (let y = 0; y < height; y++) rows[y * (width * 3 + 1)] = 0;
  const signature = Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]);
  return Buffer.concat([signature, chunk('IHDR', head), chunk('IDAT', zlib.deflateSync(rows)), chunk('IEND', Buffer.alloc(0))]);
}

/** A folder as an owner would export it: the model on top, animations named by what they do. */
function modelFolder(base) {
  const folder = path.join(base, 'export');
  fs.mkdirSync(path.join(folder, 'anims'), { recursive: true });
  fs.copyFileSync(MODEL, path.join(folder, 'Raptor.fbx'));
  for (const name of ['Idle', 'Walk', 'Walk_Left', 'Attack_Bite', 'Attack_Bite_Left']) {
    fs.copyFileSync(MODEL, path.join(folder, 'anims', `${name}.fbx`));
  }
  fs.writeFileSync(path.join(folder, 'T_Body_D.png'), png(4, 4));
  fs.writeFileSync(path.join(folder, 'notes.txt'), 'not imported');
  return folder;
}

/**
 * The fakes of the programs the tool starts, first on its PATH: the repository's scripts
 * (pwsh, xdg-open), or under Wine the folder of the Windows fake powershell.exe, which Wine's
 * WINEPATH puts ahead of the prefix's own PATH (a Windows tool cannot run the scripts).
 */
function fakePrograms() {
  if (UNDER_WINE) return { WINEPATH: toolPath(path.join(path.dirname(FAKE_ASSETS), 'bin')) };
  return { PATH: `${path.join(REPO, 'tests', 'fakes')}:${process.env.PATH}` };
}

/**
 * A session with the asset helper (the real one; the fake under Wine), the fakes of the
 * other programs first on PATH and the species kit beside the tool, on the Species tab.
 */
async function speciesSession(env = {}) {
  const session = await startSessionWith({ helper: HELPER, webgl: true, env: { ...fakePrograms(), ...env } });
  // The tool looks for the species kit beside its executable, which the harness copied.
  fs.symlinkSync(path.join(REPO, 'species-kit'), path.join(session.base, 'bin', 'species-kit'));
  await session.page.click('#tab-species');
  await session.page.evaluate(() => window.chrome.webview.postMessage({ cmd: 'speciesRefresh' }));
  await session.page.waitForSelector('#species-new-name');
  return session;
}

/** Creates a species through the form and waits until the host lists it. */
async function createSpecies(page, name, label = '') {
  await page.fill('#species-new-name', name);
  await page.fill('#species-new-label', label);
  await page.click('[data-action="create-species"]');
  await waitNotice(page, 'Saved.');
  await page.waitForSelector(`#species-list [data-name="${name.trim().toLowerCase()}"]`);
}

/** Imports `folder` (a Linux path) through the page's folder picker; resolves with the link notice. */
async function importFolder(page, folder) {
  await page.click('[data-action="import"]');
  await page.waitForSelector('.picker-layer[data-listed]', { state: 'attached' });
  const typed = toolPath(folder);
  await page.fill('.picker-path', typed);
  await page.press('.picker-path', 'Enter');
  await page.waitForFunction((f) => document.querySelector('.picker-layer').dataset.listed === f, typed);
  await page.click('[data-pick="choose"]');
  return waitNotice(page, 'Linked', 60000);
}

/** Saves the chosen species and waits until the host has echoed it back. */
async function saveAndWait(page) {
  await page.click('#species-save');
  const notice = await waitNotice(page, 'Saved.');
  await page.waitForFunction(() => document.getElementById('species-save').disabled);
  return notice;
}

/**
 * Every command the page sent is a JSON object with a `cmd`, and every message the host sent
 * arrived as a JSON object with a `type` (the host shim parses each one on arrival).
 */
async function checkTraffic(page) {
  const { sent, received } = require('./harness.js');
  for (const message of await sent(page)) {
    const text = JSON.stringify(message);
    if (typeof JSON.parse(text).cmd !== 'string') throw new Error(`a command without cmd: ${text}`);
  }
  for (const message of await received(page)) {
    if (!message || typeof message !== 'object' || typeof message.type !== 'string') throw new Error(`a message without type: ${JSON.stringify(message)}`);
  }
}

const tempFile = (name, text) => {
  const file = path.join(os.tmpdir(), `${name}-${process.pid}.txt`);
  fs.writeFileSync(file, text);
  return file;
};

module.exports = { MODEL_TAKE, SAVED, checkTraffic, png, modelFolder, speciesSession, createSpecies, importFolder, saveAndWait, tempFile };
