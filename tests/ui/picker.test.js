'use strict';
// The picker's rules without a browser: paths as typed and walked, selection, what Choose
// does, what each key does, the view's escaping, and the router's hand-over to the picker.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

const UI_DIR = path.join(__dirname, '..', '..', 'ui');

let m;
before(async () => {
  const modules = ['shell/picker_model.js', 'shell/picker_view.js', 'shell/router.js'];
  m = Object.assign({}, ...(await Promise.all(modules.map((f) => import(pathToFileURL(path.join(UI_DIR, f)).href)))));
});

describe('paths', () => {
  it('goes up one folder at a time, and up past "." and ".." by adding one', () => {
    const cases = [
      ['/srv/varra', '/srv'],
      ['/srv/varra/', '/srv'],
      ['/srv', '/'],
      ['/', null],
      ['//', null],
      ['/srv/..', '/srv/../..'],
      ['/srv/.', '/srv/./..'],
      ['/a b/ü', '/a b'],
    ];
    for (const [from, up] of cases) assert.equal(m.parentPath(from), up, from);
  });

  it('joins a name to a folder with one slash', () => {
    assert.equal(m.joinPath('/', 'srv'), '/srv');
    assert.equal(m.joinPath('/srv', 'varra'), '/srv/varra');
    assert.equal(m.joinPath('/srv/', 'a/b'), '/srv/a/b');
  });

  it('makes typed paths absolute without resolving them', () => {
    const cases = [
      ['/srv/varra/', '/srv/varra'],
      ['  /srv/varra  ', '/srv/varra'],
      ['~', '/home/owner'],
      ['~/servers/', '/home/owner/servers'],
      ['varra', '/srv/varra'],
      ['../x', '/srv/../x'],
      ['/', '/'],
      ['', null],
      ['   ', null],
    ];
    for (const [typed, made] of cases) assert.equal(m.typedPath(typed, '/srv', '/home/owner'), made, typed);
  });

  it('walks Windows paths: drives and shares are the top, either slash splits', () => {
    const up = [
      ['C:\\Games\\Varra', 'C:\\Games'],
      ['C:\\Games\\', 'C:\\'],
      ['C:\\', null],
      ['c:/games/varra/', 'c:/games'],
      ['Z:\\tmp\\..', 'Z:\\tmp\\..\\..'],
      ['\\\\nas\\share\\varra', '\\\\nas\\share\\'],
      ['\\\\nas\\share\\', null],
    ];
    for (const [from, to] of up) assert.equal(m.parentPath(from, '\\'), to, from);
    assert.equal(m.joinPath('C:\\', 'Games', '\\'), 'C:\\Games');
    assert.equal(m.joinPath('C:\\Games', 'Varra', '\\'), 'C:\\Games\\Varra');
    assert.equal(m.joinPath('c:/games/', 'varra', '\\'), 'c:/games/varra');
    const typed = [
      ['D:\\Servers\\', 'D:\\Servers'],
      ['D:', 'D:\\'],
      ['d:/servers', 'd:/servers'],
      ['~', 'C:\\Users\\owner'],
      ['~\\Servers\\', 'C:\\Users\\owner\\Servers'],
      ['Varra', 'Z:\\srv\\Varra'],
      ['\\Games', 'Z:\\Games'],
      ['\\\\nas\\share', '\\\\nas\\share'],
      // Device paths are not folders; typed, they stay inside the current one.
      ['\\\\.\\pipe', 'Z:\\\\.\\pipe'],
      ['/srv', 'Z:/srv'],
      ['  ', null],
    ];
    for (const [text, made] of typed) assert.equal(m.typedPath(text, 'Z:\\srv', 'C:\\Users\\owner', '\\'), made, text);
    const entries = [{ name: 'Varra', folder: true }, { name: 'server.cfg', folder: false }];
    assert.deepEqual(m.choice('folder', 'C:\\Games', entries, [0], '\\'), { paths: ['C:\\Games\\Varra'] });
    assert.deepEqual(m.choice('files', 'C:\\Games', entries, [1], '\\'), { paths: ['C:\\Games\\server.cfg'] });
  });
});

describe('selection', () => {
  const none = { selected: [], anchor: null };
  it('selects one row alone unless several may be chosen and a modifier is held', () => {
    const cases = [
      [{ selected: [1, 2], anchor: 1 }, 4, {}, [4], 4],
      [{ selected: [1], anchor: 1 }, 4, { toggle: true }, [4], 4],
      [{ selected: [1], anchor: 1 }, 4, { toggle: true, several: true }, [1, 4], 4],
      [{ selected: [1, 4], anchor: 4 }, 1, { toggle: true, several: true }, [4], 1],
      [{ selected: [2], anchor: 2 }, 5, { range: true, several: true }, [2, 3, 4, 5], 2],
      [{ selected: [5], anchor: 5 }, 3, { range: true, several: true }, [3, 4, 5], 5],
      [none, 3, { range: true, several: true }, [3], 3],
    ];
    for (const [current, index, options, selected, anchor] of cases) {
      assert.deepEqual(m.selectRow(current, index, options), { selected, anchor }, JSON.stringify([current, index, options]));
    }
  });

  it('moves the cursor inside the list', () => {
    const cases = [
      ['next', null, 3, 0],
      ['next', 2, 3, 2],
      ['previous', 0, 3, 0],
      ['previous', 2, 3, 1],
      ['first', 2, 3, 0],
      ['last', 0, 3, 2],
      ['toggle', null, 3, 0],
      ['next', null, 0, null],
    ];
    for (const [action, cursor, count, moved] of cases) assert.equal(m.moveCursor(action, cursor, count), moved, `${action} ${cursor}`);
  });
});

describe('what Choose does', () => {
  const entries = [
    { name: 'mods', folder: true },
    { name: 'caf\uFFFD', folder: true, broken: true },
    { name: 'roar.wav', folder: false },
    { name: 'step.ogg', folder: false },
  ];
  it('answers with the right paths, opens a lone folder in a file dialog, or does nothing', () => {
    const cases = [
      ['folder', [], { paths: ['/srv'] }],
      ['folder', [0], { paths: ['/srv/mods'] }],
      ['folder', [1], { paths: ['/srv'] }],
      ['files', [2, 3], { paths: ['/srv/roar.wav', '/srv/step.ogg'] }],
      ['files', [0, 3], { paths: ['/srv/step.ogg'] }],
      ['files', [0], { open: '/srv/mods' }],
      ['files', [1], null],
      ['files', [], null],
    ];
    for (const [kind, selected, expected] of cases) assert.deepEqual(m.choice(kind, '/srv', entries, selected), expected, `${kind} ${selected}`);
  });
});

describe('keys', () => {
  it('cancels on Escape anywhere, goes from the path field, chooses and moves in the list', () => {
    const cases = [
      ['Escape', 'path', 'cancel'],
      ['Escape', 'control', 'cancel'],
      ['Escape', 'list', 'cancel'],
      ['Enter', 'path', 'go'],
      ['Enter', 'list', 'choose'],
      ['Enter', 'control', null],
      ['Backspace', 'path', null],
      ['Backspace', 'list', 'up'],
      ['ArrowLeft', 'path', null],
      ['ArrowDown', 'list', 'next'],
      [' ', 'list', 'toggle'],
      [' ', 'control', null],
      ['a', 'list', null],
    ];
    for (const [key, where, action] of cases) assert.equal(m.keyAction(key, where), action, `${key} in ${where}`);
  });
});

describe('texts', () => {
  it('counts what is shown and what is left out', () => {
    assert.equal(m.countText('folder', 0, 0), 'No folders here');
    assert.equal(m.countText('folder', 1, 0), '1 folder');
    assert.equal(m.countText('files', 5000, 95000), '5,000 items, and 95,000 more not shown (type a path to reach them)');
  });
});

describe('view', () => {
  it('escapes every name and title from the host and marks broken names', () => {
    const html = m.rowsHtml([{ name: '<img src=x onerror=alert(1)>', folder: false }, { name: 'a"b', folder: true, broken: true }]);
    assert.ok(!html.includes('<img'), html);
    assert.ok(html.includes('&lt;img'), html);
    assert.ok(html.includes('aria-disabled="true"'), html);
    assert.equal((html.match(/role="option"/g) || []).length, 2);
    const frame = m.pickerHtml({ id: 1, kind: 'files', title: '<b>x</b>', filters: [{ label: 'A', patterns: ['*.a'] }, { label: '<B>', patterns: ['*.b'] }] });
    assert.ok(!frame.includes('<b>x</b>') && frame.includes('&lt;b&gt;x'), 'title escaped');
    assert.ok(frame.includes('data-pick-field="filter"') && frame.includes('&lt;B&gt;'), 'a list of filters when there are several');
    assert.ok(frame.includes('aria-multiselectable="true"'));
    assert.ok(m.pickerHtml({ id: 1, kind: 'folder', title: '', filters: [] }).includes('aria-multiselectable="false"'));
  });
});

describe('router', () => {
  it('hands dialog and dialogEnd to the picker and nothing else', () => {
    const seen = [];
    const route = m.createRouter({
      page: {},
      send() {},
      render() {},
      notice() {},
      deliver: (key, msg) => seen.push(['deliver', key, msg.type]),
      picker: { show: (msg) => seen.push(['show', msg.id]), end: (msg) => seen.push(['end', msg.id]) },
    });
    route({ type: 'dialog', id: 3 });
    route({ type: 'dialogEnd', id: 3 });
    route({ type: 'species' });
    assert.deepEqual(seen, [['show', 3], ['end', 3], ['deliver', 'species', 'species']]);
  });
});
