/*
 * Opening an extracted species: its description, pattern, shading images and model, fetched
 * from the assets host. Only the latest opening counts: an older one still under way when the
 * owner opens another drops its results.
 */
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';
import { PREVIEW_SIZE } from './constants.js';
import { assetUrl, choosePattern, errorText, fileOfKind } from './files.js';
import { update } from './species_panel.js';

async function fetchOk(win, url) {
  const response = await win.fetch(url, { cache: 'no-store' });
  if (!response.ok) {
    const file = decodeURIComponent(url.slice(url.lastIndexOf('/') + 1));
    throw new Error(`${file}: HTTP ${response.status}`);
  }
  return response;
}

// Pixels exactly as stored: no colour management and no premultiplying, since zones and
// shading are read from the raw values.
async function fetchImage(win, url) {
  const blob = await (await fetchOk(win, url)).blob();
  return win.createImageBitmap(blob, { premultiplyAlpha: 'none', colorSpaceConversion: 'none' });
}

function pixelsOf(win, image, size, smooth) {
  const canvas = win.document.createElement('canvas');
  canvas.width = size;
  canvas.height = size;
  const ctx = canvas.getContext('2d', { willReadFrequently: true });
  ctx.imageSmoothingEnabled = smooth;
  ctx.drawImage(image, 0, 0, size, size);
  return ctx.getImageData(0, 0, size, size).data;
}

/**
 * `studio` is the page's shared object: its `state` holds the shell, the root element, the
 * species shown and the opening token this loader advances; the painting, preview and model
 * view take what is loaded.
 */
export function createSpeciesLoader(studio) {
  const { win, state } = studio;

  /** The files info.json lists, or null after telling the owner why there are none. */
  async function fetchFiles(name, token) {
    try {
      const info = JSON.parse(await (await fetchOk(win, assetUrl(state.shell.hostUrls.assets, name, 'info.json'))).text());
      if (!info || typeof info !== 'object' || Array.isArray(info)) throw new Error('info.json holds no description');
      return Array.isArray(info.files) ? info.files : [];
    } catch (error) {
      if (token === state.openToken) state.shell.notice('Could not load ' + name + ': ' + errorText(error), true);
      return null;
    }
  }

  /** The pattern, rac and mask images (null where missing or failed), each failure told. */
  async function fetchImages(name, files, token) {
    const wanted = [choosePattern(files), fileOfKind(files, 'rac'), fileOfKind(files, 'mask')];
    const results = await Promise.allSettled(
      wanted.map((f) => (f ? fetchImage(win, assetUrl(state.shell.hostUrls.assets, name, f.file)) : Promise.resolve(null)))
    );
    if (token !== state.openToken) return null;
    const failed = results.find((r) => r.status === 'rejected');
    if (failed) state.shell.notice('Could not load ' + name + ': ' + errorText(failed.reason), true);
    return results.map((r) => (r.status === 'fulfilled' ? r.value : null));
  }

  async function loadModel(name, token) {
    let gltf;
    try {
      studio.modelView.ensure();
      gltf = await new GLTFLoader().loadAsync(assetUrl(state.shell.hostUrls.assets, name, 'mesh.glb'));
    } catch (error) {
      if (token === state.openToken) {
        studio.modelView.show(null);
        state.shell.notice('Model failed: ' + errorText(error), true);
      }
      return;
    }
    if (token !== state.openToken) {
      studio.modelView.dispose(gltf.scene);
      return;
    }
    studio.modelView.show(gltf.scene);
    state.root.dataset.model = name;
  }

  async function open(name) {
    const token = ++state.openToken;
    const files = await fetchFiles(name, token);
    if (!files || token !== state.openToken) return;
    const root = state.root;
    state.species = name;
    root.dataset.species = name;
    delete root.dataset.model;
    delete root.dataset.pattern;
    update(studio);

    const model = loadModel(name, token);
    const images = await fetchImages(name, files, token);
    if (!images) return;
    const [pattern, rac, mask] = images;
    studio.painting.replace(pattern);
    studio.preview.setShading(
      rac ? pixelsOf(win, rac, PREVIEW_SIZE, true) : null,
      mask ? pixelsOf(win, mask, PREVIEW_SIZE, false) : null
    );
    for (const image of images) if (image && image.close) image.close();
    studio.painting.clearUndo();
    studio.preview.bake();
    root.dataset.pattern = name;
    await model;
  }

  return { open };
}
