/*
 * The species side of the page: the helper badge, the hint, the species chips and the saved
 * textures, brought up to date from each studio message, and what a scan or a chip asks for.
 */
import { SCAN_NOTICE } from './constants.js';
import { speciesChips } from './files.js';
import { chipsMarkup, hintText } from './view.js';

/** Brings the drawn page up to date with the last studio message and the shell's state. */
export function update(studio) {
  const { state, el } = studio;
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
  updateTextures(studio);
}

function updateTextures(studio) {
  const { state, el } = studio;
  if (!state.root || !state.shell) return;
  const textures = state.shell.state.textures;
  const list = Array.isArray(textures) ? textures.filter((t) => typeof t === 'string') : [];
  el.textures.textContent = list.length ? 'Saved textures: ' + list.join(', ') : 'No saved textures yet.';
}

export function scan(studio) {
  const { state } = studio;
  if (!state.latest || state.latest.helper !== true) return;
  state.shell.notice(SCAN_NOTICE, false);
  state.shell.send({ cmd: 'studioSpecies' });
}

/** An extracted species opens; any other is extracted first and opens once it is there. */
export function chipClicked(studio, name) {
  const { state } = studio;
  const chip = speciesChips(state.latest).find((c) => c.name === name);
  if (!chip) return;
  if (chip.extracted) {
    studio.loader.open(name);
  } else {
    state.pendingExtract = name;
    state.shell.send({ cmd: 'studioExtract', species: name });
    update(studio);
  }
}

export function onStudio(studio, msg) {
  const { state } = studio;
  state.latest = msg;
  const wanted = state.pendingExtract;
  state.pendingExtract = '';
  update(studio);
  // The studio message after a successful extraction lists the species: open it as the
  // owner clicked it for that.
  if (wanted && Array.isArray(msg.extracted) && msg.extracted.includes(wanted)) studio.loader.open(wanted);
}
