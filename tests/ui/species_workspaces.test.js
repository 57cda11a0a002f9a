'use strict';
// The species message into the page's workspaces: vanished ones dropped, unsaved ones kept,
// a save counted as done when the host echoes it, broken files reported once, imports taken
// over; and the build section's rules and the live log.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

let sp;
before(async () => {
  const dir = path.join(__dirname, '..', '..', 'ui', 'pages', 'species');
  const mods = await Promise.all(['document.js', 'workspaces.js', 'build_rules.js', 'templates.js'].map((f) => import(pathToFileURL(path.join(dir, f)).href)));
  sp = Object.assign({}, ...mods);
});

const item = (name, json = '', more = {}) => ({ name, json, inspect: '', log: '', pak: false, remoteJob: false, ...more });
const message = (items, more = {}) => ({
  type: 'species', kit: true, helper: true, busy: false,
  build: { api: 'http://x', signedIn: true, name: 'Ann', steamId: '7', signingIn: false }, hosts: [], items, ...more,
});
const INSPECT = JSON.stringify({
  mesh: { file: 'rex.fbx', triangles: 1, bones: 2, lengthCm: 3, materials: [] },
  animations: [{ file: 'Idle.fbx', id: 'idle', seconds: 2, suggest: { role: 'idle', x: 0, y: 0 } }],
  textures: [],
  warnings: [],
});

describe('loading the species message', () => {
  it('parses each workspace, drops vanished ones and keeps unsaved documents', () => {
    const store = sp.createStore();
    sp.loadSpeciesMessage(store, message([item('rex', '{"label":"Rex"}'), item('ant', '')]));
    assert.deepEqual(Array.from(store.items.keys()), ['rex', 'ant']);
    assert.equal(store.items.get('ant').doc.name, 'ant');
    const rex = store.items.get('rex');
    rex.doc.label = 'Typed';
    sp.touch(rex);
    const notices = sp.loadSpeciesMessage(store, message([item('rex', '{"label":"On disk"}', { pak: true, log: 'old log' })]));
    assert.deepEqual(notices, []);
    assert.deepEqual(Array.from(store.items.keys()), ['rex']);
    assert.equal(rex.doc.label, 'Typed');
    assert.equal(rex.unsaved, true);
    // The file facts still follow the host.
    assert.deepEqual([rex.pak, rex.log], [true, 'old log']);
  });

  it('counts a save as done only when the host hands back the text that was sent', () => {
    const store = sp.createStore();
    sp.loadSpeciesMessage(store, message([item('rex', '{}')]));
    const rex = store.items.get('rex');
    rex.doc.label = 'Rex';
    sp.touch(rex);
    rex.pending = sp.speciesText(rex.doc);
    sp.loadSpeciesMessage(store, message([item('rex', '{}')]));
    assert.equal(rex.unsaved, true, 'an older text is no echo');
    sp.loadSpeciesMessage(store, message([item('rex', rex.pending)]));
    assert.deepEqual([rex.unsaved, rex.pending], [false, null]);
    sp.loadSpeciesMessage(store, message([item('rex', '{"label":"Changed by hand"}')]));
    assert.equal(rex.doc.label, 'Changed by hand');
  });

  it('reports broken JSON once, keeps the workspace listed and lets a save replace it', () => {
    const store = sp.createStore();
    const first = sp.loadSpeciesMessage(store, message([item('rex', '{"label":')]));
    assert.deepEqual(first, [{ text: 'species.json is not valid JSON. Saving replaces it.', error: true }]);
    assert.equal(store.items.get('rex').invalid, true);
    assert.deepEqual(sp.loadSpeciesMessage(store, message([item('rex', '{"label":')])), []);
    sp.loadSpeciesMessage(store, message([item('rex', '{"label":"Fixed"}')]));
    assert.deepEqual([store.items.get('rex').invalid, store.items.get('rex').doc.label], [false, 'Fixed']);
  });

  it('takes over a new import once, links it and marks the workspace unsaved', () => {
    const store = sp.createStore();
    const notices = sp.loadSpeciesMessage(store, message([item('rex', '{}', { inspect: INSPECT })]));
    const rex = store.items.get('rex');
    assert.deepEqual(notices, [{ text: 'Linked 1 animations from their file names.', error: false }]);
    assert.deepEqual([rex.doc.source.mesh, rex.unsaved, rex.inspect.animations[0].seconds], ['rex.fbx', true, 2]);
    assert.deepEqual(rex.doc.animations.idle, { anim: 'idle', rate: 1 });
    assert.deepEqual(sp.loadSpeciesMessage(store, message([item('rex', '{}', { inspect: INSPECT })])), []);
    // A definition that names a model already is not overwritten by a later import.
    const named = sp.createStore();
    sp.loadSpeciesMessage(named, message([item('ant', '{"source":{"mesh":"mine.fbx"}}', { inspect: INSPECT })]));
    assert.deepEqual([named.items.get('ant').doc.source.mesh, named.items.get('ant').unsaved], ['mine.fbx', false]);
  });

  it('marks an inspect.json it cannot read, and takes nothing over from it', () => {
    const store = sp.createStore();
    sp.loadSpeciesMessage(store, message([item('rex', '{}', { inspect: '{"mesh":' })]));
    const rex = store.items.get('rex');
    assert.deepEqual([rex.inspect, rex.inspectBroken, rex.unsaved, rex.doc.source.mesh], [null, true, false, '']);
    sp.loadSpeciesMessage(store, message([item('rex', '{}', { inspect: INSPECT })]));
    assert.deepEqual([rex.inspectBroken, rex.doc.source.mesh], [false, 'rex.fbx']);
  });

  it('reads the flags, the sign-in and the templates, whatever their shape', () => {
    const store = sp.createStore();
    const hosts = ['{"species":"Rex","label":"T. rex","stats":{"health":900},"abilities":["bite",3]}', 'not json', '{"label":"x"}'];
    sp.loadSpeciesMessage(store, { type: 'species', kit: 'yes', busy: true, build: 'x', hosts, items: 'none' });
    assert.deepEqual([store.kit, store.busy, store.build.signedIn, store.items.size], [false, true, false, 0]);
    assert.deepEqual(store.hosts.get('rex'), { label: 'T. rex', stats: { health: 900 }, abilities: ['bite'] });
    const choices = sp.templateChoices(store.hosts);
    assert.deepEqual(choices.slice(0, 2), [['allosaurus', 'allosaurus'], ['austroraptor', 'austroraptor']]);
    assert.ok(choices.some(([k, l]) => k === 'rex' && l === 'T. rex'));
    assert.deepEqual(choices.map(([k]) => k), choices.map(([k]) => k).slice().sort());
  });
});

describe('build rules', () => {
  function setup(edit) {
    const store = sp.createStore();
    sp.loadSpeciesMessage(store, message([item('rex', '{"source":{"mesh":"rex.fbx"}}')]));
    const ws = store.items.get('rex');
    edit(store, ws);
    return { remote: sp.remoteBlock(store, ws), local: sp.localBlock(store, ws) };
  }
  const cases = [
    ['nothing in the way', () => {}, '', ''],
    ['signed out', (s) => { s.build.signedIn = false; }, 'Sign in first.', ''],
    ['signed out and busy', (s) => { s.build.signedIn = false; s.busy = true; }, 'Sign in first.', 'An import or build is running.'],
    ['busy and unsaved', (s, ws) => { s.busy = true; ws.unsaved = true; }, 'An import or upload is running.', 'An import or build is running.'],
    ['unsaved without model', (s, ws) => { ws.unsaved = true; ws.doc.source.mesh = ''; }, 'Save first.', 'Save first.'],
    ['a broken file counts as unsaved', (s, ws) => { ws.invalid = true; }, 'Save first.', 'Save first.'],
    ['no model', (s, ws) => { ws.doc.source.mesh = ''; ws.remoteJob = true; }, 'Import a model first.', 'Import a model first.'],
    ['a stored job', (s, ws) => { ws.remoteJob = true; }, 'A build of this species is on its way.', 'A build of this species is on its way.'],
    ['uploading', (s, ws) => { ws.remote = { state: 'uploading', detail: 'Uploading 50 %' }; }, 'A build of this species is on its way.', 'A build of this species is on its way.'],
    ['a failed build', (s, ws) => { ws.remote = { state: 'failed', detail: 'x' }; }, '', ''],
    ['no kit', (s) => { s.kit = false; }, '', 'The species-kit folder was not found next to the tool.'],
  ];
  for (const [name, edit, remote, local] of cases) it(name, () => assert.deepEqual(setup(edit), { remote, local }));

  it('offers Cancel while queued or running and Check it for a stored job nobody follows', () => {
    const ws = sp.newWorkspace('rex');
    const offers = () => [sp.canCancel(ws), !!sp.canCheck(ws)];
    assert.deepEqual(offers(), [false, false]);
    ws.remoteJob = true;
    assert.deepEqual(offers(), [false, true]);
    for (const [state, want] of [['preparing', [false, false]], ['queued', [true, false]], ['running', [true, false]], ['lost', [false, true]]]) {
      ws.remote = { state, detail: '' };
      assert.deepEqual(offers(), want, state);
    }
  });

  it('uploads the model, animation and sound files once each', () => {
    const doc = sp.normalizeSpecies({
      source: { mesh: 'rex.fbx', animations: [{ file: 'rex.fbx', id: 'a' }, { file: 'anims/run.fbx', id: 'b' }], sounds: [{ id: 's', file: 'Sounds/s.wav' }] },
    }, 'rex');
    assert.equal(sp.buildFiles(doc), 'rex.fbx|anims/run.fbx|Sounds/s.wav');
    assert.equal(sp.buildFiles(sp.normalizeSpecies({}, 'rex')), '');
  });

  it('keeps the last 400 live lines and shows the stored log when there are none', () => {
    const ws = sp.newWorkspace('rex');
    ws.log = 'stored';
    assert.equal(sp.logText(ws), 'stored');
    for (let i = 1; i <= 401; i++) sp.appendLog(ws, `line ${i}`);
    assert.equal(ws.liveLog.length, 400);
    assert.deepEqual([ws.liveLog[0], ws.liveLog[399]], ['line 2', 'line 401']);
    assert.ok(sp.logText(ws).startsWith('line 2\n'));
    // A species message with a new stored log ends the live one; one with the same log does not.
    const store = sp.createStore();
    store.items.set('rex', ws);
    sp.loadSpeciesMessage(store, message([item('rex', '', { log: 'stored' })]));
    assert.equal(ws.liveLog.length, 400);
    sp.loadSpeciesMessage(store, message([item('rex', '', { log: 'new build' })]));
    assert.deepEqual([ws.liveLog, sp.logText(ws)], [[], 'new build']);
    assert.equal(sp.pakLine('rex'), 'client-mods\\species_rex.pak');
  });
});
