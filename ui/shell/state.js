/*
 * The page's whole picture of the server folder. Only the host's state messages change it
 * (apart from the tab and the open skin editor, which are the person's), and every page reads
 * it through the shell API's `state`, which is the `state` exported here.
 */

// Said by the shell rather than the Skins page, since it must be said whichever tab is open.
export const SKINS_BROKEN = 'skins.json is not valid JSON. Fix it by hand or save to replace it.';

/** A page state before the host has said anything. */
export function newPageState() {
  return {
    tab: 'server',
    loaded: false,
    root: '',
    found: false,
    runner: false,
    plugin: false,
    cfg: {},
    resources: [],
    skins: [],
    skinsLua: false,
    // skins.json is on disk (as a list or not); only then was skins.lua written by us.
    skinsStored: false,
    // skins.json is on disk but is not JSON, so the host handed over its text instead.
    skinsBroken: false,
    textures: [],
    edit: null,
  };
}

/** The one state the running page shares between the shell and its pages. */
export const state = newPageState();

/**
 * Copies a state message into the page state. Tells whether the server root changed,
 * because the species workspaces live under it and must then be asked for again.
 */
export function applyState(page, msg) {
  const root = typeof msg.root === 'string' ? msg.root : '';
  const rootChanged = root !== page.root;
  page.loaded = true;
  page.root = root;
  page.found = msg.found === true;
  page.runner = msg.runner === true;
  page.plugin = msg.plugin === true;
  page.cfg = msg.cfg && typeof msg.cfg === 'object' && !Array.isArray(msg.cfg) ? msg.cfg : {};
  page.resources = Array.isArray(msg.resources) ? msg.resources : [];
  page.skinsLua = msg.skinsLua === true;
  // skins.json goes to the page unchecked; anything but a list reads as no skins.
  page.skins = Array.isArray(msg.skins) ? msg.skins : [];
  const wasBroken = page.skinsBroken;
  page.skinsBroken = typeof msg.skins === 'string';
  page.skinsStored = msg.skins !== null && msg.skins !== undefined;
  page.textures = Array.isArray(msg.textures) ? msg.textures : [];
  // Said once when the file goes bad (or a folder with a bad file is picked), not on every
  // later state message, which would bury the notices of the commands that follow.
  const skinsBroke = page.skinsBroken && (!wasBroken || rootChanged);
  return { rootChanged, skinsBroke };
}
