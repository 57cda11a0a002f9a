/*
 * The Zuze Ravizu page: reads the game's species, extracts one, shows its model and lets the
 * owner paint a zone pattern on a 2048 x 2048 canvas (or straight on the model), previews the
 * pattern with chosen zone colours, and saves it as a skin texture.
 *
 * One `studio` object is handed to every part of the page. Its `state` holds what the page
 * knows (the last studio message, the species shown, the chosen colours and brush); `el`
 * holds the page's elements; the painting, the preview, the model view and the species
 * loader each own their own data and are reached through it.
 */
import { defaultColours, defaultGlows } from './zones.js';
import { ELEMENT_IDS, studioMarkup } from './view.js';
import { createPreview } from './preview.js';
import { attachCanvasPainting, createPainting } from './painting.js';
import { createModelView } from './model_view.js';
import { attachModelPainting } from './model_paint.js';
import { createSpeciesLoader } from './species_loader.js';
import { bindControls, selectBrush } from './controls.js';
import { onStudio, update } from './species_panel.js';

function createState() {
  return {
    shell: null,
    latest: null, // the last studio message
    pendingExtract: '', // species we asked the host to extract, opened once it is there
    species: '', // the species whose files are shown
    openToken: 0,
    colours: defaultColours(),
    glows: defaultGlows(),
    brush: { zone: 'display', size: 32 },
    root: null,
    chipsHtml: '', // the chips last drawn, so unchanged ones are left alone
  };
}

// The preview exists before the page is drawn: the model view is handed its canvas.
function createStudio(win) {
  const studio = { win, state: createState(), el: {}, painting: null, modelView: null, loader: null };
  const { state } = studio;
  studio.preview = createPreview(win, {
    paintData: () => studio.painting.data(),
    colours: state.colours,
    glows: state.glows,
    onBaked(bakes) {
      if (studio.modelView) studio.modelView.textureChanged();
      if (state.root) state.root.dataset.bakes = String(bakes);
    },
  });
  return studio;
}

function build(studio) {
  const { state, el, preview } = studio;
  const root = studio.win.document.createElement('div');
  root.className = 'studio';
  root.id = 'studio-root';
  root.innerHTML = studioMarkup({ colours: state.colours, glows: state.glows, brushSize: state.brush.size });
  state.root = root;
  for (const id of ELEMENT_IDS) el[id] = root.querySelector('#studio-' + id);

  studio.painting = createPainting(el.paint, {
    brush: state.brush,
    onStroke: preview.schedule,
    onChanged: preview.bake,
    onUndoCount: (count) => {
      el.undo.disabled = count === 0;
    },
  });
  studio.painting.replace(null);
  studio.modelView = createModelView(studio.win, {
    view: el.view,
    empty: el['view-empty'],
    texture: preview.canvas,
    attachPainting: (canvas, viewer) =>
      attachModelPainting(canvas, viewer, { enabled: () => el.paint3d.checked, painting: studio.painting }),
  });
  studio.loader = createSpeciesLoader(studio);

  bindControls(studio);
  attachCanvasPainting(el.paint, studio.painting);
  selectBrush(studio, state.brush.zone);
  preview.bake();
}

// Made at start rather than at import, since only then may the page touch the window.
let studio = null;

export const studioPage = {
  start(api) {
    studio = createStudio(window);
    studio.state.shell = api;
  },
  message(msg) {
    if (msg && msg.type === 'studio') onStudio(studio, msg);
  },
  // Drawn once and then only brought up to date: the model view and the painting must
  // survive the re-renders every state message causes.
  render(panel) {
    const { state } = studio;
    if (!state.root) build(studio);
    if (state.root.parentNode !== panel) panel.replaceChildren(state.root);
    update(studio);
    studio.modelView.resize();
  },
};
