'use strict';
// What the AI page's clicks and changes do to the model, which document they mark and how
// much of the panel they ask to redraw.
const { describe, it, before, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

let A;
let ctx;
let notices;

before(async () => {
  const dir = path.join(__dirname, '..', '..', 'ui', 'pages', 'ai');
  const load = (file) => import(pathToFileURL(path.join(dir, file)).href);
  const [actions, editor] = await Promise.all([load('actions.js'), load('editor.js')]);
  A = { ...actions, ...editor };
});

beforeEach(() => {
  notices = [];
  const editor = A.createAiEditor({ base64: (t) => t });
  editor.load({
    brains: JSON.stringify({ brains: { wolf: {}, bear: {} } }),
    spawns: JSON.stringify({ spawners: [{ id: 'den', brain: 'wolf' }], wild: { deer: 'wolf' } }),
  });
  const preset = { value: 'guard' };
  ctx = {
    editor,
    ui: { view: 'brains', selected: 'wolf', preset: 'predator' },
    notice: (text, error) => notices.push([text, error]),
    panel: { querySelector: (sel) => (sel === '#ai-preset' ? preset : null) },
  };
});

const el = (dataset, value) => ({ dataset, value });
const dirty = () => ({ ...ctx.editor.dirty });

describe('clicks', () => {
  const cases = [
    ['picks a view', { action: 'view', view: 'wild' }, 'page', () => assert.equal(ctx.ui.view, 'wild'), { brains: false, spawns: false }],
    ['makes a brain from the chosen preset', { action: 'new-brain' }, 'page', () => {
      assert.equal(ctx.ui.preset, 'guard');
      assert.equal(ctx.ui.selected, 'guard');
    }, { brains: true, spawns: false }],
    ['deletes the brain with its notice, marking both files', { action: 'delete-brain' }, 'page', () => {
      assert.deepEqual(notices, [['Deleted "wolf". After saving, animals that used it go back to the game AI.', false]]);
    }, { brains: true, spawns: true }],
    ['adds an ability row', { action: 'add-ability' }, 'page', () => {
      assert.equal(ctx.editor.model.brains.get('wolf').attack.abilities.length, 1);
    }, { brains: true, spawns: false }],
    ['adds a spawner with the selected brain', { action: 'new-spawner' }, 'page', () => {
      assert.deepEqual(ctx.editor.model.spawners.map((s) => [s.id, s.brain]), [['den', 'wolf'], ['spawner', 'wolf']]);
    }, { brains: false, spawns: true }],
    ['ignores a spawner row that is gone', { action: 'delete-spawner', row: '4' }, undefined, () => {
      assert.equal(ctx.editor.model.spawners.length, 1);
    }, { brains: false, spawns: false }],
    ['ignores actions it does not know, Object members included', { action: 'toString' }, undefined, () => {}, { brains: false, spawns: false }],
  ];
  for (const [name, dataset, redraw, check, marked] of cases) {
    it(name, () => {
      assert.equal(A.click(ctx, el(dataset)), redraw);
      check();
      assert.deepEqual(dirty(), marked);
    });
  }

  it('stops adding idle rows at 16', () => {
    for (let i = 0; i < 16; i++) assert.equal(A.click(ctx, el({ action: 'add-idle' })), 'page');
    assert.equal(A.click(ctx, el({ action: 'add-idle' })), undefined);
    assert.equal(ctx.editor.model.brains.get('wolf').idle.length, 16);
  });
});

describe('changes', () => {
  it('puts the old name back and says why when a rename is refused', () => {
    const input = el({ scope: 'brain-name' }, ' Bear');
    assert.equal(A.change(ctx, input), undefined);
    assert.equal(input.value, 'wolf');
    assert.deepEqual(notices, [['A brain called "bear" exists already.', true]]);
    assert.deepEqual(dirty(), { brains: false, spawns: false });
  });

  it('renames, follows the selection and marks the spawns it rewrote', () => {
    assert.equal(A.change(ctx, el({ scope: 'brain-name' }, 'Dire')), 'page');
    assert.equal(ctx.ui.selected, 'dire');
    assert.equal(ctx.editor.model.spawners[0].brain, 'dire');
    assert.deepEqual(dirty(), { brains: true, spawns: true });
  });

  it('stores a typed value in its units and shows it cleaned, redrawing only derived text', () => {
    const input = el({ scope: 'spawner', row: '0', f: 'radius' }, '12,5');
    assert.equal(A.change(ctx, input), 'derived');
    assert.equal(ctx.editor.model.spawners[0].radius, 1250);
    assert.equal(input.value, '12.5');
    const aggression = el({ scope: 'brain', f: 'temperament.aggression' }, '150');
    assert.equal(A.change(ctx, aggression), 'derived');
    assert.equal(ctx.editor.model.brains.get('wolf').temperament.aggression, 1);
    assert.deepEqual(dirty(), { brains: true, spawns: true });
  });

  it('drops a wild entry set back to none and adds a chosen species once', () => {
    assert.equal(A.change(ctx, el({ scope: 'wild', species: 'deer' }, '')), 'derived');
    assert.equal(ctx.editor.model.wild.has('deer'), false);
    A.change(ctx, el({ scope: 'species-add', list: 'onlySpecies' }, 'deer'));
    A.change(ctx, el({ scope: 'species-add', list: 'onlySpecies' }, 'deer'));
    assert.deepEqual(ctx.editor.model.brains.get('wolf').targets.onlySpecies, ['deer']);
  });

  it('ignores a field that belongs to no row', () => {
    assert.equal(A.change(ctx, el({ scope: 'ability', row: '0', f: 'weight' }, '3')), undefined);
    assert.equal(A.change(ctx, el({ scope: 'spawner', row: '0', f: 'nope' }, '3')), undefined);
    assert.deepEqual(dirty(), { brains: false, spawns: false });
  });
});
