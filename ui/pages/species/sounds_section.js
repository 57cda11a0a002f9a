/*
 * The Species page's sounds section: the sound library, the timeline of one animation with
 * its sound markers, playback, and the animation preview following the playhead. The page
 * places `element` and calls render() whenever the workspace changed; everything the
 * section edits lives in the workspace's document, and every edit is reported through
 * markChanged() so the page can mark the workspace unsaved. What clicks and typing do is in
 * sounds_edits.js; this file keeps the section's state, drawing and playback.
 */
import { animationLength, dueEvents, loopTime, sourceUrl } from './sounds_model.js';
import { libraryHtml, markersHtml, percentOf, timelineHtml } from './sounds_view.js';
import { createPlayClock, createSoundPlayer } from './sounds_playback.js';
import { wireEdits } from './sounds_edits.js';
import { createAnimPreview } from './anim_preview.js';

function layout(doc) {
  const element = doc.createElement('div');
  element.className = 'sounds-section';
  element.innerHTML = '<div class="card sounds-library"></div><div class="card sounds-timeline"><div class="sounds-timeline-body"></div>' +
    '<div class="sounds-preview"><canvas class="sounds-preview-canvas" aria-label="Animation preview"></canvas>' +
    '<p class="sounds-preview-empty hint">Import a model to see its animations here.</p></div></div>';
  return {
    element,
    library: element.querySelector('.sounds-library'),
    body: element.querySelector('.sounds-timeline-body'),
    canvas: element.querySelector('.sounds-preview-canvas'),
    empty: element.querySelector('.sounds-preview-empty'),
  };
}

const listOf = (ws, key) => (ws && ws.doc.source && Array.isArray(ws.doc.source[key]) ? ws.doc.source[key] : []);
// The takes of one file have lengths of their own: a measured length is the file's and id's.
const measuredKey = (ws, anim) => `${ws.name}\n${anim.file}\n${anim.id}`;

export class SoundsSection {
  /** host = { getWorkspace(), markChanged(), notice(text, isError), send(msg), speciesBase } */
  constructor(host) {
    const doc = host.document || globalThis.document;
    this.host = host;
    this.win = doc.defaultView;
    this.parts = layout(doc);
    // chosen: animation index per workspace; measured: clip lengths the preview found.
    this.ui = { wsName: null, chosen: new Map(), playhead: 0, selected: null, pick: '', measured: new Map(), previewKey: '', loading: false };
    this.player = createSoundPlayer(this.win, host.notice);
    this.clock = createPlayClock(this.win, (from, to) => this.onTick(from, to));
    this.preview = null;
    // The page redraws the section with every message from the host. Markup that has not
    // changed is left in place: the redraw is then free, and what is being typed stays.
    this.painted = new Map();
  }

  get element() {
    return this.parts.element;
  }

  workspace() {
    return this.host.getWorkspace();
  }

  sounds(ws = this.workspace()) {
    return listOf(ws, 'sounds');
  }

  chosenIndex(ws) {
    const at = this.ui.chosen.get(ws.name) || 0;
    return at < listOf(ws, 'animations').length ? at : 0;
  }

  /** The chosen animation, its events and length; null without animations. */
  current() {
    const ws = this.workspace();
    const anim = ws ? listOf(ws, 'animations')[this.chosenIndex(ws)] : null;
    if (!anim) return null;
    const measured = this.ui.measured.get(measuredKey(ws, anim));
    return { ws, anim, events: Array.isArray(anim.sounds) ? anim.sounds : [], length: animationLength(ws.inspect, anim, measured) };
  }

  changed() {
    this.host.markChanged();
  }

  paint(el, html, force) {
    if (!force && this.painted.get(el) === html) return;
    el.innerHTML = html;
    this.painted.set(el, html);
  }

  /** Redraws from the workspace; `force` also redraws markup that looks unchanged. */
  render(force = false) {
    const ws = this.workspace();
    if (!ws || ws.name !== this.ui.wsName) {
      this.stop();
      Object.assign(this.ui, { playhead: 0, selected: null, wsName: ws ? ws.name : null });
    }
    this.parts.element.hidden = !ws;
    if (!ws) return;
    this.paint(this.parts.library, libraryHtml(this.sounds(ws)), force);
    this.renderTimeline(force);
    this.updatePreview();
  }

  renderTimeline(force = true) {
    const { ui } = this;
    const ws = this.workspace();
    const at = this.current();
    const list = this.sounds(ws);
    if (!list.some((s) => s.id === ui.pick)) ui.pick = list.length ? list[0].id : '';
    if (at && !at.events.includes(ui.selected)) ui.selected = null;
    if (at) ui.playhead = Math.min(ui.playhead, at.length);
    const view = {
      animations: listOf(ws, 'animations'),
      chosen: ws ? this.chosenIndex(ws) : 0,
      sounds: list,
      events: at ? at.events : [],
      length: at ? at.length : 1,
      playhead: ui.playhead,
      playing: this.clock.running,
      pick: ui.pick,
      selected: ui.selected,
    };
    this.paint(this.parts.body, timelineHtml(view), force);
  }

  /** Only the markers, so a marker editor being typed in keeps its focus. */
  refreshMarkers() {
    const at = this.current();
    const box = this.parts.body.querySelector('.sound-markers');
    if (at && box) box.innerHTML = markersHtml(at.events, at.length, this.ui.selected);
    else this.renderTimeline();
  }

  showPlayhead() {
    const at = this.current();
    if (!at) return;
    const head = this.parts.body.querySelector('[data-timeline="playhead"]');
    if (head) head.style.left = percentOf(this.ui.playhead, at.length);
    const text = this.parts.body.querySelector('[data-timeline="clock"]');
    if (text) text.textContent = `${this.ui.playhead.toFixed(3)} / ${at.length.toFixed(3)} s`;
    if (this.preview) this.preview.setTime(this.ui.playhead);
  }

  /** The line over the preview: why there is no model, or that one is on its way. */
  previewLine(hasModel) {
    const { empty, canvas } = this.parts;
    canvas.hidden = !hasModel;
    empty.hidden = hasModel && !this.ui.loading;
    empty.textContent = hasModel ? 'Loading the model and its animation…' : 'Import a model to see its animations here.';
  }

  /** Loads the model and the chosen clip when they changed; a measured length redraws. */
  updatePreview() {
    const { ui } = this;
    const ws = this.workspace();
    const at = this.current();
    const mesh = ws && ws.doc.source && typeof ws.doc.source.mesh === 'string' ? ws.doc.source.mesh : '';
    // Without animations the model is shown standing.
    const anim = at ? at.anim : null;
    const lengthKey = anim ? measuredKey(ws, anim) : '';
    const key = `${ws.name}\n${mesh}\n${lengthKey}`;
    if (mesh && key !== ui.previewKey) {
      ui.previewKey = key;
      ui.loading = true;
      if (!this.preview) this.preview = createAnimPreview(this.parts.canvas, { speciesBase: this.host.speciesBase, notice: this.host.notice });
      this.preview.show(ws.name, mesh, anim, ws.inspect).then((seconds) => this.previewShown(key, lengthKey, seconds));
      this.preview.setTime(ui.playhead);
    }
    this.previewLine(!!mesh);
  }

  previewShown(key, lengthKey, seconds) {
    const { ui } = this;
    if (ui.previewKey !== key) return;
    ui.loading = false;
    this.previewLine(true);
    if (seconds === null || ui.measured.get(lengthKey) === seconds) return;
    ui.measured.set(lengthKey, seconds);
    this.renderTimeline();
    this.showPlayhead();
  }

  onTick(from, to) {
    const at = this.current();
    const el = this.parts.element;
    // Another tab or species shown: the sound stops with the view rather than play unseen.
    if (!at || !el.isConnected || el.getClientRects().length === 0) {
      this.stop();
      return;
    }
    for (const event of dueEvents(at.events, from, to, at.length)) {
      const sound = this.sounds(at.ws).find((s) => s.id === event.sound);
      if (sound) this.player.play(sourceUrl(this.host.speciesBase, at.ws.name, sound.file), sound.file, event.volume, event.pitch);
    }
    this.ui.playhead = loopTime(to, at.length);
    this.showPlayhead();
  }

  /** Plays one sound of the library as it is, at volume and pitch 1. */
  playSound(sound) {
    this.player.forgive();
    this.player.play(sourceUrl(this.host.speciesBase, this.workspace().name, sound.file), sound.file);
  }

  stop() {
    if (!this.clock.running) return;
    this.clock.stop();
    const button = this.parts.body.querySelector('[data-timeline-action="play"]');
    if (button) button.textContent = 'Play';
  }

  togglePlay(button) {
    const at = this.current();
    if (this.clock.running || !at) {
      this.stop();
      return;
    }
    this.player.forgive();
    this.clock.start(this.ui.playhead >= at.length ? 0 : this.ui.playhead);
    button.textContent = 'Stop';
  }

  /** Moves the playhead; a running playback goes on from there. */
  seek(time) {
    this.ui.playhead = time;
    if (this.clock.running) this.clock.start(time);
    this.showPlayhead();
  }

  destroy() {
    this.stop();
    this.player.close();
    if (this.preview) this.preview.dispose();
    this.preview = null;
    this.ui.previewKey = '';
  }

  /** The preview's drawn frames so far, for the tests and the benchmark. */
  get previewFrames() {
    return this.preview ? this.preview.frames : 0;
  }
}

/** The section the Species page places; see SoundsSection for `host`. */
export function createSoundsSection(host) {
  const section = new SoundsSection(host);
  wireEdits(section);
  return section;
}
