/*
 * The Species page's sounds section: the sound library, the timeline of one animation with
 * its sound markers, playback, and the animation preview following the playhead. The page
 * places `element` and calls render() whenever the workspace changed; everything the
 * section edits lives in the workspace's document, and every edit is reported through
 * markChanged() so the page can mark the workspace unsaved.
 */
import { clampTime, dueEvents, loopTime, removeSound, renameSound, editSound, addEvent, editEvent, moveEvent, removeEvent, sourceUrl, animationLength } from './sounds_model.js';
import { libraryHtml, markersHtml, percentOf, timelineHtml } from './sounds_view.js';
import { createPlayClock, createSoundPlayer } from './sounds_playback.js';
import { wireTimeline } from './sounds_timeline.js';
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
    timeline: element.querySelector('.sounds-timeline'),
    body: element.querySelector('.sounds-timeline-body'),
    canvas: element.querySelector('.sounds-preview-canvas'),
    empty: element.querySelector('.sounds-preview-empty'),
  };
}

/** host = { getWorkspace(), markChanged(), notice(text, isError), send(msg), speciesBase } */
export function createSoundsSection(host) {
  const doc = host.document || globalThis.document;
  const win = doc.defaultView;
  const parts = layout(doc);
  const ui = { wsName: null, chosen: new Map(), playhead: 0, selected: null, pick: '', measured: new Map(), previewKey: '' };
  const player = createSoundPlayer(win, host.notice);
  const clock = createPlayClock(win, onTick);
  let preview = null;

  const workspace = () => host.getWorkspace();
  const sounds = (ws) => (ws && ws.doc.source && Array.isArray(ws.doc.source.sounds) ? ws.doc.source.sounds : []);
  const animations = (ws) => (ws && ws.doc.source && Array.isArray(ws.doc.source.animations) ? ws.doc.source.animations : []);

  function chosenIndex(ws) {
    const list = animations(ws);
    const at = ui.chosen.get(ws.name) || 0;
    return at < list.length ? at : 0;
  }

  /** The chosen animation, its events and length; null without animations. */
  function current() {
    const ws = workspace();
    if (!ws) return null;
    const anim = animations(ws)[chosenIndex(ws)];
    if (!anim) return null;
    const measured = ui.measured.get(ws.name + '/' + anim.file);
    return { ws, anim, events: Array.isArray(anim.sounds) ? anim.sounds : [], length: animationLength(ws.inspect, anim, measured) };
  }

  function changed() {
    host.markChanged();
  }

  // The page redraws the section with every message from the host. Markup that has not
  // changed is left in place: the redraw is then free, and what the owner is typing stays.
  const painted = new Map();
  function paint(el, html, force) {
    if (!force && painted.get(el) === html) return;
    el.innerHTML = html;
    painted.set(el, html);
  }

  // ------------------------------------------------------------------ drawing

  function renderTimeline(force = true) {
    const ws = workspace();
    const at = current();
    const list = sounds(ws);
    if (!list.some((s) => s.id === ui.pick)) ui.pick = list.length ? list[0].id : '';
    if (at && !at.events.includes(ui.selected)) ui.selected = null;
    if (at) ui.playhead = Math.min(ui.playhead, at.length);
    paint(parts.body, timelineHtml({
      animations: animations(ws),
      chosen: ws ? chosenIndex(ws) : 0,
      sounds: list,
      events: at ? at.events : [],
      length: at ? at.length : 1,
      playhead: ui.playhead,
      playing: clock.running,
      pick: ui.pick,
      selected: ui.selected,
    }), force);
  }

  /** Only the markers, so a marker editor being typed in keeps its focus. */
  function refreshMarkers() {
    const at = current();
    const box = parts.body.querySelector('.sound-markers');
    if (at && box) box.innerHTML = markersHtml(at.events, at.length, ui.selected);
    else renderTimeline();
  }

  function showPlayhead() {
    const at = current();
    if (!at) return;
    const head = parts.body.querySelector('[data-timeline="playhead"]');
    if (head) head.style.left = percentOf(ui.playhead, at.length);
    const text = parts.body.querySelector('[data-timeline="clock"]');
    if (text) text.textContent = `${ui.playhead.toFixed(3)} / ${at.length.toFixed(3)} s`;
    if (preview) preview.setTime(ui.playhead);
  }

  /** Loads the model and the chosen clip when they changed; a measured length redraws. */
  function updatePreview() {
    const at = current();
    const mesh = at && at.ws.doc.source.mesh;
    parts.empty.hidden = !!(mesh && at);
    parts.canvas.hidden = !(mesh && at);
    if (!mesh || !at) return;
    const key = `${at.ws.name}\n${mesh}\n${at.anim.file}`;
    if (key === ui.previewKey) return;
    ui.previewKey = key;
    if (!preview) preview = createAnimPreview(parts.canvas, { speciesBase: host.speciesBase, notice: host.notice });
    const { ws, anim } = at;
    preview.show(ws.name, mesh, anim.file).then((seconds) => {
      if (seconds === null || ui.previewKey !== key) return;
      const measuredKey = ws.name + '/' + anim.file;
      if (ui.measured.get(measuredKey) === seconds) return;
      ui.measured.set(measuredKey, seconds);
      renderTimeline();
      showPlayhead();
    });
    preview.setTime(ui.playhead);
  }

  /** Redraws from the workspace; `force` also redraws markup that looks unchanged. */
  function render(force = false) {
    const ws = workspace();
    if (!ws || ws.name !== ui.wsName) {
      stop();
      ui.playhead = 0;
      ui.selected = null;
      ui.wsName = ws ? ws.name : null;
    }
    parts.element.hidden = !ws;
    if (!ws) return;
    paint(parts.library, libraryHtml(sounds(ws)), force);
    renderTimeline(force);
    updatePreview();
  }

  // ------------------------------------------------------------------ playback

  function onTick(from, to) {
    const at = current();
    // Another tab or species shown: the sound stops with the view rather than play unseen.
    if (!at || !parts.element.isConnected || parts.element.getClientRects().length === 0) {
      stop();
      return;
    }
    for (const event of dueEvents(at.events, from, to, at.length)) {
      const sound = sounds(at.ws).find((s) => s.id === event.sound);
      if (sound) player.play(sourceUrl(host.speciesBase, at.ws.name, sound.file), sound.file, event.volume, event.pitch);
    }
    ui.playhead = loopTime(to, at.length);
    showPlayhead();
  }

  function stop() {
    if (!clock.running) return;
    clock.stop();
    const button = parts.body.querySelector('[data-timeline-action="play"]');
    if (button) button.textContent = 'Play';
  }

  function togglePlay(button) {
    const at = current();
    if (clock.running || !at) {
      stop();
      return;
    }
    player.forgive();
    clock.start(ui.playhead >= at.length ? 0 : ui.playhead);
    button.textContent = 'Stop';
  }

  // ------------------------------------------------------------------ the library

  function onLibraryChange(target) {
    const ws = workspace();
    const row = target.closest('[data-sound-index]');
    if (!ws || !row) return;
    const index = Number(row.dataset.soundIndex);
    const field = target.dataset.soundField;
    const sound = sounds(ws)[index];
    if (!sound) return;
    if (field === 'id') {
      const result = renameSound(ws.doc, index, target.value);
      if (!result.ok) host.notice(result.error, true);
      target.value = sound.id;
      if (result.changed) {
        changed();
        if (ui.pick !== result.id && !sounds(ws).some((s) => s.id === ui.pick)) ui.pick = result.id;
        renderTimeline();
      }
    } else if (editSound(ws.doc, index, field, target.value)) {
      if (field === 'radius') target.value = String(sound.radius);
      changed();
    }
  }

  function onLibraryClick(button) {
    const ws = workspace();
    if (!ws) return;
    const action = button.dataset.soundAction;
    if (action === 'add') {
      host.send({ cmd: 'addSpeciesSounds', name: ws.name });
      return;
    }
    const row = button.closest('[data-sound-index]');
    const index = row ? Number(row.dataset.soundIndex) : -1;
    const sound = sounds(ws)[index];
    if (!sound) return;
    if (action === 'play') {
      player.forgive();
      player.play(sourceUrl(host.speciesBase, ws.name, sound.file), sound.file);
    } else if (action === 'remove') {
      const result = removeSound(ws.doc, index);
      if (result.text) host.notice(result.text, false);
      changed();
      render(true);
    }
  }

  // ------------------------------------------------------------------ the timeline

  function onTimelineChange(target) {
    const at = current();
    const ws = workspace();
    if (!ws) return;
    if (target.dataset.timeline === 'anim') {
      stop();
      ui.chosen.set(ws.name, Number(target.value));
      ui.selected = null;
      ui.playhead = 0;
      renderTimeline();
      updatePreview();
    } else if (target.dataset.timeline === 'pick') {
      ui.pick = target.value;
    } else if (target.dataset.markerField && at && ui.selected) {
      editEvent(at.anim, ui.selected, target.dataset.markerField, target.value, at.length);
      const member = target.dataset.markerField;
      if (member !== 'sound') target.value = member === 'bone' ? ui.selected.bone || '' : String(ui.selected[member]);
      changed();
      refreshMarkers();
    }
  }

  function onTimelineClick(button) {
    const at = current();
    if (!at) return;
    const action = button.dataset.timelineAction;
    if (action === 'play') {
      togglePlay(button);
    } else if (action === 'addMarker' && ui.pick) {
      ui.selected = addEvent(at.anim, ui.pick, ui.playhead, at.length);
      changed();
      renderTimeline();
    } else if (action === 'removeMarker' && ui.selected) {
      removeEvent(at.anim, ui.selected);
      ui.selected = null;
      changed();
      renderTimeline();
    }
  }

  wireTimeline(parts.body, win, {
    length: () => (current() ? current().length : 1),
    eventAt: (index) => (current() ? current().events[index] : undefined),
    seek(time) {
      ui.playhead = time;
      if (clock.running) clock.start(time);
      showPlayhead();
    },
    select(event) {
      ui.selected = event;
      renderTimeline();
    },
    dragging(time) {
      const text = parts.body.querySelector('[data-timeline="clock"]');
      if (text) text.textContent = `marker at ${time.toFixed(3)} s`;
    },
    drop(event, time) {
      const at = current();
      if (!at || !at.events.includes(event)) return;
      moveEvent(at.anim, event, clampTime(time, at.length), at.length);
      ui.selected = event;
      changed();
      renderTimeline();
    },
  });

  parts.library.addEventListener('change', (e) => onLibraryChange(e.target));
  parts.library.addEventListener('click', (e) => {
    const button = e.target.closest('[data-sound-action]');
    if (button) onLibraryClick(button);
  });
  parts.body.addEventListener('change', (e) => onTimelineChange(e.target));
  parts.body.addEventListener('click', (e) => {
    const button = e.target.closest('[data-timeline-action]');
    if (button) onTimelineClick(button);
    // Enter or Space on a focused marker (a click without a pointer) opens it too.
    const marker = e.target.closest('[data-marker]');
    const at = current();
    if (marker && e.detail === 0 && at && at.events[Number(marker.dataset.marker)]) {
      ui.selected = at.events[Number(marker.dataset.marker)];
      renderTimeline();
    }
  });

  return {
    element: parts.element,
    render,
    destroy() {
      stop();
      player.close();
      if (preview) preview.dispose();
      preview = null;
      ui.previewKey = '';
    },
    /** The preview's drawn frames so far, for the tests and the benchmark. */
    get previewFrames() {
      return preview ? preview.frames : 0;
    },
  };
}
