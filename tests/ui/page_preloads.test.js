'use strict';
// The list of start-up modules in index.html: it must name exactly what the page's entries
// reach through static imports (a module missing from it is fetched a level later, a module
// too many is fetched for nothing), and three.js must never be among them.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

const REPO = path.join(__dirname, '..', '..');
let preloads;
before(async () => {
  preloads = await import(pathToFileURL(path.join(REPO, 'scripts', 'page_preloads.mjs')).href);
});

describe('static imports', () => {
  const cases = [
    ["import { a } from './a.js';", ['./a.js']],
    ["import './side.js';", ['./side.js']],
    ['import x, { y as z } from "../up.js";', ['../up.js']],
    ["export { b } from './b.js';", ['./b.js']],
    ["export * from './all.js';", ['./all.js']],
    ["import {\n  one,\n  two,\n} from './many.js';", ['./many.js']],
    ["import { Idiomorph } from 'idiomorph';", ['idiomorph']],
    ["const m = await import('./later.js');", []],
    ["  import('./later.js').then(run);", []],
    ["export function f() {}\nexport const g = 1;", []],
    ["// says import './not.js' in a comment\nconst s = \"import './nor.js'\";", []],
  ];
  for (const [source, expected] of cases) {
    it(JSON.stringify(source), () => assert.deepEqual(preloads.staticImports(source), expected));
  }
});

describe('the start-up graph', () => {
  let dir;
  const files = {
    'index.html': '<script type="importmap">{"imports": {"lib": "/vendor/lib.js", "kit/": "/kit/"}}</script>\n' +
      '<!-- START -->\n<!-- END -->\n<script type="module" src="/app.js"></script>\n<script type="module" src="/extra.js"></script>',
    'app.js': "import './shell/start.js';\nimport './pages.js';\nconst later = () => import('./pages/b/page.js');",
    'pages.js': "import './a.js';\nimport './shell/start.js';",
    'a.js': "import { x } from './pages/a/page.js';",
    'extra.js': "import './shell/start.js';",
    'shell/start.js': "import { helper } from '../lib/helper.js';\nimport 'lib';",
    'lib/helper.js': "import './cycle.js';",
    'lib/cycle.js': "import './helper.js';\nimport 'kit/tool.js';",
    'pages/a/page.js': "export { v } from '../../lib/helper.js';",
    'pages/b/page.js': "import 'three';",
  };

  before(() => {
    dir = fs.mkdtempSync(path.join(os.tmpdir(), 'forgeset-preloads-'));
    for (const [name, text] of Object.entries(files)) {
      fs.mkdirSync(path.dirname(path.join(dir, name)), { recursive: true });
      fs.writeFileSync(path.join(dir, name), text.replace('<!-- START -->', preloads.START_MARK).replace('<!-- END -->', preloads.END_MARK));
    }
  });
  after(() => fs.rmSync(dir, { recursive: true, force: true }));

  it('follows static imports level by level, once each, through the import map, leaving out what the page list imports', () => {
    const { wanted } = preloads.currentIndex(dir);
    const listed = Array.from(wanted.matchAll(/<link rel="modulepreload" href="([^"]+)">/g), (m) => m[1]);
    assert.deepEqual(listed, ['/app.js', '/extra.js', '/shell/start.js', '/pages.js', '/lib/helper.js', '/vendor/lib.js', '/lib/cycle.js', '/pages/a/page.js', '/kit/tool.js']);
    assert.ok(wanted.indexOf(preloads.START_MARK) < wanted.indexOf('modulepreload'));
    assert.ok(wanted.lastIndexOf('modulepreload') < wanted.indexOf(preloads.END_MARK));
    assert.deepEqual(preloads.currentIndex(dir), { html: fs.readFileSync(path.join(dir, 'index.html'), 'utf8'), wanted }, 'reading changes nothing');
  });

  it('writes the same list again over an old one', () => {
    const { wanted } = preloads.currentIndex(dir);
    assert.equal(preloads.withPreloads(wanted, ['/app.js']).match(/modulepreload/g).length, 1);
  });

  it('refuses a module it cannot find and a bare name the import map lacks', () => {
    const read = (route) => ({ '/app.js': "import './gone.js';", '/bare.js': "import 'nowhere';" }[route] ?? fs.readFileSync('/nonexistent'));
    assert.throws(() => preloads.startupModules({ imports: {}, entries: ['/app.js'] }, read), /ENOENT/);
    assert.throws(() => preloads.startupModules({ imports: {}, entries: ['/bare.js'] }, read), /no address for "nowhere"/);
    assert.throws(() => preloads.withPreloads('<html></html>', []), /no place marked/);
  });
});

describe('ui/index.html', () => {
  it('lists the start-up modules the page has now (node scripts/page_preloads.mjs writes them)', () => {
    const { html, wanted } = preloads.currentIndex();
    assert.equal(html, wanted);
  });

  it('lists neither three.js nor a page that is fetched after the first drawing', () => {
    const { html } = preloads.currentIndex();
    const listed = Array.from(html.matchAll(/<link rel="modulepreload" href="([^"]+)">/g), (m) => m[1]);
    assert.ok(listed.includes('/app.js') && listed.includes('/pages/server/page.js'), listed.join(' '));
    for (const route of listed) assert.doesNotMatch(route, /three|addons|pages\/(species|ai|skins|resources|studio)\//, route);
  });
});
