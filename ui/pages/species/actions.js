/*
 * What the Species page does when something in its panel is clicked or changed. Each handler
 * edits the chosen workspace's document or sends a command, and answers how much of the panel
 * must be drawn again: PAGE for everything, DERIVED for only what follows from one changed
 * value (the unsaved marks, the list rows, the build section). Text fields commit when they
 * are left, often by a click on a button: they answer DERIVED, so the button stays in place
 * and gets its click.
 *
 * `ctx` is { store, ui, ws, send, notice, base64, panel }: the workspaces, the page's view
 * state, the chosen workspace (or null), the shell's send and notice, the base64 encoder and
 * the panel drawn last.
 */
import { cleanName, readInput, setPath } from '../../lib/fields.js';
import { buildFiles } from './build_rules.js';
import { newSpeciesProblem, saveProblem } from './checks.js';
import { newSpecies, speciesText } from './document.js';
import { addAttack, removeAttack, setAttackHabitat, setGridCell, setRoleAnimation, setRoleGrid, setRoleRate } from './edits.js';
import { ATTACK_FIELD_BY_PATH, DOC_FIELDS } from './field_lists.js';
import { statOf } from './schema.js';
import { setStatMode, setStatValue, statField, statMode } from './stat_modes.js';
import { adoptInspection, linkAnimations } from './suggest.js';
import { templateStat } from './templates.js';
import { RATE_FIELD, chosenCell } from './view_roles.js';
import { touch } from './workspaces.js';

export const PAGE = 'page';
export const DERIVED = 'derived';

const field = (panel, id) => {
  const el = panel.querySelector('#' + id);
  return el ? el.value : '';
};

/** Sends the document after the checks; the workspace counts as saved when the host echoes it. */
function saveWorkspace(ctx) {
  const ws = ctx.ws;
  const problem = saveProblem(ws.doc);
  if (problem) {
    ctx.notice(problem, true);
    return undefined;
  }
  const text = speciesText(ws.doc);
  ctx.send({ cmd: 'saveSpecies', name: ws.name, data: ctx.base64(text) });
  ws.pending = text;
  return PAGE;
}

function createSpecies(ctx) {
  const checked = newSpeciesProblem(field(ctx.panel, 'species-new-name'), ctx.store.items);
  if (checked.error) {
    ctx.notice(checked.error, true);
    return undefined;
  }
  const label = field(ctx.panel, 'species-new-label').trim() || checked.name;
  const doc = newSpecies(checked.name, label, field(ctx.panel, 'species-new-template'));
  ctx.send({ cmd: 'saveSpecies', name: checked.name, data: ctx.base64(speciesText(doc)) });
  for (const id of ['species-new-name', 'species-new-label']) {
    const el = ctx.panel.querySelector('#' + id);
    if (el) el.value = '';
  }
  Object.assign(ctx.ui, { selected: checked.name, creating: checked.name, attack: 0, newName: '', newLabel: '', newTemplate: doc.template });
  return PAGE;
}

function relink(ctx, adopt) {
  const ws = ctx.ws;
  if (!ws.inspect) return undefined;
  if (adopt) adoptInspection(ws.doc, ws.inspect);
  const { links, notice } = linkAnimations(ws.doc, ws.inspect);
  if (adopt || links > 0) touch(ws);
  ctx.notice(notice, false);
  return PAGE;
}

// Commands about the chosen species that carry only its name.
const byName = (cmd) => (ctx) => {
  ctx.send({ cmd, name: ctx.ws.name });
  return undefined;
};

function startBuild(ctx, message) {
  // A new build's lines replace the last run's; the stored log shows again once it ends.
  ctx.ws.liveLog = [];
  if (message.cmd === 'buildRemote') ctx.ws.remote = null;
  ctx.send(message);
  return PAGE;
}

const WORKSPACE_CLICKS = {
  save: saveWorkspace,
  delete(ctx) {
    if (ctx.ui.confirmDelete !== ctx.ws.name) {
      ctx.ui.confirmDelete = ctx.ws.name;
      return PAGE;
    }
    ctx.ui.confirmDelete = null;
    ctx.send({ cmd: 'deleteSpecies', name: ctx.ws.name });
    return PAGE;
  },
  'open-folder': byName('openSpecies'),
  import: byName('importSpecies'),
  adopt: (ctx) => relink(ctx, true),
  link: (ctx) => relink(ctx, false),
  'select-attack'(ctx, target) {
    ctx.ui.attack = Number(target.dataset.row);
    return PAGE;
  },
  'add-attack'(ctx) {
    const row = addAttack(ctx.ws.doc);
    if (row === null) return undefined;
    ctx.ui.attack = row;
    touch(ctx.ws);
    return PAGE;
  },
  'remove-attack'(ctx, target) {
    if (!removeAttack(ctx.ws.doc, Number(target.dataset.row))) return undefined;
    touch(ctx.ws);
    return PAGE;
  },
  'grid-cell'(ctx, target) {
    ctx.ui.cells[target.dataset.role] = `${target.dataset.x},${target.dataset.y}`;
    return PAGE;
  },
  'build-local': (ctx) => startBuild(ctx, { cmd: 'buildSpecies', name: ctx.ws.name }),
  'build-remote': (ctx) => startBuild(ctx, { cmd: 'buildRemote', name: ctx.ws.name, files: buildFiles(ctx.ws.doc) }),
  'build-cancel': byName('buildCancel'),
  'build-resume': byName('buildResume'),
};

const PAGE_CLICKS = {
  'select-species'(ctx, target) {
    Object.assign(ctx.ui, { selected: target.dataset.name, attack: 0, confirmDelete: null });
    return PAGE;
  },
  'create-species': createSpecies,
  'sign-in'(ctx) {
    ctx.send({ cmd: 'buildLogin' });
    return undefined;
  },
  'sign-out'(ctx) {
    ctx.send({ cmd: 'buildLogout' });
    return undefined;
  },
};

/** A click on an element carrying data-action. */
export function click(ctx, target) {
  const action = target.dataset.action;
  if (action !== 'delete') ctx.ui.confirmDelete = null;
  if (Object.hasOwn(PAGE_CLICKS, action)) return PAGE_CLICKS[action](ctx, target);
  if (ctx.ws && Object.hasOwn(WORKSPACE_CLICKS, action)) return WORKSPACE_CLICKS[action](ctx, target);
  return undefined;
}

const ATTACK_CHOICES = ['source', 'key', 'animation', 'animationLeft', 'animationRight'];

function changeAttack(ctx, el) {
  const attack = ctx.ws.doc.attacks[Number(el.dataset.row)];
  const f = el.dataset.f;
  if (!attack) return undefined;
  if (ATTACK_CHOICES.includes(f)) {
    attack[f] = el.value;
    return PAGE;
  }
  const def = ATTACK_FIELD_BY_PATH[f];
  if (!def) return undefined;
  setPath(attack, f, readInput(def, el));
  return DERIVED;
}

// Each answers the redraw its change needs, or nothing when the document did not change.
const CHANGES = {
  doc(ctx, el) {
    const def = DOC_FIELDS[el.dataset.f];
    if (!def) return undefined;
    const value = def.type === 'number-choice' ? Number(el.value) : readInput(def, el);
    if (def.type === 'number-choice' && !def.options.some(([n]) => n === value)) return undefined;
    setPath(ctx.ws.doc, def.f, value);
    return DERIVED;
  },
  template(ctx, el) {
    ctx.ws.doc.template = el.value;
    return PAGE;
  },
  'role-anim': (ctx, el) => (setRoleAnimation(ctx.ws.doc, el.dataset.role, el.value) ? PAGE : undefined),
  'role-rate': (ctx, el) => (setRoleRate(ctx.ws.doc, el.dataset.role, readInput(RATE_FIELD, el)) ? DERIVED : undefined),
  'role-grid': (ctx, el) => (setRoleGrid(ctx.ws.doc, el.dataset.role, el.checked) ? PAGE : undefined),
  'role-cell'(ctx, el) {
    const { x, y } = chosenCell(ctx.ui, el.dataset.role);
    return setGridCell(ctx.ws.doc, el.dataset.role, x, y, el.value) ? PAGE : undefined;
  },
  'stat-mode'(ctx, el) {
    const key = el.dataset.stat;
    const base = templateStat(ctx.store.hosts, ctx.ws.doc.template, key);
    return setStatMode(ctx.ws.doc, key, el.value, base) ? PAGE : undefined;
  },
  'stat-value'(ctx, el) {
    const stat = statOf(el.dataset.stat);
    if (!stat) return undefined;
    const value = readInput(statField(stat, statMode(ctx.ws.doc, stat.key).mode), el);
    return setStatValue(ctx.ws.doc, stat.key, value) ? DERIVED : undefined;
  },
  attack: changeAttack,
  'attack-id'(ctx, el) {
    const attack = ctx.ws.doc.attacks[Number(el.dataset.row)];
    if (!attack) return undefined;
    attack.id = cleanName(el.value);
    el.value = attack.id;
    return DERIVED;
  },
  'attack-allow'(ctx, el) {
    const attack = ctx.ws.doc.attacks[Number(el.dataset.row)];
    return attack && setAttackHabitat(attack, el.dataset.habitat, el.checked) ? DERIVED : undefined;
  },
};

/** A change in a control carrying data-scope; every scope edits the chosen workspace. */
export function change(ctx, el) {
  const scope = el.dataset.scope;
  if (!ctx.ws || !Object.hasOwn(CHANGES, scope)) return undefined;
  const how = CHANGES[scope](ctx, el);
  if (how) touch(ctx.ws);
  return how;
}
