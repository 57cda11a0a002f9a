'use strict';
// Editing brains and spawners, and the AI page's traffic with the host: what it loads,
// what it refuses to overwrite, what it checks and what it sends on save.
const { describe, it, before, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

// The page's pure modules, gathered under one name the way the cases below refer to them.
const AI_MODULES = ['documents.js', 'lua.js', 'edits.js', 'editor.js', 'views.js'];
let ai;
let base64Utf8;
before(async () => {
  const ui = path.join(__dirname, '..', '..', 'ui');
  const dir = path.join(ui, 'pages', 'ai');
  const modules = await Promise.all(AI_MODULES.map((file) => import(pathToFileURL(path.join(dir, file)).href)));
  ai = Object.assign({}, ...modules);
  ({ base64Utf8 } = await import(pathToFileURL(path.join(ui, 'lib', 'base64.js')).href));
});

function model(brainNames, spawners, wild) {
  const m = ai.emptyModel();
  for (const name of brainNames) m.brains.set(name, ai.presetBrain('custom'));
  m.spawners = (spawners || []).map((s) => ai.normalizeSpawner(s));
  m.wild = new Map(Object.entries(wild || {}));
  return m;
}

describe('new, duplicate and rename', () => {
  it('names a new brain after its preset, "brain" for Blank, with a free name', () => {
    const m = model(['predator']);
    assert.equal(ai.newBrain(m, 'predator'), 'predator_2');
    assert.equal(m.brains.get('predator_2').label, 'Predator');
    assert.equal(ai.newBrain(m, 'custom'), 'brain');
    assert.equal(m.brains.get('brain').label, '');
    assert.equal(ai.newBrain(m, 'custom'), 'brain_2');
  });

  it('duplicates wolf as wolf_copy_2 when wolf_copy exists, as a separate copy', () => {
    const m = model(['wolf', 'wolf_copy']);
    m.brains.get('wolf').senses.sightRange = 1234;
    const copy = ai.duplicateBrain(m, 'wolf');
    assert.equal(copy, 'wolf_copy_2');
    assert.equal(m.brains.get(copy).senses.sightRange, 1234);
    m.brains.get(copy).senses.sightRange = 1;
    assert.equal(m.brains.get('wolf').senses.sightRange, 1234);
  });

  it('renames with a cleaned name and brings spawners and wild animals along', () => {
    const m = model(['wolf', 'bear'], [{ id: 'a', brain: 'wolf' }, { id: 'b', brain: 'bear' }], { deer: 'wolf', boar: 'bear' });
    const result = ai.renameBrain(m, 'wolf', '  Dire_Wolf ');
    assert.deepEqual(result, { name: 'dire_wolf', brains: true, spawns: true });
    assert.deepEqual(Array.from(m.brains.keys()).sort(), ['bear', 'dire_wolf']);
    assert.deepEqual(m.spawners.map((s) => s.brain), ['dire_wolf', 'bear']);
    assert.deepEqual(Object.fromEntries(m.wild), { deer: 'dire_wolf', boar: 'bear' });
  });

  it('reports when no spawner or wild entry followed', () => {
    const m = model(['wolf'], [{ id: 'a', brain: '' }]);
    assert.deepEqual(ai.renameBrain(m, 'wolf', 'fox'), { name: 'fox', brains: true, spawns: false });
  });

  it('refuses bad and taken names and changes nothing', () => {
    const m = model(['wolf', 'bear'], [{ id: 'a', brain: 'wolf' }]);
    assert.deepEqual(ai.renameBrain(m, 'wolf', 'big wolf'), { error: 'Names use 1 to 32 characters of a-z, 0-9 and _.' });
    assert.deepEqual(ai.renameBrain(m, 'wolf', ''), { error: 'Names use 1 to 32 characters of a-z, 0-9 and _.' });
    assert.deepEqual(ai.renameBrain(m, 'wolf', 'x'.repeat(33)), { error: 'Names use 1 to 32 characters of a-z, 0-9 and _.' });
    assert.deepEqual(ai.renameBrain(m, 'wolf', ' BEAR'), { error: 'A brain called "bear" exists already.' });
    assert.deepEqual(Array.from(m.brains.keys()).sort(), ['bear', 'wolf']);
    assert.equal(m.spawners[0].brain, 'wolf');
  });

  it('treats the same name as no change', () => {
    const m = model(['wolf']);
    assert.deepEqual(ai.renameBrain(m, 'wolf', 'WOLF'), { name: 'wolf', brains: false, spawns: false });
  });
});

describe('delete a brain', () => {
  it('sends its spawners back to the game AI and removes its wild entries', () => {
    const m = model(['wolf', 'bear'], [{ id: 'a', brain: 'wolf' }, { id: 'b', brain: 'bear' }], { deer: 'wolf', goat: 'wolf', boar: 'bear' });
    const result = ai.deleteBrain(m, 'wolf');
    assert.deepEqual(result, { notice: 'Deleted "wolf". After saving, animals that used it go back to the game AI.', spawns: true });
    assert.equal(m.brains.has('wolf'), false);
    assert.deepEqual(m.spawners.map((s) => s.brain), ['', 'bear']);
    assert.deepEqual(Object.fromEntries(m.wild), { boar: 'bear' });
  });

  it('leaves the spawns alone when nothing used the brain', () => {
    const m = model(['wolf'], [{ id: 'a' }], { deer: 'other' });
    assert.equal(ai.deleteBrain(m, 'wolf').spawns, false);
    assert.equal(ai.deleteBrain(m, 'wolf'), null);
  });
});

describe('spawners', () => {
  it('makes new spawners with free ids and the selected brain', () => {
    const m = model(['wolf'], [{ id: 'spawner' }]);
    const made = ai.newSpawner(m, 'wolf');
    assert.equal(made.id, 'spawner_2');
    assert.equal(made.brain, 'wolf');
    assert.equal(made.radius, 3000);
    assert.equal(ai.newSpawner(m, '').brain, '');
    assert.equal(m.spawners.length, 3);
  });

  it('checks id changes like names', () => {
    const m = model([], [{ id: 'one' }, { id: 'two' }]);
    assert.deepEqual(ai.changeSpawnerId(m, 0, 'no way'), { error: 'Ids use 1 to 32 characters of a-z, 0-9 and _.' });
    assert.deepEqual(ai.changeSpawnerId(m, 0, 'Two '), { error: 'A spawner with the id "two" exists already.' });
    assert.deepEqual(m.spawners.map((s) => s.id), ['one', 'two']);
    assert.deepEqual(ai.changeSpawnerId(m, 0, ' Nest_1'), { id: 'nest_1', changed: true });
    assert.deepEqual(ai.changeSpawnerId(m, 0, 'nest_1'), { id: 'nest_1', changed: false });
    assert.equal(m.spawners[0].id, 'nest_1');
  });

  it('says what deleting one means', () => {
    const m = model([], [{ id: 'nest' }, { id: 'den' }]);
    assert.deepEqual(ai.deleteSpawner(m, 0), { notice: 'Deleted "nest". After saving, its animals are removed from the world.' });
    assert.deepEqual(m.spawners.map((s) => s.id), ['den']);
    assert.equal(ai.deleteSpawner(m, 5), null);
  });
});

describe('save checks', () => {
  it('passes a clean model', () => {
    assert.equal(ai.saveProblem(model(['wolf'], [{ id: 'a' }, { id: 'b' }])), '');
  });

  it('names a brain name that breaks the rule', () => {
    assert.equal(ai.saveProblem(model(['wolf', 'Big Wolf'])), 'Brain name "Big Wolf" needs 1 to 32 characters of a-z, 0-9 and _.');
  });

  it('names a spawner id that breaks the rule, an empty one included', () => {
    assert.equal(ai.saveProblem(model([], [{ id: 'ok' }, { id: 'Nest!' }])), 'Spawner id "Nest!" needs 1 to 32 characters of a-z, 0-9 and _.');
    assert.equal(ai.saveProblem(model([], [{}])), 'Spawner id "" needs 1 to 32 characters of a-z, 0-9 and _.');
  });

  it('names an id two spawners share', () => {
    assert.equal(ai.saveProblem(model([], [{ id: 'a' }, { id: 'b' }, { id: 'a' }])), 'Two spawners share the id "a".');
  });
});

describe('the editor and the host', () => {
  let sent;
  let notices;
  let editor;

  const brainsText = (brains) => JSON.stringify({ version: 1, brains });
  const decode = (b64) => Buffer.from(b64, 'base64').toString('utf8');

  beforeEach(() => {
    sent = [];
    notices = [];
    editor = ai.createAiEditor({
      send: (m) => sent.push(m),
      notice: (text, error) => notices.push([text, error]),
      base64: base64Utf8,
    });
  });

  it('reads empty texts as no brains and no spawners without a notice', () => {
    assert.equal(editor.load({ brains: '', spawns: '' }), true);
    assert.equal(editor.model.brains.size, 0);
    assert.equal(editor.model.spawners.length, 0);
    assert.deepEqual(notices, []);
  });

  it('reports broken files with their own notices, once per text', () => {
    editor.load({ brains: '{"brains":', spawns: 'nope' });
    assert.deepEqual(notices, [
      ['brains.json is not valid JSON. Fix it by hand or save to replace it.', true],
      ['spawns.json is not valid JSON. Fix it by hand or save to replace it.', true],
    ]);
    editor.load({ brains: '{"brains":', spawns: 'nope' });
    assert.equal(notices.length, 2);
    assert.deepEqual(sent, [], 'nothing goes to the host until the user saves');
  });

  it('parses only when the text changed', () => {
    editor.load({ brains: brainsText({ wolf: {} }), spawns: '' });
    const wolf = editor.model.brains.get('wolf');
    assert.equal(editor.load({ brains: brainsText({ wolf: {} }), spawns: '' }), false);
    assert.equal(editor.model.brains.get('wolf'), wolf);
    editor.load({ brains: brainsText({ wolf: {}, bear: {} }), spawns: '' });
    assert.deepEqual(Array.from(editor.model.brains.keys()), ['wolf', 'bear']);
  });

  it('does not overwrite unsaved brains, but does take new spawns', () => {
    editor.load({ brains: brainsText({ wolf: {} }), spawns: '' });
    ai.newBrain(editor.model, 'guard');
    editor.touch('brains');
    editor.load({ brains: brainsText({ other: {} }), spawns: '{"spawners":[{"id":"x"}]}' });
    assert.deepEqual(Array.from(editor.model.brains.keys()), ['wolf', 'guard']);
    assert.equal(editor.model.spawners[0].id, 'x');
  });

  it('sends only the changed document', () => {
    editor.load({ brains: brainsText({ wolf: {} }), spawns: '' });
    editor.model.brains.get('wolf').pack.size = 3;
    editor.touch('brains');
    assert.deepEqual(editor.save(), ['brains']);
    assert.equal(sent.length, 1);
    assert.equal(sent[0].cmd, 'saveAi');
    assert.equal(sent[0].file, 'brains');
    const text = decode(sent[0].data);
    assert.equal(text, JSON.stringify(JSON.parse(text), null, 2));
    assert.equal(JSON.parse(text).brains.wolf.pack.size, 3);
  });

  it('sends brains before spawns, each as base64 of its UTF-8 text', () => {
    editor.load({ brains: '', spawns: '' });
    const name = ai.newBrain(editor.model, 'prey');
    editor.model.brains.get(name).label = 'Rêh 🦌';
    editor.touch('brains');
    ai.newSpawner(editor.model, name);
    editor.touch('spawns');
    editor.save();
    assert.deepEqual(sent.map((m) => [m.cmd, m.file]), [['saveAi', 'brains'], ['saveAi', 'spawns']]);
    assert.equal(JSON.parse(decode(sent[0].data)).brains.prey.label, 'Rêh 🦌');
    const spawns = JSON.parse(decode(sent[1].data));
    assert.deepEqual(spawns.spawners.map((s) => [s.id, s.brain]), [['spawner', 'prey']]);
    assert.deepEqual(spawns.wild, {});
  });

  it('sends nothing and says why when a check fails', () => {
    editor.load({ brains: brainsText({ 'Bad Name': {} }), spawns: '' });
    ai.newBrain(editor.model, 'guard');
    editor.touch('brains');
    assert.deepEqual(editor.save(), []);
    assert.deepEqual(sent, []);
    assert.deepEqual(notices, [['Brain name "Bad Name" needs 1 to 32 characters of a-z, 0-9 and _.', true]]);
  });

  it('sends nothing when nothing changed', () => {
    editor.load({ brains: brainsText({ wolf: {} }), spawns: '' });
    assert.deepEqual(editor.save(), []);
    assert.deepEqual(sent, []);
  });

  it('replaces a broken file on save even without edits', () => {
    editor.load({ brains: '{oops', spawns: '' });
    assert.deepEqual(editor.save(), ['brains']);
    assert.deepEqual(JSON.parse(decode(sent[0].data)), { version: 1, brains: {} });
  });

  it('counts a document as saved once the host hands back the text it was sent', () => {
    editor.load({ brains: '', spawns: '' });
    ai.newBrain(editor.model, 'predator');
    editor.touch('brains');
    editor.save();
    const written = decode(sent[0].data);
    assert.equal(editor.unsaved(), false, 'the save is on its way');
    // A state from before the write still must not replace the model.
    editor.load({ brains: '', spawns: '' });
    assert.equal(editor.model.brains.has('predator'), true);
    assert.equal(editor.needsSave('brains'), true);
    editor.load({ brains: written, spawns: '' });
    assert.equal(editor.needsSave('brains'), false);
    // From now on the host's text wins again.
    editor.load({ brains: '', spawns: '' });
    assert.equal(editor.model.brains.size, 0);
  });

  it('keeps an edit made while a save was on its way', () => {
    editor.load({ brains: '', spawns: '' });
    ai.newBrain(editor.model, 'predator');
    editor.touch('brains');
    editor.save();
    const written = decode(sent[0].data);
    ai.newBrain(editor.model, 'prey');
    editor.touch('brains');
    editor.load({ brains: written, spawns: '' });
    assert.deepEqual(Array.from(editor.model.brains.keys()).sort(), ['predator', 'prey']);
    assert.equal(editor.unsaved(), true);
  });

  it('reverts to the host\'s texts and asks for fresh ones', () => {
    editor.load({ brains: brainsText({ wolf: {} }), spawns: '{"spawners":[{"id":"den"}]}' });
    ai.deleteBrain(editor.model, 'wolf');
    editor.touch('brains');
    editor.model.spawners.length = 0;
    editor.touch('spawns');
    editor.revert();
    assert.deepEqual(sent, [{ cmd: 'refresh' }]);
    assert.deepEqual(Array.from(editor.model.brains.keys()), ['wolf']);
    assert.deepEqual(editor.model.spawners.map((s) => s.id), ['den']);
    assert.equal(editor.unsaved(), false);
    assert.equal(editor.needsSave('brains') || editor.needsSave('spawns'), false);
  });

  it('keeps wild entries with a brain through a load and a save', () => {
    editor.load({ brains: '', spawns: JSON.stringify({ version: 1, spawners: [], wild: { deer: 'prey', boar: '' } }) });
    editor.touch('spawns');
    editor.save();
    assert.deepEqual(JSON.parse(decode(sent[0].data)).wild, { deer: 'prey' });
  });
});

describe('page markup', () => {
  it('escapes every name and text that came from the files', () => {
    const editor = ai.createAiEditor({ send() {}, notice() {}, base64: base64Utf8 });
    const evil = '<img src=x onerror="alert(1)">';
    editor.load({
      brains: JSON.stringify({ brains: { [evil]: { label: evil } } }),
      spawns: JSON.stringify({ spawners: [{ id: evil, label: evil, brain: evil }], wild: { [evil]: evil } }),
    });
    for (const view of ['brains', 'spawners', 'wild']) {
      const html = ai.pageHtml(editor, { view, selected: evil, preset: 'custom' }, true);
      assert.doesNotMatch(html, /<img/, view);
      assert.match(html, /&lt;img src=x onerror=&quot;alert\(1\)&quot;&gt;/, view);
    }
  });

  it('lists brains sorted with their summaries', () => {
    const editor = ai.createAiEditor({ send() {}, notice() {}, base64: base64Utf8 });
    editor.load({ brains: JSON.stringify({ brains: { zed: { preset: 'prey' }, alf: { preset: 'guard', pack: { size: 5 }, temperament: { aggression: 1 } } } }), spawns: '' });
    const html = ai.pageHtml(editor, { view: 'brains', selected: 'alf', preset: 'custom' }, true);
    assert.ok(html.indexOf('data-name="alf"') < html.indexOf('data-name="zed"'));
    assert.match(html, /Guard · aggression 100% · pack of 5/);
    assert.match(html, /Prey · aggression 0%</);
    for (const title of ['Senses', 'Movement', 'Targets', 'Temperament', 'Attack', 'Pack', 'Idle', 'Body and despawn', 'Lua']) {
      assert.match(html, new RegExp(`<h3 class="card-title">${title}</h3>`), title);
    }
  });

  it('shows a warning for each broken file', () => {
    const editor = ai.createAiEditor({ send() {}, notice() {}, base64: base64Utf8 });
    editor.load({ brains: '{', spawns: '' });
    const html = ai.pageHtml(editor, { view: 'brains', selected: '', preset: 'custom' }, true);
    assert.match(html, /brains\.json is not valid JSON\. Fix it by hand or save to replace it\./);
    assert.doesNotMatch(html, /spawns\.json is not valid/);
  });
});
