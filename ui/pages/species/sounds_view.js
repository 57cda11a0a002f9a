/*
 * Markup of the sounds section: the sound library, the animation chooser with its controls,
 * the timeline and the marker editor. Strings only; the section puts them in place and the
 * timeline module moves the playhead and markers between redraws.
 */
import { esc } from '../../lib/html.js';
import { choiceOptions } from '../../lib/fields.js';
import { SOUND_KINDS, ticks, tickStep } from './sounds_model.js';

/** A position on the timeline in per cent of its width, as CSS wants it. */
export const percentOf = (time, length) => `${((Math.min(length, Math.max(0, time)) / length) * 100).toFixed(3)}%`;

function soundRow(sound, index) {
  const id = esc(sound.id);
  return `<div class="sound-row" data-sound-index="${index}">` +
    `<button type="button" class="btn sound-play" data-sound-action="play" title="Play ${id}" aria-label="Play ${id}">▶</button>` +
    `<input type="text" class="sound-id" spellcheck="false" maxlength="64" data-sound-field="id" value="${id}" aria-label="Sound id">` +
    `<span class="sound-file mono" title="${esc(sound.file)}">${esc(sound.file)}</span>` +
    `<select data-sound-field="kind" aria-label="Kind">${choiceOptions(SOUND_KINDS, sound.kind)}</select>` +
    `<label class="sound-radius"><span>heard up to</span><input type="text" inputmode="decimal" data-sound-field="radius" value="${esc(sound.radius)}"><span class="vf-unit">m</span></label>` +
    `<button type="button" class="btn danger" data-sound-action="remove">Remove</button></div>`;
}

export function libraryHtml(sounds) {
  const rows = sounds.length
    ? sounds.map(soundRow).join('')
    : '<p class="empty">No sounds yet. Add WAV or OGG files, then place them on an animation below.</p>';
  return `<div class="sounds-head"><h3>Sounds</h3><button type="button" class="btn" data-sound-action="add">Add sound files</button></div>` +
    `<div class="sounds-rows">${rows}</div>`;
}

function chooserHtml(animations, chosen) {
  const options = animations.map((a, i) => `<option value="${i}"${i === chosen ? ' selected' : ''}>${esc(a.id)}</option>`).join('');
  return `<label class="vf-field sounds-anim"><span class="vf-label">Animation</span><select data-timeline="anim">${options}</select></label>`;
}

function controlsHtml(view) {
  const soundOptions = view.sounds.map((s) => [s.id, s.id]);
  const canAdd = view.sounds.length > 0;
  return `<div class="sounds-controls">` +
    `<button type="button" class="btn" data-timeline-action="play">${view.playing ? 'Stop' : 'Play'}</button>` +
    `<span class="sounds-clock mono" data-timeline="clock">${view.playhead.toFixed(3)} / ${view.length.toFixed(3)} s</span>` +
    `<select data-timeline="pick" aria-label="Sound to place"${canAdd ? '' : ' disabled'}>${canAdd ? choiceOptions(soundOptions, view.pick) : '<option>No sounds yet</option>'}</select>` +
    `<button type="button" class="btn" data-timeline-action="addMarker"${canAdd ? '' : ' disabled'}>Add marker at playhead</button></div>`;
}

/** The markers of one animation's events; `selected` is the event being edited. */
export function markersHtml(events, length, selected) {
  return events.map((e, i) => {
    const label = `${esc(e.sound)} at ${esc(e.time)} s`;
    return `<button type="button" class="sound-marker${e === selected ? ' selected' : ''}" data-marker="${i}" ` +
      `style="left:${percentOf(e.time, length)}" title="${label}" aria-label="${label}"></button>`;
  }).join('');
}

function trackHtml(view) {
  const { length, events, selected } = view;
  const step = tickStep(length);
  const tickMarks = ticks(length).map((t) => {
    const major = Math.abs(t / (step * 2) - Math.round(t / (step * 2))) < 1e-6 || step === 1;
    return `<span class="sound-tick${major ? ' major' : ''}" style="left:${percentOf(t, length)}">${major ? esc(t) : ''}</span>`;
  }).join('');
  return `<div class="sounds-track" data-timeline="track" data-length="${length}">` +
    `<div class="sound-ticks">${tickMarks}</div><div class="sound-markers">${markersHtml(events, length, selected)}</div>` +
    `<div class="sound-playhead" data-timeline="playhead" style="left:${percentOf(view.playhead, length)}"></div></div>`;
}

function numberField(label, member, value, unit) {
  return `<label class="vf-field"><span class="vf-label">${label}</span><span class="vf-input">` +
    `<input type="text" inputmode="decimal" data-marker-field="${member}" value="${esc(value)}">${unit ? `<span class="vf-unit">${unit}</span>` : ''}</span></label>`;
}

function editorHtml(view) {
  const event = view.selected;
  if (!event) return '<p class="hint">Click the timeline to move the playhead, click a marker to edit it, drag a marker to move it.</p>';
  const soundOptions = view.sounds.map((s) => [s.id, s.id]);
  return `<div class="sounds-editor" data-marker-editor="${view.events.indexOf(event)}">` +
    `<label class="vf-field"><span class="vf-label">Sound</span><select data-marker-field="sound">${choiceOptions(soundOptions, event.sound)}</select></label>` +
    numberField('Time', 'time', event.time, 's') + numberField('Volume', 'volume', event.volume, '') +
    numberField('Pitch', 'pitch', event.pitch, '') +
    `<label class="vf-field"><span class="vf-label">Bone</span><input type="text" spellcheck="false" data-marker-field="bone" value="${esc(event.bone || '')}" placeholder="optional"></label>` +
    `<button type="button" class="btn danger" data-timeline-action="removeMarker">Remove marker</button></div>`;
}

/**
 * The timeline part. `view` is { animations, chosen, sounds, events, length, playhead,
 * playing, pick, selected }; without animations there is only a hint.
 */
export function timelineHtml(view) {
  if (!view.animations.length) return '<h3>Sound events</h3><p class="empty">Import a model with animations to place sounds on them.</p>';
  return `<h3>Sound events</h3><div class="sounds-bar">${chooserHtml(view.animations, view.chosen)}${controlsHtml(view)}</div>` +
    trackHtml(view) + editorHtml(view);
}
