/*
 * What the owner's clicks and typing in the sounds section do: renaming, tuning, playing
 * and removing sounds, choosing the animation, and placing, dragging, editing and removing
 * markers. Each edit goes through the rules of sounds_model.js, is reported to the page as
 * a change, and redraws no more than it touched.
 */
import { addEvent, clampTime, editEvent, editSound, moveEvent, removeEvent, removeSound, renameSound } from './sounds_model.js';
import { wireTimeline } from './sounds_timeline.js';

function onLibraryChange(section, target) {
  const ws = section.workspace();
  const row = target.closest('[data-sound-index]');
  const index = row ? Number(row.dataset.soundIndex) : -1;
  const sound = ws ? section.sounds(ws)[index] : null;
  if (!sound) return;
  const field = target.dataset.soundField;
  if (field === 'id') {
    const old = sound.id;
    const result = renameSound(ws.doc, index, target.value);
    if (!result.ok) section.host.notice(result.error, true);
    target.value = sound.id;
    if (result.changed) {
      if (section.ui.pick === old) section.ui.pick = sound.id;
      section.changed();
      section.renderTimeline();
    }
  } else if (editSound(ws.doc, index, field, target.value)) {
    if (field === 'radius') target.value = String(sound.radius);
    section.changed();
  }
}

function onLibraryClick(section, button) {
  const ws = section.workspace();
  if (!ws) return;
  const action = button.dataset.soundAction;
  if (action === 'add') {
    section.host.send({ cmd: 'addSpeciesSounds', name: ws.name });
    return;
  }
  const row = button.closest('[data-sound-index]');
  const index = row ? Number(row.dataset.soundIndex) : -1;
  const sound = section.sounds(ws)[index];
  if (!sound) return;
  if (action === 'play') {
    section.playSound(sound);
  } else if (action === 'remove') {
    const result = removeSound(ws.doc, index);
    if (result.text) section.host.notice(result.text, false);
    section.changed();
    section.render(true);
  }
}

function onTimelineChange(section, target) {
  const { ui } = section;
  const ws = section.workspace();
  const at = section.current();
  if (!ws) return;
  if (target.dataset.timeline === 'anim') {
    section.stop();
    ui.chosen.set(ws.name, Number(target.value));
    Object.assign(ui, { selected: null, playhead: 0 });
    section.renderTimeline();
    section.updatePreview();
  } else if (target.dataset.timeline === 'pick') {
    ui.pick = target.value;
  } else if (target.dataset.markerField && at && ui.selected) {
    const member = target.dataset.markerField;
    editEvent(at.anim, ui.selected, member, target.value, at.length);
    if (member !== 'sound') target.value = member === 'bone' ? ui.selected.bone || '' : String(ui.selected[member]);
    section.changed();
    section.refreshMarkers();
  }
}

function onTimelineClick(section, event) {
  const { ui } = section;
  const at = section.current();
  if (!at) return;
  const button = event.target.closest('[data-timeline-action]');
  const action = button ? button.dataset.timelineAction : '';
  if (action === 'play') {
    section.togglePlay(button);
  } else if (action === 'addMarker' && ui.pick) {
    ui.selected = addEvent(at.anim, ui.pick, ui.playhead, at.length);
    section.changed();
    section.renderTimeline();
  } else if (action === 'removeMarker' && ui.selected) {
    removeEvent(at.anim, ui.selected);
    ui.selected = null;
    section.changed();
    section.renderTimeline();
  }
  // Enter or Space on a focused marker (a click without a pointer) opens it too.
  const marker = event.target.closest('[data-marker]');
  if (marker && event.detail === 0 && at.events[Number(marker.dataset.marker)]) {
    ui.selected = at.events[Number(marker.dataset.marker)];
    section.renderTimeline();
  }
}

function wireDrags(section) {
  const { ui, parts } = section;
  wireTimeline(parts.body, section.win, {
    length: () => (section.current() ? section.current().length : 1),
    eventAt: (index) => (section.current() ? section.current().events[index] : undefined),
    seek: (time) => section.seek(time),
    select(event) {
      ui.selected = event;
      section.renderTimeline();
    },
    dragging(time) {
      const text = parts.body.querySelector('[data-timeline="clock"]');
      if (text) text.textContent = `marker at ${time.toFixed(3)} s`;
    },
    drop(event, time) {
      const at = section.current();
      if (!at || !at.events.includes(event)) return;
      moveEvent(at.anim, event, clampTime(time, at.length), at.length);
      ui.selected = event;
      section.changed();
      section.renderTimeline();
    },
  });
}

/** Hangs the section's listeners on its lasting elements. */
export function wireEdits(section) {
  const { library, body } = section.parts;
  library.addEventListener('change', (e) => onLibraryChange(section, e.target));
  library.addEventListener('click', (e) => {
    const button = e.target.closest('[data-sound-action]');
    if (button) onLibraryClick(section, button);
  });
  body.addEventListener('change', (e) => onTimelineChange(section, e.target));
  body.addEventListener('click', (e) => onTimelineClick(section, e));
  wireDrags(section);
}
