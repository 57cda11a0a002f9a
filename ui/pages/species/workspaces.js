/*
 * The page's species workspaces, kept in step with the host's species message. A workspace
 * with unsaved changes is never overwritten by what the host sends; after a save it counts
 * as saved once the host hands back exactly the text that was sent. Texts are parsed only
 * when they differ from the last ones seen, so a message about some other workspace costs
 * little here.
 */
import { isPlainObject } from '../../lib/fields.js';
import { NOTICES } from './checks.js';
import { normalizeSpecies, parseSpecies } from './document.js';
import { adoptInspection, linkAnimations, readInspection } from './suggest.js';
import { parseHosts } from './templates.js';

/** The page's picture of all species: the flags of the last message and the workspaces. */
export function createStore() {
  return {
    loaded: false,
    kit: false,
    helper: false,
    busy: false,
    build: { api: '', signedIn: false, name: '', steamId: '', signingIn: false },
    hosts: new Map(),
    hostTexts: null,
    items: new Map(),
  };
}

/** A workspace as the page and its sections share it. */
export function newWorkspace(name) {
  return {
    name,
    doc: normalizeSpecies({}, name),
    unsaved: false,
    invalid: false,
    inspect: null,
    inspectBroken: false,
    log: '',
    liveLog: [],
    pak: false,
    remoteJob: false,
    remote: null,
    seenJson: null,
    seenInspect: null,
    pending: null,
  };
}

function parseInspect(textValue) {
  if (textValue === '') return null;
  try {
    return readInspection(JSON.parse(textValue));
  } catch {
    return null;
  }
}

const str = (value) => (typeof value === 'string' ? value : '');

function loadDocument(ws, json, notices) {
  if (ws.unsaved) {
    // Our own save came back: the document on disk is now the one on screen.
    if (ws.pending !== null && json === ws.pending) {
      ws.unsaved = false;
      ws.invalid = false;
      ws.pending = null;
      ws.seenJson = json;
    }
    return;
  }
  if (json === ws.seenJson) return;
  ws.seenJson = json;
  const doc = parseSpecies(json, ws.name);
  ws.invalid = doc === null;
  ws.doc = doc || normalizeSpecies({}, ws.name);
  if (ws.invalid) notices.push({ text: NOTICES.invalidJson, error: true });
}

// A fresh import has a model the definition does not name yet: take it over and link what
// the file names suggest, as unsaved changes the owner can look over before saving.
function adoptIfNew(ws, notices) {
  if (!ws.inspect || !ws.inspect.mesh.file || ws.doc.source.mesh !== '') return;
  adoptInspection(ws.doc, ws.inspect);
  const { notice } = linkAnimations(ws.doc, ws.inspect);
  ws.unsaved = true;
  ws.pending = null;
  notices.push({ text: notice, error: false });
}

function loadItem(ws, item, notices) {
  const log = str(item.log);
  // A build that ended leaves its log on disk: from then on that is what the box shows. A
  // build that failed before writing one keeps its live lines, which say why.
  if (log !== ws.log) ws.liveLog = [];
  ws.log = log;
  ws.pak = item.pak === true;
  ws.remoteJob = item.remoteJob === true;
  const inspectText = str(item.inspect);
  if (inspectText !== ws.seenInspect) {
    ws.seenInspect = inspectText;
    ws.inspect = parseInspect(inspectText);
    ws.inspectBroken = inspectText !== '' && ws.inspect === null;
  }
  loadDocument(ws, str(item.json), notices);
  adoptIfNew(ws, notices);
}

/**
 * Takes one species message. Returns the notices it gives rise to ({text, error}), in order:
 * broken files, then what the adoption of a new import linked.
 */
export function loadSpeciesMessage(store, msg) {
  const notices = [];
  store.loaded = true;
  store.kit = msg.kit === true;
  store.helper = msg.helper === true;
  store.busy = msg.busy === true;
  const build = isPlainObject(msg.build) ? msg.build : {};
  store.build = {
    api: str(build.api),
    signedIn: build.signedIn === true,
    name: str(build.name),
    steamId: str(build.steamId),
    signingIn: build.signingIn === true,
  };
  const hostTexts = JSON.stringify(Array.isArray(msg.hosts) ? msg.hosts : []);
  if (hostTexts !== store.hostTexts) {
    store.hostTexts = hostTexts;
    store.hosts = parseHosts(msg.hosts);
  }
  const present = new Set();
  for (const item of Array.isArray(msg.items) ? msg.items : []) {
    if (!isPlainObject(item) || typeof item.name !== 'string' || item.name === '' || present.has(item.name)) continue;
    present.add(item.name);
    let ws = store.items.get(item.name);
    if (!ws) store.items.set(item.name, (ws = newWorkspace(item.name)));
    loadItem(ws, item, notices);
  }
  // A workspace whose folder is gone (removed here or by hand) has nothing left to save to.
  for (const name of Array.from(store.items.keys())) if (!present.has(name)) store.items.delete(name);
  return notices;
}

/** Something in the workspace's document was changed by the person. */
export function touch(ws) {
  ws.unsaved = true;
  ws.pending = null;
}

/** Names of all workspaces, sorted, for the list. */
export function sortedNames(store) {
  return Array.from(store.items.keys()).sort();
}
