/*
 * The AI page in the browser: draws the editor into its panel, hands clicks and changes to
 * the actions, and redraws as much as they say. The editor is made once the shell has
 * started the page, since only then are send, notice and base64Utf8 known; a state that
 * arrived earlier is kept and loaded then.
 */
import { brainSummary, sortedNames } from './documents.js';
import { createAiEditor, DOCS } from './editor.js';
import { NOTICES } from './notices.js';
import { luaText } from './lua.js';
import { pageHtml } from './views.js';
import { DERIVED, PAGE, change, click } from './actions.js';

class AiPage {
  #shell = null;
  #editor = null;
  #lastAi = null;
  #panel = null;
  #wired = new WeakSet();
  #ui = { view: 'brains', selected: '', preset: 'predator' };

  start(api) {
    this.#shell = api;
    this.#ensureEditor();
  }

  /** The `ai` member of a state message: the texts of brains.json and spawns.json. */
  load(value) {
    this.#lastAi = value;
    if (!this.#editor) return;
    this.#editor.load(value);
    this.#fixSelection();
  }

  /** Every state message carries the AI documents. */
  stateApplied(applied, msg) {
    this.load(msg.ai);
  }

  render(panel) {
    this.#panel = panel;
    this.#ensureEditor();
    if (!this.#editor) {
      panel.innerHTML = '<p class="empty">Loading…</p>';
      return;
    }
    this.#fixSelection();
    // Redrawing replaces the list, so its scroll position is carried over by hand.
    const oldList = panel.querySelector('#ai-brain-list');
    const listScroll = oldList ? oldList.scrollTop : 0;
    const shell = this.#shell;
    panel.innerHTML = pageHtml(this.#editor, this.#ui, !!(shell.state && shell.state.found));
    const list = panel.querySelector('#ai-brain-list');
    if (list) list.scrollTop = listScroll;
    this.#wire(panel);
  }

  #ensureEditor() {
    if (this.#editor || !this.#shell) return;
    const { send, notice, base64Utf8 } = this.#shell;
    this.#editor = createAiEditor({ send, notice, base64: base64Utf8 });
    if (this.#lastAi) this.#editor.load(this.#lastAi);
  }

  #fixSelection() {
    const brains = this.#editor.model.brains;
    if (!brains.has(this.#ui.selected)) this.#ui.selected = sortedNames(brains)[0] || '';
  }

  #rerender() {
    if (this.#panel && !this.#panel.hidden) this.render(this.#panel);
  }

  /** After a single field changed: the parts that show derived text, not the whole page. */
  #refreshDerived(panel) {
    const editor = this.#editor;
    const unsaved = panel.querySelector('#ai-unsaved');
    if (unsaved) unsaved.hidden = !editor.unsaved();
    const save = panel.querySelector('#ai-save');
    if (save) save.disabled = !DOCS.some((doc) => editor.needsSave(doc));
    const selected = this.#ui.selected;
    const brain = editor.model.brains.get(selected);
    if (!brain) return;
    const lua = panel.querySelector('#ai-lua');
    if (lua) lua.textContent = luaText(selected, brain);
    for (const row of panel.querySelectorAll('#ai-brain-list .ai-item')) {
      if (row.dataset.name === selected) {
        const summary = row.querySelector('.ai-summary');
        if (summary) summary.textContent = brainSummary(brain);
      }
    }
  }

  /** Copies the Lua text; where the clipboard refuses, selects it for Ctrl+C instead. */
  #copyLua(panel) {
    const brain = this.#editor.model.brains.get(this.#ui.selected);
    if (!brain) return;
    const text = luaText(this.#ui.selected, brain);
    const notice = this.#shell.notice;
    const select = () => {
      const pre = panel.querySelector('#ai-lua');
      if (pre) {
        const range = document.createRange();
        range.selectNodeContents(pre);
        const selection = window.getSelection();
        selection.removeAllRanges();
        selection.addRange(range);
        pre.focus();
      }
      notice(NOTICES.selected, false);
    };
    const clipboard = navigator.clipboard;
    if (clipboard && typeof clipboard.writeText === 'function') {
      clipboard.writeText(text).then(() => notice(NOTICES.copied, false), select);
    } else {
      select();
    }
  }

  #context() {
    return { editor: this.#editor, ui: this.#ui, notice: this.#shell.notice, panel: this.#panel };
  }

  #redraw(how) {
    if (how === PAGE) this.#rerender();
    else if (how === DERIVED) this.#refreshDerived(this.#panel);
  }

  #onClick(event) {
    const target = event.target instanceof Element ? event.target.closest('[data-action]') : null;
    if (!target || target.disabled || !this.#editor) return;
    if (target.dataset.action === 'copy-lua') this.#copyLua(this.#panel);
    else this.#redraw(click(this.#context(), target));
  }

  #onChange(event) {
    const el = event.target;
    if (!(el instanceof Element) || !this.#editor || !el.dataset.scope) return;
    this.#redraw(change(this.#context(), el));
  }

  #wire(panel) {
    if (this.#wired.has(panel)) return;
    this.#wired.add(panel);
    panel.addEventListener('click', (event) => this.#onClick(event));
    panel.addEventListener('change', (event) => this.#onChange(event));
    // Enter in a text field commits it the way leaving the field does.
    panel.addEventListener('keydown', (event) => {
      if (event.key === 'Enter' && event.target instanceof HTMLInputElement && event.target.type === 'text') {
        event.target.blur();
      }
    });
  }
}

/** The page object the shell drives: start, stateApplied and render. */
export const aiPage = new AiPage();
