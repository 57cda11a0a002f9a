/*
 * The picker's rules, without a browser: paths as the person types and walks them, which
 * entries are chosen, and what a key does. Paths are kept as typed, in the host's own form:
 * POSIX paths with `separator` "/", Windows paths ("C:\...", "\\server\share\...", either
 * slash) with "\". Nothing here resolves "..", since a link in the path would make that a
 * different folder.
 */

const isSeparator = (c, separator) => c === '/' || (separator === '\\' && c === '\\');

/**
 * The top of a full path as it is written there ("/", "C:\", "\\server\share\"), or ""
 * for a path that depends on the current folder. Windows' device paths ("\\.\", "\\?\")
 * are not folders a person picks, so they are not full paths here.
 */
export function pathRoot(path, separator = '/') {
  if (separator !== '\\') return path.startsWith('/') ? '/' : '';
  const found = /^[A-Za-z]:[\\/]/.exec(path) || /^[\\/]{2}[^\\/.?][^\\/]*[\\/][^\\/]+[\\/]?/.exec(path);
  return found ? found[0] : '';
}

/** `name` inside `folder`. */
export function joinPath(folder, name, separator = '/') {
  return isSeparator(folder.slice(-1), separator) ? folder + name : folder + separator + name;
}

/** A path without the separators at its end; its top ("/", "C:\") keeps its own. */
export function trimSlashes(path, separator = '/') {
  const root = pathRoot(path, separator);
  const trimmed = path.replace(separator === '\\' ? /[\\/]+$/ : /\/+$/, '');
  return trimmed.length < root.length ? root : trimmed;
}

/**
 * The folder above `path`, or null at the top. A path ending in "." or ".." is left as it is
 * and one more ".." added, since cutting it off would walk down instead of up.
 */
export function parentPath(path, separator = '/') {
  const trimmed = trimSlashes(path, separator);
  const root = pathRoot(trimmed, separator);
  if (trimmed === '' || trimmed.length <= root.length) return null;
  let cut = trimmed.length - 1;
  while (cut >= 0 && !isSeparator(trimmed[cut], separator)) cut--;
  const last = trimmed.slice(cut + 1);
  if (last === '.' || last === '..') return joinPath(trimmed, '..', separator);
  if (cut < root.length) return root || null;
  return trimmed.slice(0, cut);
}

/**
 * The path the person typed, made absolute: "~" and "~/..." start at `home`, a path that is
 * not full lies inside `current`. On Windows a bare drive ("D:") is its root, and a path
 * from the top ("\games") is on the current folder's drive. Null for an empty field.
 */
export function typedPath(text, current, home, separator = '/') {
  const value = String(text).trim();
  if (value === '') return null;
  if (value === '~') return trimSlashes(home, separator);
  if (value[0] === '~' && isSeparator(value[1], separator)) return trimSlashes(joinPath(home, value.slice(2), separator), separator);
  if (pathRoot(value, separator)) return trimSlashes(value, separator);
  if (separator === '\\') {
    if (/^[A-Za-z]:$/.test(value)) return value + separator;
    const drive = /^[A-Za-z]:/.exec(current);
    if (drive && isSeparator(value[0], separator)) return trimSlashes(drive[0] + value, separator);
  }
  return trimSlashes(joinPath(current, value, separator), separator);
}

/** Whether an entry can be part of a choice (a name that is not valid UTF-8 cannot). */
export function usable(entry) {
  return !!entry && entry.broken !== true;
}

/**
 * The selection after a click or key on row `index`: a plain pick selects that row alone;
 * `toggle` (Ctrl, Space) adds or drops it and `range` (Shift) selects from the anchor to it,
 * both only where several may be chosen. Returns { selected: sorted indices, anchor }.
 */
export function selectRow(current, index, { toggle = false, range = false, several = false } = {}) {
  if (!several || (!toggle && !range)) return { selected: [index], anchor: index };
  if (range && current.anchor !== null && current.anchor !== undefined) {
    const from = Math.min(current.anchor, index);
    const to = Math.max(current.anchor, index);
    const selected = [];
    for (let i = from; i <= to; i++) selected.push(i);
    return { selected, anchor: current.anchor };
  }
  const set = new Set(current.selected);
  if (set.has(index)) set.delete(index);
  else set.add(index);
  return { selected: [...set].sort((a, b) => a - b), anchor: index };
}

/**
 * What "Choose" does with the picker as it stands: { paths } to answer the host, { open }
 * to go into a folder first, or null when there is nothing to choose yet.
 *
 * A folder dialog chooses the one selected folder, else the folder shown. A file dialog
 * chooses the selected files; a lone selected folder is opened instead, as a native dialog
 * does, and folders in a mixed selection are passed over. Paths are joined with `separator`.
 */
export function choice(kind, folder, entries, selected, separator = '/') {
  const picked = selected.map((i) => entries[i]).filter(usable);
  const inside = (entry) => joinPath(folder, entry.name, separator);
  if (kind === 'folder') {
    const folders = picked.filter((entry) => entry.folder);
    return { paths: [folders.length === 1 ? inside(folders[0]) : folder] };
  }
  const files = picked.filter((entry) => !entry.folder);
  if (files.length > 0) return { paths: files.map(inside) };
  if (picked.length === 1) return { open: inside(picked[0]) };
  return null;
}

// Keys the picker answers wherever the focus is, and those it answers in its list only.
const DIALOG_KEYS = { Escape: 'cancel' };
const LIST_KEYS = {
  Enter: 'choose',
  ArrowDown: 'next',
  ArrowUp: 'previous',
  Home: 'first',
  End: 'last',
  ArrowRight: 'open',
  ArrowLeft: 'up',
  Backspace: 'up',
  ' ': 'toggle',
};

/**
 * What a key does: in the path field Enter goes to the typed path and every other key types;
 * on a button or other control the browser's own handling stays; in the list and anywhere
 * else in the picker the list keys apply. Escape cancels from everywhere.
 */
export function keyAction(key, where) {
  if (DIALOG_KEYS[key]) return DIALOG_KEYS[key];
  if (where === 'path') return key === 'Enter' ? 'go' : null;
  if (where === 'control') return null;
  return LIST_KEYS[key] || null;
}

/** The row the cursor moves to for a list action, kept inside the list; null when empty. */
export function moveCursor(action, cursor, count) {
  if (count === 0) return null;
  const at = cursor === null || cursor === undefined ? -1 : cursor;
  if (action === 'first') return 0;
  if (action === 'last') return count - 1;
  if (action === 'next') return Math.min(at + 1, count - 1);
  if (action === 'previous') return Math.max(at - 1, 0);
  return at < 0 ? 0 : at;
}

/** The status line under the list: how much is shown and how much is left out. */
export function countText(kind, shown, more) {
  const noun = kind === 'folder' ? 'folder' : 'item';
  let text = shown === 0 ? `No ${noun}s here` : `${shown.toLocaleString('en-US')} ${noun}${shown === 1 ? '' : 's'}`;
  if (more > 0) text += `, and ${more.toLocaleString('en-US')} more not shown (type a path to reach them)`;
  return text;
}

/** The sentence for an answer the host turned down. */
export function rejectedText(kind) {
  return kind === 'folder' ? 'That folder is not there any more.' : 'Choose files that exist.';
}
