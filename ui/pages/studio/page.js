/*
 * The Zuze Ravizu page: reads the game's species, extracts one, shows its model and lets the
 * owner paint a zone pattern on a 2048 x 2048 canvas (or straight on the model), previews the
 * pattern with chosen zone colours, and saves it as a skin texture.
 *
 * This file wires the parts to the DOM and the shell. One `state` object holds what the page
 * knows (the last studio message, the species shown, the chosen colours and brush, the page's
 * elements); the painting, the preview, the model view and the species loader each own their
 * own data and are handed that state or callbacks.
 */
import { IMPORT_NOTICE, SCAN_NOTICE } from './constants.js';
import { defaultColours, defaultGlows, parseGlow } from './zones.js';
import { clampBrush } from './brush.js';
import { dataUrlBase64, errorText, speciesChips, textureName } from './files.js';
import { ELEMENT_IDS, chipsMarkup, hintText, studioMarkup } from './view.js';
import { createPreview } from './preview.js';
import { attachCanvasPainting, createPainting } from './painting.js';
import { createModelView } from './model-view.js';
import { attachModelPainting } from './model-paint.js';
import { createSpeciesLoader } from './species-loader.js';

// Where Ctrl+Z belongs to the browser, which undoes typing there; inputs of these types take
// no typing, so it undoes a stroke on them as anywhere else.
const TYPING = /^(INPUT|TEXTAREA|SELECT)$/;
const NOT_TYPING_INPUTS = ['checkbox', 'range', 'color'];

export function createStudioPage(win) {
  const doc = win.document;
  const state = {
    shell: null,
    latest: null, // the last studio message
    pendingExtract: '', // species we asked the host to extract, opened once it is there
    species: '', // the species whose files are shown
    openToken: 0,
    colours: defaultColours(),
    glows: defaultGlows(),
    brush: { zone: 'display', size: 32 },
    root: null,
    el: {},
    chipsHtml: '',
  };
  const el = state.el;
  const studio = { state, painting: null, modelView: null, loader: null, update };
  studio.preview = createPreview(win, {
    paintData: () => studio.painting.data(),
    colours: state.colours,
    glows: state.glows,
    onBaked(bakes) {
      if (studio.modelView) studio.modelView.textureChanged();
      if (state.root) state.root.dataset.bakes = String(bakes);
    },
  });

  function build() {
    const root = doc.createElement('div');
    root.className = 'studio';
    root.id = 'studio-root';
    root.innerHTML = studioMarkup({ colours: state.colours, glows: state.glows, brushSize: state.brush.size });
    state.root = root;
    for (const id of ELEMENT_IDS) el[id] = root.querySelector('#studio-' + id);

    studio.painting = createPainting(el.paint, {
      brush: state.brush,
      onStroke: studio.preview.schedule,
      onChanged: studio.preview.bake,
      onUndoCount: (count) => {
        el.undo.disabled = count === 0;
      },
    });
    studio.painting.replace(null);
    studio.modelView = createModelView(win, {
      view: el.view,
      empty: el['view-empty'],
      texture: studio.preview.canvas,
      attachPainting: (canvas, viewer) =>
        attachModelPainting(canvas, viewer, { enabled: () => el.paint3d.checked, painting: studio.painting }),
    });
    studio.loader = createSpeciesLoader(win, studio);

    bindSpecies();
    bindPainting();
    bindZones();
    bindSave();
    attachCanvasPainting(el.paint, studio.painting);
    selectBrush(state.brush.zone);
    studio.preview.bake();
  }

  // ------------------------------------------------------------------- events

  function bindSpecies() {
    el.scan.addEventListener('click', scan);
    el.chips.addEventListener('click', (event) => {
      const chip = event.target.closest('[data-species]');
      if (chip) chipClicked(chip.dataset.species);
    });
    el.paint3d.addEventListener('change', () => {
      el.view.classList.toggle('painting', el.paint3d.checked);
    });
  }

  function bindPainting() {
    el.brushes.addEventListener('click', (event) => {
      const button = event.target.closest('[data-brush]');
      if (button) selectBrush(button.dataset.brush);
    });
    el.size.addEventListener('input', () => {
      state.brush.size = clampBrush(el.size.value);
      el['size-value'].textContent = String(state.brush.size);
    });
    el.undo.addEventListener('click', () => studio.painting.undo());
    el['import-button'].addEventListener('click', () => el.import.click());
    el.import.addEventListener('change', importPattern);
    doc.addEventListener('keydown', undoKey);
  }

  // Ctrl+Z undoes a stroke while this page is showing, except where it undoes typing.
  function undoKey(event) {
    if (!(event.ctrlKey || event.metaKey) || event.shiftKey || event.altKey || event.key.toLowerCase() !== 'z') return;
    if (!state.shell || state.shell.state.tab !== 'studio') return;
    const target = event.target;
    if (target && (target.isContentEditable || TYPING.test(target.tagName))) {
      if (!NOT_TYPING_INPUTS.includes(target.type)) return;
    }
    event.preventDefault();
    studio.painting.undo();
  }

  function bindZones() {
    state.root.addEventListener('input', (event) => {
      const target = event.target;
      if (target.dataset.colour) {
        state.colours[target.dataset.colour] = target.value.toUpperCase();
        studio.preview.schedule();
      }
    });
    state.root.addEventListener('change', (event) => {
      const target = event.target;
      if (target.dataset.glow) {
        const glow = parseGlow(target.value);
        state.glows[target.dataset.glow] = glow;
        target.value = String(glow);
        studio.preview.bake();
      }
    });
  }

  function bindSave() {
    el.save.addEventListener('click', save);
    el.name.addEventListener('keydown', (event) => {
      if (event.key === 'Enter') save();
    });
  }

  function selectBrush(key) {
    state.brush.zone = key;
    for (const button of el.brushes.querySelectorAll('[data-brush]')) {
      button.setAttribute('aria-pressed', button.dataset.brush === key ? 'true' : 'false');
    }
  }

  // ------------------------------------------------------------------- studio message

  function update() {
    if (!state.root) return;
    const latest = state.latest;
    const helper = !!(latest && latest.helper === true);
    el.helper.textContent = helper ? 'helper found' : 'helper missing';
    el.helper.className = 'badge ' + (helper ? 'badge-ok' : 'badge-missing');
    const chips = speciesChips(latest);
    const listed = !!(latest && Array.isArray(latest.species) && latest.species.length > 0);
    el.scan.textContent = listed ? 'Rescan' : 'Read game files';
    el.scan.disabled = !helper;
    el.hint.textContent = hintText(latest, chips.length);
    if (latest && typeof latest.assetsDir === 'string' && latest.assetsDir) {
      el.hint.title = latest.assetsDir;
    }
    const html = chipsMarkup(chips, state.species, state.pendingExtract);
    // Every state message redraws the page; rebuilding unchanged chips would drop the focus.
    if (html !== state.chipsHtml) {
      el.chips.innerHTML = html;
      state.chipsHtml = html;
    }
    el.species.textContent = state.species ? '· ' + state.species : '';
    updateTextures();
  }

  function updateTextures() {
    if (!state.root || !state.shell) return;
    const textures = state.shell.state.textures;
    const list = Array.isArray(textures) ? textures.filter((t) => typeof t === 'string') : [];
    el.textures.textContent = list.length ? 'Saved textures: ' + list.join(', ') : 'No saved textures yet.';
  }

  function scan() {
    if (!state.latest || state.latest.helper !== true) return;
    state.shell.notice(SCAN_NOTICE, false);
    state.shell.send({ cmd: 'studioSpecies' });
  }

  function chipClicked(name) {
    const chip = speciesChips(state.latest).find((c) => c.name === name);
    if (!chip) return;
    if (chip.extracted) {
      studio.loader.open(name);
    } else {
      state.pendingExtract = name;
      state.shell.send({ cmd: 'studioExtract', species: name });
      update();
    }
  }

  function onStudio(msg) {
    state.latest = msg;
    const wanted = state.pendingExtract;
    state.pendingExtract = '';
    update();
    // The studio message after a successful extraction lists the species: open it as the
    // owner clicked it for that.
    if (wanted && Array.isArray(msg.extracted) && msg.extracted.includes(wanted)) studio.loader.open(wanted);
  }

  // ------------------------------------------------------------------- import and save

  async function importPattern() {
    const file = el.import.files && el.import.files[0];
    el.import.value = '';
    if (!file) return;
    let image;
    try {
      image = await win.createImageBitmap(file, { premultiplyAlpha: 'none', colorSpaceConversion: 'none' });
    } catch (error) {
      state.shell.notice('Could not load ' + file.name + ': ' + errorText(error), true);
      return;
    }
    const before = studio.painting.snapshot();
    studio.painting.replace(image);
    if (image.close) image.close();
    studio.painting.pushUndo(before);
    studio.preview.bake();
    state.shell.notice(IMPORT_NOTICE, false);
  }

  function save() {
    const result = textureName(el.name.value);
    if (result.error) {
      state.shell.notice(result.error, true);
      return;
    }
    el.name.value = result.name;
    state.shell.send({
      cmd: 'studioSaveTexture',
      name: result.name,
      png: dataUrlBase64(el.paint.toDataURL('image/png')),
    });
  }

  // ------------------------------------------------------------------- page object

  return {
    start(api) {
      state.shell = api;
    },
    message(msg) {
      if (msg && msg.type === 'studio') onStudio(msg);
    },
    // Drawn once and then only brought up to date: the model view and the painting must
    // survive the re-renders every state message causes.
    render(panel) {
      if (!state.root) build();
      if (state.root.parentNode !== panel) panel.replaceChildren(state.root);
      update();
      studio.modelView.resize();
    },
  };
}
