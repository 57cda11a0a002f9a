/*
 * The picker the browser host asks for in place of a native folder or file dialog. The host's
 * command waits until this answers: with the chosen paths, or with a cancel (Cancel, Escape).
 * A page that closes or reloads answers nothing; the host notices its stream is gone and
 * cancels by itself. The host lists folders only while its dialog is open, so a listing it
 * refuses means the dialog has ended, and the picker closes.
 */

import {
  choice,
  countText,
  joinPath,
  keyAction,
  moveCursor,
  parentPath,
  rejectedText,
  selectRow,
  typedPath,
  usable,
} from './picker_model.js';
import { pickerHtml, rowsHtml } from './picker_view.js';

// Where a key was pressed, for keyAction.
function keyPlace(target) {
  if (target.dataset && target.dataset.pickField === 'path') return 'path';
  if (target.matches('button, select, input, a')) return 'control';
  return 'list';
}

/** A dialog message as the picker uses it; null when it is not one. */
function readDialog(msg) {
  if (!Number.isInteger(msg.id) || (msg.kind !== 'folder' && msg.kind !== 'files')) return null;
  const filters = Array.isArray(msg.filters)
    ? msg.filters.filter((f) => f && typeof f.label === 'string' && Array.isArray(f.patterns))
    : [];
  const text = (value) => (typeof value === 'string' ? value : '');
  // The host says how its paths are split; a host that does not is a POSIX one.
  const separator = msg.separator === '\\' ? '\\' : '/';
  return { id: msg.id, kind: msg.kind, title: text(msg.title), start: text(msg.start), home: text(msg.home) || '/', separator, filters };
}

/**
 * The picker in `doc`, talking to the host through `hostDialogs` ({ list, answer }, from the
 * host's shim). Returns { show(msg), end(msg) } for the router's dialog and dialogEnd messages.
 */
export function createPicker(doc, hostDialogs) {
  let open = null;

  const part = (selector) => open.root.querySelector(selector);

  function close() {
    if (!open) return;
    const { root, focusBefore } = open;
    open = null;
    doc.removeEventListener('keydown', onKey, true);
    root.remove();
    if (focusBefore && typeof focusBefore.focus === 'function') focusBefore.focus();
  }

  function showError(text) {
    const el = part('.picker-error');
    el.textContent = text;
    el.hidden = !text;
  }

  function paintSelection() {
    for (const row of open.root.querySelectorAll('.picker-row[aria-selected="true"], .picker-row.cursor')) {
      row.setAttribute('aria-selected', 'false');
      row.classList.remove('cursor');
    }
    const rows = part('.picker-list').children;
    for (const i of open.selected) rows[i].setAttribute('aria-selected', 'true');
    const cursorRow = open.cursor === null ? null : rows[open.cursor];
    if (cursorRow) {
      cursorRow.classList.add('cursor');
      cursorRow.scrollIntoView({ block: 'nearest' });
    }
  }

  function showListing(listing) {
    open.folder = listing.path;
    open.entries = Array.isArray(listing.entries) ? listing.entries : [];
    open.selected = [];
    open.anchor = null;
    open.cursor = null;
    part('.picker-list').innerHTML = rowsHtml(open.entries);
    part('.picker-list').scrollTop = 0;
    part('[data-pick-field="path"]').value = open.folder;
    part('[data-pick="up"]').disabled = parentPath(open.folder, open.dialog.separator) === null;
    part('.picker-status').textContent = countText(open.dialog.kind, open.entries.length, Number(listing.more) || 0);
    showError('');
    // Which folder the rows belong to, for whoever waits for a listing to arrive.
    open.root.dataset.listed = open.folder;
  }

  /** Lists `path` and shows it; resolves with the host's answer (null once superseded). */
  async function load(path) {
    const mine = open;
    const seq = ++mine.seq;
    const hidden = part('[data-pick-field="hidden"]').checked;
    const filterField = part('[data-pick-field="filter"]');
    const filter = filterField ? Number(filterField.value) : 0;
    const listing = await hostDialogs.list({ id: mine.dialog.id, path, hidden, filter });
    if (open !== mine || mine.seq !== seq) return null;
    if (listing.gone) close();
    else if (typeof listing.error === 'string') {
      showError(listing.error);
      part('[data-pick-field="path"]').value = path;
    } else showListing(listing);
    return listing;
  }

  async function answer(paths) {
    const mine = open;
    const reply = await hostDialogs.answer({ id: mine.dialog.id, paths });
    if (open !== mine) return;
    if (reply.ok || reply.gone) close();
    else showError(rejectedText(mine.dialog.kind));
  }

  function cancel() {
    const id = open.dialog.id;
    close();
    hostDialogs.answer({ id, cancel: true });
  }

  function choose() {
    const next = choice(open.dialog.kind, open.folder, open.entries, open.selected, open.dialog.separator);
    if (!next) showError('Select one or more files.');
    else if (next.open) load(next.open);
    else answer(next.paths);
  }

  async function goTyped() {
    const path = typedPath(part('[data-pick-field="path"]').value, open.folder, open.dialog.home, open.dialog.separator);
    if (path === null) return;
    if (path === open.folder) return choose();
    const mine = open;
    const listing = await load(path);
    // A typed file in a file dialog is chosen, as a native dialog's location field does.
    if (listing && listing.reason === 'file' && mine.dialog.kind === 'files' && open === mine) answer([path]);
  }

  function pick(index, modifiers) {
    Object.assign(open, selectRow(open, index, { ...modifiers, several: open.dialog.kind === 'files' }));
    open.cursor = index;
    paintSelection();
  }

  function enter(index) {
    const entry = open.entries[index];
    if (!usable(entry)) return;
    const inside = joinPath(open.folder, entry.name, open.dialog.separator);
    if (entry.folder) load(inside);
    else answer([inside]);
  }

  function listAction(action, event) {
    if (action === 'choose') return choose();
    if (action === 'up') {
      const up = parentPath(open.folder, open.dialog.separator);
      return up === null ? undefined : load(up);
    }
    if (action === 'open') {
      const entry = open.entries[open.cursor];
      return entry && entry.folder ? enter(open.cursor) : undefined;
    }
    const cursor = moveCursor(action, open.cursor, open.entries.length);
    if (cursor === null) return undefined;
    if (action === 'toggle') pick(cursor, { toggle: true });
    else pick(cursor, { range: event.shiftKey });
    return undefined;
  }

  function onKey(event) {
    if (event.key === 'Tab') return keepFocusInside(event);
    const action = keyAction(event.key, keyPlace(event.target));
    if (!action) return;
    event.preventDefault();
    event.stopPropagation();
    if (action === 'cancel') cancel();
    else if (action === 'go') goTyped();
    else listAction(action, event);
  }

  // The picker is modal: Tab goes round its own controls and never behind it.
  function keepFocusInside(event) {
    const stops = [...open.root.querySelectorAll('button:not(:disabled), input, select, [tabindex="0"]')];
    const at = stops.indexOf(doc.activeElement);
    const next = event.shiftKey ? (at <= 0 ? stops.length - 1 : at - 1) : (at + 1) % stops.length;
    event.preventDefault();
    stops[next].focus();
  }

  const BUTTONS = { cancel: () => cancel(), choose: () => choose(), go: () => goTyped(), up: () => listAction('up') };

  function onClick(event) {
    const button = event.target.closest('[data-pick]');
    if (button) return BUTTONS[button.dataset.pick]();
    const row = event.target.closest('.picker-row');
    if (!row) return undefined;
    const index = Number(row.dataset.index);
    if (!usable(open.entries[index])) return undefined;
    pick(index, { toggle: event.ctrlKey || event.metaKey, range: event.shiftKey });
    return undefined;
  }

  function onDoubleClick(event) {
    const row = event.target.closest('.picker-row');
    if (row) enter(Number(row.dataset.index));
  }

  function onChange(event) {
    const field = event.target.dataset && event.target.dataset.pickField;
    if (field === 'hidden' || field === 'filter') load(open.folder);
  }

  async function show(msg) {
    const dialog = readDialog(msg);
    if (!dialog || !hostDialogs) return;
    close();
    const root = doc.createElement('div');
    root.className = 'picker-layer';
    root.innerHTML = pickerHtml(dialog);
    open = { dialog, root, focusBefore: doc.activeElement, folder: dialog.start, entries: [], selected: [], anchor: null, cursor: null, seq: 0 };
    // On the document, ahead of the page's own keys: while the picker is up, they are its.
    doc.addEventListener('keydown', onKey, true);
    root.addEventListener('click', onClick);
    root.addEventListener('dblclick', onDoubleClick);
    root.addEventListener('change', onChange);
    doc.body.appendChild(root);
    part('.picker-list').focus();
    const mine = open;
    const first = await load(dialog.start || dialog.home);
    // A server folder that has gone since opens the home folder instead.
    if (first && first.error && open === mine && dialog.start !== dialog.home) await load(dialog.home);
  }

  function end(msg) {
    if (open && msg && msg.id === open.dialog.id) close();
  }

  return { show, end };
}
