/*
 * The Skins page: the skins of the skins resource, an editor for one skin at a time, and
 * saving the whole list as skins.json and skins.lua. The open editor lives in the shell
 * state (`edit`) so that redraws caused by state messages keep it.
 */

import { actionOf, paint } from '../../lib/panel.js';
import { saveSkinsMessage } from './files.js';
import {
  blankSkin, checkSkin, copySkin, editTarget, normaliseHex, normaliseSkin, parseNeon, placeSkin,
  skinList, skinName, TEXT, wholeNumberText,
} from './model.js';
import { skinsHtml } from './view.js';

let shell = null;
let skinsSource = null;
let skinsCache = [];

/** The state's skins as page records; worked out once per state message, not per redraw. */
function currentSkins() {
  if (shell.state.skins !== skinsSource) {
    skinsSource = shell.state.skins;
    skinsCache = skinList(shell.state.skins);
  }
  return skinsCache;
}

/** Saves a whole list: shown at once, so a second quick change builds on the first. */
function saveSkinList(list) {
  shell.state.skins = list;
  shell.send(saveSkinsMessage(list));
}

function openEditor(index) {
  const state = shell.state;
  const skins = currentSkins();
  if (index < 0) state.edit = { index: -1, original: '', skin: blankSkin(), drafts: {} };
  else if (skins[index]) state.edit = { index, original: skins[index].name, skin: copySkin(skins[index]), drafts: {} };
  shell.render();
  const name = document.getElementById('skin-name');
  if (name) {
    name.focus();
    name.scrollIntoView({ block: 'nearest' });
  }
}

function saveEditedSkin() {
  const edit = shell.state.edit;
  if (!edit) return;
  const skins = currentSkins();
  const index = editTarget(skins, edit);
  const problem = checkSkin(edit.skin, skins, index);
  if (problem) {
    shell.notice(problem, true);
    return;
  }
  const skin = normaliseSkin({
    ...edit.skin,
    name: skinName(edit.skin.name),
    pattern: wholeNumberText(edit.skin.pattern),
    theme: wholeNumberText(edit.skin.theme),
  });
  shell.state.edit = null;
  saveSkinList(placeSkin(skins, index, skin));
  shell.render();
}

function deleteSkin(index) {
  const skins = currentSkins();
  if (!skins[index]) return;
  shell.state.edit = null;
  saveSkinList(skins.filter((_, i) => i !== index));
  shell.render();
}

function onClick(event) {
  const el = actionOf(event);
  if (!el) return;
  const action = el.dataset.action;
  if (action === 'newSkin') openEditor(-1);
  else if (action === 'openSkins') shell.send({ cmd: 'open', what: 'skins' });
  else if (action === 'editSkin') openEditor(Number(el.dataset.index));
  else if (action === 'deleteSkin') deleteSkin(Number(el.dataset.index));
  else if (action === 'saveSkin') saveEditedSkin();
  else if (action === 'cancelSkin') {
    shell.state.edit = null;
    shell.render();
  }
}

function zoneRow(el) {
  return el.closest('.zone-row');
}

// Typing in a hex or neon box is kept as a draft until the box is left, so a half-typed
// value is neither refused nor lost on a redraw; the colour picker applies at once.
function onInput(event) {
  const edit = shell.state.edit;
  const t = event.target;
  if (!edit || !t.dataset) return;
  const field = t.dataset.skin;
  if (field === 'name' || field === 'pattern' || field === 'theme') edit.skin[field] = t.value;
  else if (t.dataset.zoneColour) {
    const key = t.dataset.zoneColour;
    edit.skin.zones[key].hex = t.value.toUpperCase();
    delete edit.drafts['hex:' + key];
    const hex = zoneRow(t).querySelector('[data-zone-hex]');
    if (hex) hex.value = edit.skin.zones[key].hex;
  } else if (t.dataset.zoneHex) edit.drafts['hex:' + t.dataset.zoneHex] = t.value;
  else if (t.dataset.zoneGlow) edit.drafts['glow:' + t.dataset.zoneGlow] = t.value;
}

function commitHex(edit, t) {
  const key = t.dataset.zoneHex;
  delete edit.drafts['hex:' + key];
  const hex = normaliseHex(t.value);
  if (hex === null) {
    shell.notice(TEXT.badHex, true);
  } else {
    edit.skin.zones[key].hex = hex;
    const picker = zoneRow(t).querySelector('[data-zone-colour]');
    if (picker) picker.value = hex.toLowerCase();
  }
  t.value = edit.skin.zones[key].hex;
}

function commitGlow(edit, t) {
  const key = t.dataset.zoneGlow;
  delete edit.drafts['glow:' + key];
  edit.skin.zones[key].glow = parseNeon(t.value);
  t.value = String(edit.skin.zones[key].glow);
}

function onChange(event) {
  const edit = shell.state.edit;
  const t = event.target;
  if (!edit || !t.dataset) return;
  const field = t.dataset.skin;
  if (field === 'species' || field === 'texture') edit.skin[field] = t.value;
  else if (field === 'admin') edit.skin.admin = t.checked;
  else if (t.dataset.zoneOn) edit.skin.zones[t.dataset.zoneOn].on = t.checked;
  else if (t.dataset.zoneHex) commitHex(edit, t);
  else if (t.dataset.zoneGlow) commitGlow(edit, t);
}

export const skinsPage = {
  start(api) {
    shell = api;
    const panel = document.getElementById('panel-skins');
    panel.addEventListener('click', onClick);
    panel.addEventListener('input', onInput);
    panel.addEventListener('change', onChange);
  },
  render(panel) {
    paint(panel, skinsHtml(shell.state, currentSkins()));
  },
  stateApplied(applied) {
    // Another server folder has other skins; an open editor would save into the wrong list.
    if (applied.rootChanged) shell.state.edit = null;
  },
};
