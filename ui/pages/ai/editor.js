/*
 * The AI page's traffic with the host: which texts it takes into the model, which it refuses
 * to overwrite, and what it sends on save and revert.
 */
import { brainsDocument, documentText, parseBrains, parseSpawns, spawnsDocument } from './documents.js';
import { emptyModel, saveProblem } from './edits.js';
import { NOTICES } from './notices.js';

export const DOCS = ['brains', 'spawns'];

/**
 * Keeps the model in step with the host's texts. A document with unsaved changes is never
 * replaced by what the host sends; a text is parsed only when it differs from the last one
 * seen, so a state message for some other change costs nothing here. After a save, the
 * document counts as saved once the host hands back exactly the text that was sent.
 */
class AiEditor {
  #notice;
  #send;
  #base64;

  constructor(deps) {
    this.#notice = deps.notice || (() => {});
    this.#send = deps.send || (() => {});
    this.#base64 = deps.base64;
    this.model = emptyModel();
    this.dirty = { brains: false, spawns: false };
    this.broken = { brains: false, spawns: false };
    this.seen = { brains: null, spawns: null };
    this.received = { brains: '', spawns: '' };
    this.pending = { brains: null, spawns: null };
  }

  #apply(doc, text) {
    this.seen[doc] = text;
    if (doc === 'brains') {
      const brains = parseBrains(text);
      this.broken.brains = brains === null;
      this.model.brains = brains || new Map();
      if (brains === null) this.#notice(NOTICES.brainsInvalid, true);
    } else {
      const spawns = parseSpawns(text);
      this.broken.spawns = spawns === null;
      this.model.spawners = spawns ? spawns.spawners : [];
      this.model.wild = spawns ? spawns.wild : new Map();
      if (spawns === null) this.#notice(NOTICES.spawnsInvalid, true);
    }
  }

  /** Takes the state's `ai` member; tells whether the model changed. */
  load(ai) {
    const texts = {
      brains: ai && typeof ai.brains === 'string' ? ai.brains : '',
      spawns: ai && typeof ai.spawns === 'string' ? ai.spawns : '',
    };
    this.received = texts;
    let changed = false;
    for (const doc of DOCS) {
      if (this.dirty[doc]) {
        if (this.pending[doc] !== null && texts[doc] === this.pending[doc]) {
          this.dirty[doc] = false;
          this.pending[doc] = null;
          this.broken[doc] = false;
          this.seen[doc] = texts[doc];
          changed = true;
        }
        continue;
      }
      if (texts[doc] === this.seen[doc]) continue;
      this.#apply(doc, texts[doc]);
      changed = true;
    }
    return changed;
  }

  /** Something in a document was edited by hand. */
  touch(doc) {
    this.dirty[doc] = true;
    this.pending[doc] = null;
  }

  needsSave(doc) {
    return this.dirty[doc] || this.broken[doc];
  }

  unsaved() {
    return DOCS.some((doc) => this.dirty[doc] && this.pending[doc] === null);
  }

  texts() {
    return {
      brains: documentText(brainsDocument(this.model.brains)),
      spawns: documentText(spawnsDocument(this.model.spawners, this.model.wild)),
    };
  }

  /**
   * Checks the names, then sends each changed document, brains first so a spawner never
   * names a brain the server has not seen yet. Returns the files sent.
   */
  save() {
    const files = DOCS.filter((doc) => this.needsSave(doc));
    if (files.length === 0) return [];
    const problem = saveProblem(this.model);
    if (problem) {
      this.#notice(problem, true);
      return [];
    }
    const texts = this.texts();
    for (const file of files) {
      this.#send({ cmd: 'saveAi', file, data: this.#base64(texts[file]) });
      this.dirty[file] = true;
      this.pending[file] = texts[file];
    }
    return files;
  }

  /** Drops every unsaved change, shows the host's texts again and asks for fresh ones. */
  revert() {
    for (const doc of DOCS) {
      this.dirty[doc] = false;
      this.pending[doc] = null;
      this.#apply(doc, this.received[doc]);
    }
    this.#send({ cmd: 'refresh' });
  }
}

/** An editor that reports through deps.notice and writes through deps.send and deps.base64. */
export function createAiEditor(deps) {
  return new AiEditor(deps);
}
