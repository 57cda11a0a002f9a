/*
 * The page's controls: species chips and scan, brushes and brush size, undo (button and
 * Ctrl+Z), importing a pattern, zone colours and glows, and saving the texture.
 */
import { IMPORT_NOTICE } from './constants.js';
import { parseGlow } from './zones.js';
import { clampBrush } from './brush.js';
import { dataUrlBase64, errorText, textureName } from './files.js';
import { chipClicked, scan } from './species_panel.js';

// Where Ctrl+Z belongs to the browser, which undoes typing there; inputs of these types take
// no typing, so it undoes a stroke on them as anywhere else.
const TYPING = /^(INPUT|TEXTAREA|SELECT)$/;
const NOT_TYPING_INPUTS = ['checkbox', 'range', 'color'];

export function selectBrush(studio, key) {
  studio.state.brush.zone = key;
  for (const button of studio.el.brushes.querySelectorAll('[data-brush]')) {
    button.setAttribute('aria-pressed', button.dataset.brush === key ? 'true' : 'false');
  }
}

/** Hooks every control of the freshly drawn page to its action. */
export function bindControls(studio) {
  bindSpecies(studio);
  bindPainting(studio);
  bindZones(studio);
  bindSave(studio);
}

function bindSpecies(studio) {
  const { el } = studio;
  el.scan.addEventListener('click', () => scan(studio));
  el.chips.addEventListener('click', (event) => {
    const chip = event.target.closest('[data-species]');
    if (chip) chipClicked(studio, chip.dataset.species);
  });
  el.paint3d.addEventListener('change', () => {
    el.view.classList.toggle('painting', el.paint3d.checked);
  });
}

function bindPainting(studio) {
  const { el, state } = studio;
  el.brushes.addEventListener('click', (event) => {
    const button = event.target.closest('[data-brush]');
    if (button) selectBrush(studio, button.dataset.brush);
  });
  el.size.addEventListener('input', () => {
    state.brush.size = clampBrush(el.size.value);
    el['size-value'].textContent = String(state.brush.size);
  });
  el.undo.addEventListener('click', () => studio.painting.undo());
  el['import-button'].addEventListener('click', () => el.import.click());
  el.import.addEventListener('change', () => importPattern(studio));
  studio.win.document.addEventListener('keydown', (event) => undoKey(studio, event));
}

// Ctrl+Z undoes a stroke while this page is showing, except where it undoes typing.
function undoKey(studio, event) {
  if (!(event.ctrlKey || event.metaKey) || event.shiftKey || event.altKey || event.key.toLowerCase() !== 'z') return;
  const shell = studio.state.shell;
  if (!shell || shell.state.tab !== 'studio') return;
  const target = event.target;
  if (target && (target.isContentEditable || TYPING.test(target.tagName))) {
    if (!NOT_TYPING_INPUTS.includes(target.type)) return;
  }
  event.preventDefault();
  studio.painting.undo();
}

// A colour follows the picker as it moves, at the preview's pace; a glow counts once typed.
function bindZones(studio) {
  const { state, preview } = studio;
  state.root.addEventListener('input', (event) => {
    const target = event.target;
    if (target.dataset.colour) {
      state.colours[target.dataset.colour] = target.value.toUpperCase();
      preview.schedule();
    }
  });
  state.root.addEventListener('change', (event) => {
    const target = event.target;
    if (target.dataset.glow) {
      const glow = parseGlow(target.value);
      state.glows[target.dataset.glow] = glow;
      target.value = String(glow);
      preview.bake();
    }
  });
}

function bindSave(studio) {
  const { el } = studio;
  el.save.addEventListener('click', () => save(studio));
  el.name.addEventListener('keydown', (event) => {
    if (event.key === 'Enter') save(studio);
  });
}

// An imported pattern replaces the whole painting, as one step undo can take back.
async function importPattern(studio) {
  const { el, state, painting } = studio;
  const file = el.import.files && el.import.files[0];
  el.import.value = '';
  if (!file) return;
  let image;
  try {
    image = await studio.win.createImageBitmap(file, { premultiplyAlpha: 'none', colorSpaceConversion: 'none' });
  } catch (error) {
    state.shell.notice('Could not load ' + file.name + ': ' + errorText(error), true);
    return;
  }
  const before = painting.snapshot();
  painting.replace(image);
  if (image.close) image.close();
  painting.pushUndo(before);
  studio.preview.bake();
  state.shell.notice(IMPORT_NOTICE, false);
}

function save(studio) {
  const { el, state } = studio;
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
