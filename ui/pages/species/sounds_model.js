/*
 * The rules of a species' sounds and of the sound events placed on its animations: ids from
 * file names, the notices of adding, renaming and removing, the timeline's ticks, marker
 * edits with their limits, and which events a playback frame sounds. Plain data in, plain
 * data out, so node tests every rule and the section only draws.
 */
import { cleanName, clampShown, freeName, isValidName, NAME_MAX, parseEntered } from '../../lib/fields.js';
import { inspectedAnimation } from './anim_takes.js';

export const SOUND_KINDS = [['body', 'Body'], ['voice', 'Voice']];
export const RADIUS = { min: 5, max: 1000, fallback: 60 };
export const VOLUME = { min: 0, max: 4 };
export const PITCH = { min: 0.25, max: 4 };
export const MAX_EVENT_TIME = 600;
/** A pointer that travels less than this (in pixels) between press and release clicked. */
export const CLICK_SLOP_PX = 3;

export const NOTICES = {
  badId: 'Sound ids use 1 to 32 characters of a-z, 0-9 and _.',
  takenId: (id) => `Another sound is called "${id}" already.`,
  allKnown: 'These sounds are in the list already, their files were replaced.',
};

function soundsOf(doc) {
  if (!doc.source || typeof doc.source !== 'object') doc.source = {};
  if (!Array.isArray(doc.source.sounds)) doc.source.sounds = [];
  return doc.source.sounds;
}

function animationsOf(doc) {
  const list = doc && doc.source && doc.source.animations;
  return Array.isArray(list) ? list : [];
}

/** The id a sound file suggests: its base name with everything but a-z, 0-9 and _ folded. */
export function soundIdBase(file) {
  const name = String(file).split(/[\\/]/).pop();
  const dot = name.lastIndexOf('.');
  const base = (dot > 0 ? name.slice(0, dot) : name).toLowerCase();
  const folded = base.replace(/[^a-z0-9_]+/g, '_').replace(/^_+|_+$/g, '').slice(0, NAME_MAX);
  return folded || 'sound';
}

// File names compared as the host stores them: a sound whose name differs from one on disk
// only in the letters A to Z replaces that file, any other difference makes a file of its own.
const fileKey = (file) => String(file).replace(/[A-Z]+/g, (letters) => letters.toLowerCase());

/**
 * The files of a speciesSounds message into the sound list: a file not listed yet (ASCII
 * letter case aside) becomes a body sound heard up to 60 m; a listed one was only replaced on
 * disk. Returns how many were added and the notice that says so.
 */
export function addSoundFiles(doc, files) {
  const sounds = soundsOf(doc);
  const known = new Set(sounds.map((s) => fileKey(s.file)));
  const ids = new Set(sounds.map((s) => s.id));
  let added = 0;
  for (const file of Array.isArray(files) ? files : []) {
    if (typeof file !== 'string' || file === '' || known.has(fileKey(file))) continue;
    const id = freeName(soundIdBase(file), ids);
    sounds.push({ id, file, kind: 'body', radius: RADIUS.fallback });
    known.add(fileKey(file));
    ids.add(id);
    added++;
  }
  if (added === 0) return { added, text: NOTICES.allKnown };
  const text = `Added ${added} sound${added === 1 ? '' : 's'}. Save to keep ${added === 1 ? 'it' : 'them'}.`;
  return { added, text };
}

/**
 * Renames sound `index` to what was typed. Events that played the old id follow it, so a
 * rename never leaves markers pointing at a sound that is gone.
 */
export function renameSound(doc, index, typed) {
  const sounds = soundsOf(doc);
  const sound = sounds[index];
  const id = cleanName(typed);
  if (!sound) return { ok: false, error: NOTICES.badId };
  if (!isValidName(id)) return { ok: false, error: NOTICES.badId };
  if (id === sound.id) return { ok: true, changed: false, id };
  if (sounds.some((s, i) => i !== index && s.id === id)) return { ok: false, error: NOTICES.takenId(id) };
  const old = sound.id;
  sound.id = id;
  // Another row with the old id (a hand-edited file) keeps its events.
  if (!sounds.some((s) => s.id === old)) {
    for (const anim of animationsOf(doc)) {
      for (const event of Array.isArray(anim.sounds) ? anim.sounds : []) if (event.sound === old) event.sound = id;
    }
  }
  return { ok: true, changed: true, id };
}

/** Sets a sound's kind or range; the range is clamped to 5 to 1000 m. */
export function editSound(doc, index, member, value) {
  const sound = soundsOf(doc)[index];
  if (!sound) return false;
  if (member === 'kind') {
    if (!SOUND_KINDS.some(([key]) => key === value)) return false;
    sound.kind = value;
  } else if (member === 'radius') {
    sound.radius = clampShown(parseEntered(value), RADIUS);
  } else {
    return false;
  }
  return true;
}

/** Drops an animation's event list once it is empty: the document has no empty lists. */
function tidyEvents(anim) {
  if (Array.isArray(anim.sounds) && anim.sounds.length === 0) delete anim.sounds;
}

/**
 * Removes sound `index` and every event that played it (unless another row still carries
 * the id). Returns the number of events removed and the notice for them, or null.
 */
export function removeSound(doc, index) {
  const sounds = soundsOf(doc);
  const [sound] = sounds.splice(index, 1);
  if (!sound) return { removed: 0, text: null };
  let removed = 0;
  if (!sounds.some((s) => s.id === sound.id)) {
    for (const anim of animationsOf(doc)) {
      if (!Array.isArray(anim.sounds)) continue;
      const kept = anim.sounds.filter((e) => e.sound !== sound.id);
      removed += anim.sounds.length - kept.length;
      anim.sounds = kept;
      tidyEvents(anim);
    }
  }
  if (removed === 0) return { removed, text: null };
  return { removed, text: `Also removed ${removed} marker${removed === 1 ? '' : 's'} that used ${sound.id}.` };
}

/** The timeline's length: the inspection's seconds, else what the preview measured, else 1 s. */
export function animationLength(inspect, anim, measured) {
  const found = inspectedAnimation(inspect, anim);
  if (found && typeof found.seconds === 'number' && found.seconds > 0 && Number.isFinite(found.seconds)) return found.seconds;
  if (typeof measured === 'number' && measured > 0 && Number.isFinite(measured)) return measured;
  return 1;
}

export function tickStep(length) {
  if (length > 6) return 1;
  if (length > 3) return 0.5;
  if (length > 1.2) return 0.25;
  return 0.1;
}

/** Tick times from 0 to the length, counted in whole steps so no rounding drift piles up. */
export function ticks(length) {
  const step = tickStep(length);
  const count = Math.floor(length / step + 1e-9);
  const list = [];
  for (let i = 0; i <= count; i++) list.push(Math.round(i * step * 1000) / 1000);
  return list;
}

export const roundTime = (seconds) => Math.round(seconds * 1000) / 1000;

/** A time as an event may hold it: 0 to the animation's length (600 s at most), in ms. */
export function clampTime(seconds, length) {
  // The last whole millisecond within the length, so rounding never lands past the end.
  const top = Math.floor(Math.min(MAX_EVENT_TIME, length) * 1000 + 1e-6) / 1000;
  return Math.min(top, Math.max(0, roundTime(Number.isFinite(seconds) ? seconds : 0)));
}

/** Keeps events in time order; events at the same time keep their order. */
function sortEvents(anim) {
  anim.sounds.sort((a, b) => a.time - b.time);
}

/** Puts the sound `sound` at `time` with volume and pitch 1; returns the new event. */
export function addEvent(anim, sound, time, length) {
  if (!Array.isArray(anim.sounds)) anim.sounds = [];
  const event = { sound, time: clampTime(time, length), volume: 1, pitch: 1 };
  anim.sounds.push(event);
  sortEvents(anim);
  return event;
}

export function moveEvent(anim, event, time, length) {
  event.time = clampTime(time, length);
  sortEvents(anim);
}

/** One member of the marker editor, read from typed text and clamped to its limits. */
export function editEvent(anim, event, member, value, length) {
  if (member === 'sound') {
    event.sound = String(value);
  } else if (member === 'time') {
    moveEvent(anim, event, parseEntered(value), length);
  } else if (member === 'volume') {
    event.volume = clampShown(parseEntered(value), VOLUME);
  } else if (member === 'pitch') {
    event.pitch = clampShown(parseEntered(value), PITCH);
  } else if (member === 'bone') {
    const bone = String(value).trim();
    if (bone) event.bone = bone;
    else delete event.bone;
  } else {
    return false;
  }
  return true;
}

export function removeEvent(anim, event) {
  if (!Array.isArray(anim.sounds)) return false;
  const at = anim.sounds.indexOf(event);
  if (at < 0) return false;
  anim.sounds.splice(at, 1);
  tidyEvents(anim);
  return true;
}

/** A pointer that moved less than the slop between press and release clicked. */
export const isClick = (dx, dy) => Math.hypot(dx, dy) < CLICK_SLOP_PX;

/**
 * The events a playback frame sounds. `from` and `to` are the play clock before and after
 * the frame, counted from the start of the first loop without wrapping; the event at time t
 * of loop k sits at k * length + t and sounds when from <= it < to. So an event at the very
 * end of the animation sounds as the loop ends, and one at 0 as the next begins. A frame
 * longer than a whole loop sounds every event once.
 */
export function dueEvents(events, from, to, length) {
  if (!Array.isArray(events) || !(to > from) || !(length > 0)) return [];
  if (to - from >= length) return events.slice();
  const due = [];
  const first = Math.max(0, Math.floor(from / length) - 1);
  const last = Math.floor(to / length);
  for (let k = first; k <= last; k++) {
    for (const event of events) {
      const at = k * length + event.time;
      if (at >= from && at < to && !due.includes(event)) due.push(event);
    }
  }
  return due;
}

/** Where the play clock stands within the animation. */
export function loopTime(clock, length) {
  if (!(length > 0)) return 0;
  return clock - Math.floor(clock / length) * length;
}

/** The species host's address of a workspace source file, each path segment encoded. */
export function sourceUrl(base, species, file) {
  const segments = [species, 'source', ...String(file).split('/')];
  return base + segments.map((s) => encodeURIComponent(s)).join('/');
}
