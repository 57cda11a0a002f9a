/*
 * What the AI page does when something in its panel is clicked or changed. Each handler edits
 * the model, marks the document it touched, and answers how much of the panel must be drawn
 * again: PAGE for everything, DERIVED for only the texts that follow from one changed value
 * (so the field being typed in keeps its focus), nothing when the event changed nothing.
 *
 * `ctx` is { editor, ui, notice, panel }: the page's editor, its view state
 * { view, selected, preset }, the shell's notice, and the panel drawn last.
 */
import { merge, readInput, setPath } from '../../lib/fields.js';
import { ABILITY_DEFAULTS, ABILITY_MAX, IDLE_DEFAULTS, IDLE_MAX, speciesList } from './documents.js';
import {
  changeSpawnerId, deleteBrain, deleteSpawner, duplicateBrain, newBrain, newSpawner, renameBrain,
} from './edits.js';
import { FIELDS } from './field_lists.js';

export const PAGE = 'page';
export const DERIVED = 'derived';

const selectedBrain = (ctx) => ctx.editor.model.brains.get(ctx.ui.selected);

const abilitiesOf = (brain) => brain.attack.abilities;
const idleOf = (brain) => brain.idle;

/** Adds a default row to one of the selected brain's lists unless the list is full. */
function addRow(ctx, rowsOf, max, defaults) {
  const brain = selectedBrain(ctx);
  if (!brain || rowsOf(brain).length >= max) return undefined;
  rowsOf(brain).push(merge(defaults, {}));
  ctx.editor.touch('brains');
  return PAGE;
}

function removeRow(ctx, rowsOf, target) {
  const brain = selectedBrain(ctx);
  if (!brain) return undefined;
  rowsOf(brain).splice(Number(target.dataset.row), 1);
  ctx.editor.touch('brains');
  return PAGE;
}

const CLICKS = {
  view(ctx, target) {
    ctx.ui.view = target.dataset.view;
    return PAGE;
  },
  save(ctx) {
    ctx.editor.save();
    return PAGE;
  },
  revert(ctx) {
    ctx.editor.revert();
    return PAGE;
  },
  'select-brain'(ctx, target) {
    ctx.ui.selected = target.dataset.name;
    return PAGE;
  },
  'new-brain'(ctx) {
    const select = ctx.panel.querySelector('#ai-preset');
    ctx.ui.preset = select ? select.value : ctx.ui.preset;
    ctx.ui.selected = newBrain(ctx.editor.model, ctx.ui.preset);
    ctx.editor.touch('brains');
    return PAGE;
  },
  'duplicate-brain'(ctx) {
    const copy = duplicateBrain(ctx.editor.model, ctx.ui.selected);
    if (copy === null) return undefined;
    ctx.ui.selected = copy;
    ctx.editor.touch('brains');
    return PAGE;
  },
  'delete-brain'(ctx) {
    const result = deleteBrain(ctx.editor.model, ctx.ui.selected);
    if (!result) return undefined;
    ctx.editor.touch('brains');
    if (result.spawns) ctx.editor.touch('spawns');
    ctx.notice(result.notice, false);
    return PAGE;
  },
  'remove-species'(ctx, target) {
    const brain = selectedBrain(ctx);
    if (!brain) return undefined;
    const key = target.dataset.list;
    brain.targets[key] = brain.targets[key].filter((s) => s !== target.dataset.value);
    ctx.editor.touch('brains');
    return PAGE;
  },
  'add-ability': (ctx) => addRow(ctx, abilitiesOf, ABILITY_MAX, ABILITY_DEFAULTS),
  'remove-ability': (ctx, target) => removeRow(ctx, abilitiesOf, target),
  'add-idle': (ctx) => addRow(ctx, idleOf, IDLE_MAX, IDLE_DEFAULTS),
  'remove-idle': (ctx, target) => removeRow(ctx, idleOf, target),
  'new-spawner'(ctx) {
    newSpawner(ctx.editor.model, ctx.ui.selected);
    ctx.editor.touch('spawns');
    return PAGE;
  },
  'delete-spawner'(ctx, target) {
    const result = deleteSpawner(ctx.editor.model, Number(target.dataset.row));
    if (!result) return undefined;
    ctx.editor.touch('spawns');
    ctx.notice(result.notice, false);
    return PAGE;
  },
};

/** A click on an element carrying data-action. */
export function click(ctx, target) {
  const action = target.dataset.action;
  return Object.hasOwn(CLICKS, action) ? CLICKS[action](ctx, target) : undefined;
}

const CHANGES = {
  // A refused name puts the old one back in the field; a taken one is never half applied.
  'brain-name'(ctx, el) {
    const result = renameBrain(ctx.editor.model, ctx.ui.selected, el.value);
    if (result.error) {
      ctx.notice(result.error, true);
      el.value = ctx.ui.selected;
      return undefined;
    }
    if (result.brains) {
      ctx.editor.touch('brains');
      if (result.spawns) ctx.editor.touch('spawns');
      ctx.ui.selected = result.name;
    }
    return PAGE;
  },
  'spawner-id'(ctx, el) {
    const spawners = ctx.editor.model.spawners;
    const row = Number(el.dataset.row);
    const result = changeSpawnerId(ctx.editor.model, row, el.value);
    if (result.error) {
      ctx.notice(result.error, true);
      el.value = spawners[row] ? spawners[row].id : '';
      return undefined;
    }
    el.value = result.id;
    if (result.changed) ctx.editor.touch('spawns');
    return DERIVED;
  },
  'species-add'(ctx, el) {
    const brain = selectedBrain(ctx);
    if (!brain || !el.value) return undefined;
    const key = el.dataset.list;
    brain.targets[key] = speciesList(brain.targets[key].concat([el.value]));
    ctx.editor.touch('brains');
    return PAGE;
  },
  wild(ctx, el) {
    const wild = ctx.editor.model.wild;
    if (el.value) wild.set(el.dataset.species, el.value);
    else wild.delete(el.dataset.species);
    ctx.editor.touch('spawns');
    return DERIVED;
  },
};

/** The object a value control of this scope edits, and the document it lives in. */
function valueHome(ctx, scope, row) {
  const brain = selectedBrain(ctx);
  if (scope === 'brain') return { home: brain, doc: 'brains' };
  if (scope === 'ability') return { home: brain && brain.attack.abilities[row], doc: 'brains' };
  if (scope === 'idle') return { home: brain && brain.idle[row], doc: 'brains' };
  if (scope === 'spawner') return { home: ctx.editor.model.spawners[row], doc: 'spawns' };
  return { home: null, doc: 'brains' };
}

/** A change in a control carrying data-scope. */
export function change(ctx, el) {
  const scope = el.dataset.scope;
  if (Object.hasOwn(CHANGES, scope)) return CHANGES[scope](ctx, el);
  const { home, doc } = valueHome(ctx, scope, Number(el.dataset.row));
  const field = FIELDS[scope] && FIELDS[scope][el.dataset.f];
  if (!home || !field) return undefined;
  // A spawner's brain list is built per model, so it has no fixed options to read against.
  const value = field.type === 'brain' ? el.value : readInput(field, el);
  setPath(home, field.f, value);
  ctx.editor.touch(doc);
  return DERIVED;
}
