// The modules the page runs before it draws its first state, listed in ui/index.html as
// <link rel="modulepreload">. Without the list the browser learns a module's imports only
// once the module has arrived, so the start-up graph (seven levels of imports) costs seven
// round trips one after another, each through the host; with it, every module is asked for
// as soon as the page's head is read.
//
//   node scripts/page_preloads.mjs           rewrites the list in ui/index.html
//   node scripts/page_preloads.mjs --check   says whether it is up to date (exit 1 if not)
//
// The graph is followed through static imports only: what a page loads with import() when it
// is first shown (three.js and the previews) stays out, as it must. A bare name goes through
// the page's import map and is listed at its address; a library's own imports are not
// followed, and one that has any must be listed by hand.
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const UI_DIR = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', 'ui');

export const START_MARK = '<!-- The modules the page runs before it draws its first state, asked for at once rather than one level of imports at a time (scripts/page_preloads.mjs writes this list). -->';
export const END_MARK = '<!-- End of the start-up modules. -->';

// `import ... from '...'`, `import '...'` and `export ... from '...'` at the start of a line,
// the one form the page's modules use; an import() call is not one of them.
const STATIC_IMPORT = /^[ \t]*(?:import|export)\b(?:[^'";]*?\bfrom)?\s*(['"])([^'"]+)\1/gm;

/** The specifiers a module's source imports statically, in order. */
export function staticImports(source) {
  return Array.from(source.matchAll(STATIC_IMPORT), (m) => m[2]);
}

/** The page's import map and its module entries, as index.html declares them. */
export function pageEntries(html) {
  const map = html.match(/<script type="importmap">([\s\S]*?)<\/script>/);
  const imports = map ? JSON.parse(map[1]).imports || {} : {};
  const entries = Array.from(html.matchAll(/<script type="module" src="([^"]+)"><\/script>/g), (m) => m[1]);
  return { imports, entries };
}

// A bare name as the import map resolves it: an exact key, or the longest prefix ending "/".
function mapped(specifier, imports) {
  if (Object.hasOwn(imports, specifier)) return imports[specifier];
  const prefix = Object.keys(imports)
    .filter((key) => key.endsWith('/') && specifier.startsWith(key))
    .sort((a, b) => b.length - a.length)[0];
  if (prefix === undefined) throw new Error(`the import map has no address for "${specifier}"`);
  return imports[prefix] + specifier.slice(prefix.length);
}

// The list of pages: its imports are the pages' entry files. They are followed but not
// listed, so that a new page (its entry file and a line in the page list) needs no new line in
// index.html; the browser asks for all of them at once when the page list arrives.
export const PAGE_LIST = '/pages.js';

/**
 * Every module the entries reach through static imports, as routes from the page's root, in
 * the order the browser finds them (entries first, then level by level), without the pages'
 * entry files. `read(route)` gives the source of a route of the page's own folder.
 */
export function startupModules({ imports, entries }, read) {
  const found = [];
  const seen = new Set();
  const queue = [];
  const add = (route, follow, listed = true) => {
    if (seen.has(route)) return;
    seen.add(route);
    if (listed) found.push(route);
    if (follow) queue.push(route);
  };
  for (const entry of entries) add(entry, true);
  while (queue.length) {
    const route = queue.shift();
    for (const specifier of staticImports(read(route))) {
      if (/^\.{1,2}\//.test(specifier) || specifier.startsWith('/')) {
        add(new URL(specifier, `https://page${route}`).pathname, true, route !== PAGE_LIST);
      } else {
        add(mapped(specifier, imports), false);
      }
    }
  }
  return found;
}

/** `html` with its list of start-up modules made from `routes`. */
export function withPreloads(html, routes) {
  const start = html.indexOf(START_MARK);
  const end = html.indexOf(END_MARK);
  if (start < 0 || end < start) throw new Error('index.html has no place marked for the start-up modules');
  const links = routes.map((route) => `<link rel="modulepreload" href="${route}">\n`).join('');
  return `${html.slice(0, start)}${START_MARK}\n${links}${html.slice(end)}`;
}

/** index.html as it should be, from the page's files in `uiDir`. */
export function currentIndex(uiDir = UI_DIR) {
  const html = fs.readFileSync(path.join(uiDir, 'index.html'), 'utf8');
  const read = (route) => {
    const file = path.join(uiDir, route);
    if (!fs.existsSync(file)) throw new Error(`the start-up module ${route} is not in ${uiDir}`);
    return fs.readFileSync(file, 'utf8');
  };
  return { html, wanted: withPreloads(html, startupModules(pageEntries(html), read)) };
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const { html, wanted } = currentIndex();
  if (process.argv.includes('--check')) {
    if (html !== wanted) {
      console.error('ui/index.html lists other start-up modules than the page has: run node scripts/page_preloads.mjs');
      process.exit(1);
    }
  } else if (html !== wanted) {
    fs.writeFileSync(path.join(UI_DIR, 'index.html'), wanted);
  }
}
