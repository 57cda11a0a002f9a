/*
 * The Species page in the browser: keeps the workspaces in step with the host's species,
 * speciesLog, speciesRemote and speciesSounds messages, draws the chosen species into its
 * panel, hands clicks and changes to the actions and redraws as much as they say. Build log
 * lines and remote progress only touch their own boxes, since a build may print thousands
 * of lines while the owner edits.
 */
import { actionOf, paint } from '../../lib/panel.js';
import { DERIVED, PAGE, change, click } from './actions.js';
import { appendLog, logText } from './build_rules.js';
import { attackRowText } from './view_attacks.js';
import { buildHtml } from './view_build.js';
import { animationChoices, fillAnimationSelect } from './view_common.js';
import { SOUNDS_SLOT, pageHtml } from './view_page.js';
import { addSoundFiles } from './sounds_model.js';
import { createStore, loadSpeciesMessage, sortedNames, touch } from './workspaces.js';

class SpeciesPage {
  #shell = null;
  #store = createStore();
  #ui = { selected: '', creating: '', attack: 0, cells: {}, confirmDelete: null, newName: '', newLabel: '', newTemplate: '' };
  #panel = null;
  #wired = new WeakSet();
  #sounds = null;
  #soundsLoading = false;
  // The animation choices each filled select was given, against those of the latest drawing.
  #filledWith = new WeakMap();
  #choices = '';
  // The name of the species the editor was last drawn for.
  #drawn = null;
  // A drawing that removes the focused field (another species chosen, a section gone) makes a
  // field with an uncommitted edit report its change: that edit is taken into the document,
  // but must not start a second drawing.
  #painting = false;
  #changedWhilePainting = false;

  start(api) {
    this.#shell = api;
  }

  /** The workspace being edited, or null. */
  workspace() {
    return this.#store.items.get(this.#ui.selected) || null;
  }

  message(msg) {
    const ws = typeof msg.name === 'string' ? this.#store.items.get(msg.name) : null;
    if (msg.type === 'species') {
      for (const n of loadSpeciesMessage(this.#store, msg)) this.#shell.notice(n.text, n.error);
      this.#rerender();
    } else if (msg.type === 'speciesLog' && ws) {
      appendLog(ws, typeof msg.line === 'string' ? msg.line : '');
      if (ws === this.#visibleWorkspace()) this.#showLog(ws);
    } else if (msg.type === 'speciesRemote' && ws) {
      ws.remote = { state: String(msg.state ?? ''), detail: String(msg.detail ?? '') };
      if (ws === this.#visibleWorkspace()) this.#refreshBuild(ws);
    } else if (msg.type === 'speciesSounds' && ws) {
      const result = addSoundFiles(ws.doc, msg.files);
      if (result.added > 0) touch(ws);
      this.#shell.notice(result.text, false);
      if (ws === this.#visibleWorkspace()) this.#changed();
    }
  }

  render(panel) {
    this.#panel = panel;
    if (!this.#soundsLoading) this.#loadSoundsSection();
    this.#fixSelection();
    const ws = this.workspace();
    const found = !!(this.#shell && this.#shell.state && this.#shell.state.found);
    this.#keepForm(panel);
    this.#choices = ws ? choicesKey(ws.doc) : '';
    const log = this.#logPlace(panel);
    this.#painting = true;
    try {
      // A host message may redraw the page while a field is being typed in: what is typed
      // and not yet committed stays in the field.
      paint(panel, pageHtml(this.#store, this.#ui, ws, found), { keepTyping: true, leave: (el, next) => this.#leave(el, next) });
    } finally {
      this.#painting = false;
    }
    this.#drawn = ws ? ws.name : null;
    const slot = panel.querySelector('#' + SOUNDS_SLOT);
    if (slot && this.#sounds) {
      if (this.#sounds.element.parentNode !== slot) slot.appendChild(this.#sounds.element);
      this.#sounds.render();
    }
    this.#followLog(panel, log);
    this.#wire(panel);
    if (this.#changedWhilePainting) {
      this.#changedWhilePainting = false;
      this.#refreshDerived();
    }
  }

  // The sounds section brings three.js with it for the animation preview; it is loaded when
  // the page is first shown rather than with the page, so the page starts without three.js,
  // works the moment it is shown, and still works if that load fails.
  #loadSoundsSection() {
    this.#soundsLoading = true;
    import('./sounds_section.js').then(({ createSoundsSection }) => {
      this.#sounds = createSoundsSection({
        getWorkspace: () => this.workspace(),
        markChanged: () => {
          const ws = this.workspace();
          if (ws) touch(ws);
          this.#refreshDerived();
        },
        notice: (text, isError) => this.#shell.notice(text, isError),
        send: (msg) => this.#shell.send(msg),
        speciesBase: this.#shell.hostUrls.species,
      });
      this.#rerender();
    }, (error) => this.#shell.notice(`The sounds section could not be loaded: ${error.message}`, true));
  }

  #visibleWorkspace() {
    return this.#panel && !this.#panel.hidden ? this.workspace() : null;
  }

  // A species that was just created is chosen before the host lists it; any other choice
  // that is gone (removed, or a different server folder) falls back to the first species.
  #fixSelection() {
    const items = this.#store.items;
    if (items.has(this.#ui.creating)) this.#ui.creating = '';
    if (items.has(this.#ui.selected) || (this.#ui.creating && this.#ui.selected === this.#ui.creating)) return;
    this.#ui.selected = sortedNames(this.#store)[0] || '';
    this.#ui.attack = 0;
  }

  // What is typed into the new-species form survives redraws caused by host messages.
  #keepForm(panel) {
    const value = (id) => {
      const el = panel.querySelector('#' + id);
      return el ? el.value : null;
    };
    this.#ui.newName = value('species-new-name') ?? this.#ui.newName;
    this.#ui.newLabel = value('species-new-label') ?? this.#ui.newLabel;
    this.#ui.newTemplate = value('species-new-template') ?? this.#ui.newTemplate;
  }

  // What the drawing leaves to this page: the slot the sounds section draws itself into; the
  // editor of a species just chosen; and an animation select that was filled with the choices
  // it would be filled with again and still shows the same choice (it may be open), where the
  // markup only has that one choice.
  #leave(el, next) {
    if (el.id === SOUNDS_SLOT) return true;
    // Another species' editor has nothing to keep: its new content is put in as it is.
    if (el.classList.contains('sp-editor') && this.#drawn !== this.#ui.selected) {
      el.replaceChildren(...next.childNodes);
      return true;
    }
    if (!(el instanceof HTMLSelectElement) || !el.dataset.filled || this.#filledWith.get(el) !== this.#choices) return false;
    if (next.nodeName !== 'SELECT' || next.options.length !== 1 || next.options[0].value !== el.value) return false;
    if (el.attributes.length !== next.attributes.length + 1) return false;
    return Array.from(next.attributes).every((a) => el.getAttribute(a.name) === a.value);
  }

  #rerender() {
    if (this.#panel && !this.#panel.hidden) this.render(this.#panel);
  }

  #changed() {
    if (this.#sounds) this.#sounds.render();
    this.#refreshDerived();
  }

  #showLog(ws) {
    const pre = this.#panel.querySelector('#species-log');
    if (!pre) return;
    const atEnd = pre.scrollTop + pre.clientHeight >= pre.scrollHeight - 4;
    pre.textContent = logText(ws);
    if (atEnd) pre.scrollTop = pre.scrollHeight;
  }

  // The log box before a drawing: which one it is, and whether it showed its last line.
  #logPlace(panel) {
    const pre = panel.querySelector('#species-log');
    return { pre, atEnd: !pre || pre.scrollTop + pre.clientHeight >= pre.scrollHeight - 4 };
  }

  // A log that is new, or was showing its end, shows its end after the drawing too; one the
  // owner scrolled back in stays where it is.
  #followLog(panel, before) {
    const pre = panel.querySelector('#species-log');
    if (pre && (pre !== before.pre || before.atEnd)) pre.scrollTop = pre.scrollHeight;
  }

  #refreshBuild(ws) {
    const section = this.#panel.querySelector('#species-build');
    if (!section) return;
    const log = this.#logPlace(this.#panel);
    paint(section, buildHtml(this.#store, ws), { outer: true });
    this.#followLog(this.#panel, log);
  }

  /** After one value changed: the unsaved marks, the Save button and the build section. */
  #refreshDerived() {
    const ws = this.workspace();
    const panel = this.#panel;
    if (!ws || !panel || panel.hidden) return;
    const changed = ws.unsaved || ws.invalid;
    const mark = panel.querySelector('#species-unsaved');
    if (mark) mark.hidden = !changed;
    const save = panel.querySelector('#species-save');
    if (save) save.disabled = !changed;
    const row = Array.from(panel.querySelectorAll('#species-list [data-name]')).find((el) => el.dataset.name === ws.name);
    if (row) {
      row.querySelector('.row-detail').textContent = ws.doc.label;
      if (changed && !row.querySelector('.badge-warn')) {
        row.querySelector('.sp-badges').insertAdjacentHTML('afterbegin', '<span class="badge badge-warn">unsaved</span>');
      }
    }
    for (const item of panel.querySelectorAll('.sp-attack-item')) {
      const attack = ws.doc.attacks[Number(item.dataset.row)];
      if (!attack) continue;
      const { title, detail } = attackRowText(attack);
      item.querySelector('.row-title').textContent = title;
      item.querySelector('.row-detail').textContent = detail;
    }
    this.#refreshBuild(ws);
  }

  #context() {
    const { send, notice, base64Utf8 } = this.#shell;
    return { store: this.#store, ui: this.#ui, ws: this.workspace(), send, notice, base64: base64Utf8, panel: this.#panel };
  }

  #redraw(how) {
    if (how === PAGE) this.#rerender();
    else if (how === DERIVED) this.#refreshDerived();
  }

  #wire(panel) {
    if (this.#wired.has(panel)) return;
    this.#wired.add(panel);
    panel.addEventListener('click', (event) => {
      const target = actionOf(event);
      // The sounds section handles its own clicks.
      if (target && !target.closest('.sounds-section')) this.#redraw(click(this.#context(), target));
    });
    panel.addEventListener('change', (event) => {
      const el = event.target;
      if (!(el instanceof Element) || !el.dataset.scope || el.closest('.sounds-section')) return;
      const how = change(this.#context(), el);
      if (this.#painting) this.#changedWhilePainting = !!how;
      else this.#redraw(how);
    });
    // A field commits when it is left, but Save must be clickable while it is still being
    // typed in: clicking it is what leaves the field.
    panel.addEventListener('input', (event) => {
      const el = event.target;
      const save = panel.querySelector('#species-save');
      if (save && el instanceof Element && el.dataset.scope && !el.closest('.sounds-section')) save.disabled = false;
    });
    // Animation selects get their options when first touched, before they open.
    const fill = (event) => {
      const el = event.target;
      const ws = this.workspace();
      if (!ws || !(el instanceof HTMLSelectElement) || !('anims' in el.dataset) || el.dataset.filled) return;
      fillAnimationSelect(el, animationChoices(ws.doc));
      this.#filledWith.set(el, choicesKey(ws.doc));
    };
    for (const type of ['pointerdown', 'focusin', 'keydown']) panel.addEventListener(type, fill, true);
    // Enter in a text field commits it the way leaving the field does.
    panel.addEventListener('keydown', (event) => {
      const el = event.target;
      if (event.key !== 'Enter' || !(el instanceof HTMLInputElement) || el.type !== 'text' || el.closest('.sounds-section')) return;
      if (el.id === 'species-new-name' || el.id === 'species-new-label') this.#redraw(click(this.#context(), panel.querySelector('[data-action="create-species"]')));
      else el.blur();
    });
  }
}

// Which animations a filled select offers, as one comparable text.
function choicesKey(doc) {
  return doc.source.animations.map((a) => a.id).join('\n');
}

/** The page object the shell drives: start, message and render. */
export const speciesPage = new SpeciesPage();
