'use strict';
// What the sounds section's browser tests and benchmark share: mounting the section on a
// workspace in the served page (standing in for the Species page, which places it the same
// way and hands it the speciesSounds messages), reading the preview canvas, and sound files.

/**
 * Mounts a fresh sounds section for the workspace { name, doc, inspect } in a fixed layer
 * over the page. window.__ws is the workspace, window.__notices what the section told,
 * window.__section the section and window.__deliver(msg) hands it a host message.
 */
async function mountSection(page, workspace) {
  await page.evaluate(async (given) => {
    const { createSoundsSection } = await import('/pages/species/sounds_section.js');
    const { addSoundFiles } = await import('/pages/species/sounds_model.js');
    if (window.__section) {
      window.__section.destroy();
      window.__section.element.parentNode.remove();
    }
    window.__notices = [];
    window.__ws = { log: '', liveLog: [], pak: '', remoteJob: '', remote: null, invalid: false, unsaved: false, ...given };
    const section = createSoundsSection({
      getWorkspace: () => window.__ws,
      markChanged: () => {
        window.__ws.unsaved = true;
      },
      notice: (text, isError) => window.__notices.push({ text, error: !!isError }),
      send: (msg) => window.chrome.webview.postMessage(msg),
      speciesBase: window.chrome.webview.hostUrls.species,
    });
    window.__deliver = (msg) => {
      if (msg && msg.type === 'speciesSounds' && msg.name === window.__ws.name) {
        const { text } = addSoundFiles(window.__ws.doc, msg.files);
        window.__notices.push({ text, error: false });
        section.render();
      }
    };
    if (!window.__deliverWired) {
      window.chrome.webview.addEventListener('message', (event) => window.__deliver(event.data));
      window.__deliverWired = true;
    }
    const layer = document.createElement('div');
    layer.style.cssText = 'position:fixed;inset:0;overflow:auto;z-index:50;background:#07080a;padding:16px';
    layer.appendChild(section.element);
    document.body.appendChild(layer);
    window.__section = section;
    section.render();
  }, workspace);
}

/**
 * Pixels of the preview canvas that differ from its background, where their middle lies (in
 * canvas pixels), and a hash of them all.
 */
function canvasStats(page) {
  return page.evaluate(() => {
    const source = document.querySelector('.sounds-preview-canvas');
    const canvas = document.createElement('canvas');
    canvas.width = source.width;
    canvas.height = source.height;
    const ctx = canvas.getContext('2d');
    ctx.drawImage(source, 0, 0);
    const data = ctx.getImageData(0, 0, canvas.width, canvas.height).data;
    let differs = 0;
    let hash = 0;
    let x = 0;
    let y = 0;
    for (let p = 0; p < data.length; p += 4) {
      if (Math.abs(data[p] - 13) + Math.abs(data[p + 1] - 15) + Math.abs(data[p + 2] - 19) > 24) {
        differs++;
        x += (p / 4) % canvas.width;
        y += Math.floor(p / 4 / canvas.width);
      }
      hash = (hash * 31 + data[p] + data[p + 1] * 7 + data[p + 2] * 13) >>> 0;
    }
    return { pixels: data.length / 4, differs, hash, x: x / differs, y: y / differs };
  });
}

/** Waits until the preview shows a model (over 1000 pixels off the background). */
async function waitModelShown(page, timeout = 30000) {
  const until = Date.now() + timeout;
  for (;;) {
    const stats = await canvasStats(page);
    if (stats.differs > 1000) return stats;
    if (Date.now() > until) throw new Error(`no model in the preview: ${JSON.stringify(stats)}`);
    await new Promise((resolve) => setTimeout(resolve, 200));
  }
}

const previewFrames = (page) => page.evaluate(() => window.__section.previewFrames);
const track = (page) => page.locator('[data-timeline="track"]').boundingBox();

/** A mono 16-bit PCM WAV file of a 440 Hz tone lasting `seconds`. */
function wavBytes(seconds, rate = 8000) {
  const samples = Math.round(seconds * rate);
  const buffer = Buffer.alloc(44 + samples * 2);
  buffer.write('RIFF', 0);
  buffer.writeUInt32LE(36 + samples * 2, 4);
  buffer.write('WAVEfmt ', 8);
  buffer.writeUInt32LE(16, 16);
  buffer.writeUInt16LE(1, 20);
  buffer.writeUInt16LE(1, 22);
  buffer.writeUInt32LE(rate, 24);
  buffer.writeUInt32LE(rate * 2, 28);
  buffer.writeUInt16LE(2, 32);
  buffer.writeUInt16LE(16, 34);
  buffer.write('data', 36);
  buffer.writeUInt32LE(samples * 2, 40);
  for (let i = 0; i < samples; i++) buffer.writeInt16LE(Math.round(Math.sin((2 * Math.PI * 440 * i) / rate) * 8000), 44 + i * 2);
  return buffer;
}

module.exports = { mountSection, canvasStats, waitModelShown, previewFrames, track, wavBytes };
