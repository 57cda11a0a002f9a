'use strict';
// The rules of a species' sounds and sound events: ids from file names, the notices of adding,
// renaming and removing, the timeline's length and ticks, marker edits and the playback window.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

let m;
before(async () => {
  m = await import(pathToFileURL(path.join(__dirname, '..', '..', 'ui', 'pages', 'species', 'sounds_model.js')).href);
});

/** A normalised document with the given sounds and animations. */
function docWith(sounds = [], animations = []) {
  return { version: 1, name: 'raptor', source: { mesh: 'raptor.fbx', sounds, animations } };
}

const sound = (id, file = `Sounds/${id}.wav`) => ({ id, file, kind: 'body', radius: 60 });
const ev = (soundId, time, extra = {}) => ({ sound: soundId, time, volume: 1, pitch: 1, ...extra });

describe('sound ids from file names', () => {
  it('folds the base name to the name rule, or "sound" when nothing is left', () => {
    const cases = [
      ['Sounds/Roar.wav', 'roar'],
      ['Sounds/Big Roar (2).OGG', 'big_roar_2'],
      ['Sounds/__step--left__.wav', 'step_left'],
      ['Sounds/füße.wav', 'f_e'],
      ['Sounds/....wav', 'sound'],
      ['Sounds/ÄÖÜ.ogg', 'sound'],
      ['Sounds/no_extension', 'no_extension'],
      ['Sounds/.hidden.wav', 'hidden'],
      [`Sounds/${'a'.repeat(40)}.wav`, 'a'.repeat(32)],
      ['C:\\sfx\\Bite.wav', 'bite'],
    ];
    for (const [file, id] of cases) {
      assert.equal(m.soundIdBase(file), id, file);
      assert.match(m.soundIdBase(file), /^[a-z0-9_]{1,32}$/, file);
    }
  });
});

describe('sounds added from a speciesSounds message', () => {
  it('adds new files with free ids, skips listed ones and words the notice by count', () => {
    const cases = [
      { have: [], files: ['Sounds/roar.wav'], ids: ['roar'], text: 'Added 1 sound. Save to keep it.' },
      { have: [], files: ['Sounds/a.wav', 'Sounds/b.ogg'], ids: ['a', 'b'], text: 'Added 2 sounds. Save to keep them.' },
      { have: [sound('roar')], files: ['Sounds/ROAR.WAV'], ids: ['roar'], text: 'These sounds are in the list already, their files were replaced.' },
      { have: [sound('roar', 'Sounds/other.wav')], files: ['Sounds/roar.wav'], ids: ['roar', 'roar_2'], text: 'Added 1 sound. Save to keep it.' },
      { have: [sound('x')], files: ['Sounds/Roar.wav', 'Sounds/roar.WAV'], ids: ['x', 'roar'], text: 'Added 1 sound. Save to keep it.' },
      { have: [], files: ['Sounds/r-1.wav', 'Sounds/r 1.ogg'], ids: ['r_1', 'r_1_2'], text: 'Added 2 sounds. Save to keep them.' },
      // The host keeps names apart that differ in more than A to Z, so the page does too.
      { have: [sound('ete', 'Sounds/Été.wav')], files: ['Sounds/été.wav'], ids: ['ete', 't'], text: 'Added 1 sound. Save to keep it.' },
    ];
    for (const c of cases) {
      const doc = docWith(c.have.map((s) => ({ ...s })));
      const result = m.addSoundFiles(doc, c.files);
      assert.equal(result.text, c.text, c.files.join());
      assert.equal(result.added, c.ids.length - c.have.length, c.files.join());
      assert.deepEqual(doc.source.sounds.map((s) => s.id), c.ids, c.files.join());
      for (const s of doc.source.sounds.slice(c.have.length)) {
        assert.equal(s.kind, 'body');
        assert.equal(s.radius, 60);
        assert.ok(c.files.includes(s.file));
      }
    }
  });

  it('starts a sound list in a document that has none', () => {
    const doc = { source: {} };
    assert.equal(m.addSoundFiles(doc, ['Sounds/a.wav']).added, 1);
    assert.deepEqual(doc.source.sounds, [{ id: 'a', file: 'Sounds/a.wav', kind: 'body', radius: 60 }]);
  });
});

describe('renaming, editing and removing sounds', () => {
  it('checks the name rule and uniqueness, and markers follow a rename', () => {
    const cases = [
      { typed: '  Big_Roar ', ok: true, ids: ['big_roar', 'bite'], events: ['big_roar', 'bite', 'big_roar'] },
      { typed: 'bite', ok: false, error: 'Another sound is called "bite" already.', ids: ['roar', 'bite'] },
      { typed: 'roar-2', ok: false, error: 'Sound ids use 1 to 32 characters of a-z, 0-9 and _.', ids: ['roar', 'bite'] },
      { typed: '', ok: false, error: 'Sound ids use 1 to 32 characters of a-z, 0-9 and _.', ids: ['roar', 'bite'] },
      { typed: 'a'.repeat(33), ok: false, error: 'Sound ids use 1 to 32 characters of a-z, 0-9 and _.', ids: ['roar', 'bite'] },
      { typed: 'ROAR', ok: true, ids: ['roar', 'bite'], events: ['roar', 'bite', 'roar'] },
    ];
    for (const c of cases) {
      const doc = docWith([sound('roar'), sound('bite')], [
        { file: 'a.fbx', id: 'a', sounds: [ev('roar', 0.1), ev('bite', 0.2)] },
        { file: 'b.fbx', id: 'b', sounds: [ev('roar', 0.3)] },
      ]);
      const result = m.renameSound(doc, 0, c.typed);
      assert.equal(result.ok, c.ok, c.typed);
      if (!c.ok) assert.equal(result.error, c.error, c.typed);
      assert.deepEqual(doc.source.sounds.map((s) => s.id), c.ids, c.typed);
      const events = doc.source.animations.flatMap((a) => a.sounds.map((e) => e.sound));
      assert.deepEqual(events, c.events || ['roar', 'bite', 'roar'], c.typed);
    }
  });

  it('clamps the range to 5 to 1000 m and takes only the two kinds', () => {
    const cases = [['60', 60], ['2', 5], ['1500', 1000], ['12,5', 12.5], ['loud', 5], ['1000', 1000]];
    for (const [typed, want] of cases) {
      const doc = docWith([sound('roar')]);
      assert.equal(m.editSound(doc, 0, 'radius', typed), true);
      assert.equal(doc.source.sounds[0].radius, want, typed);
    }
    const doc = docWith([sound('roar')]);
    assert.equal(m.editSound(doc, 0, 'kind', 'voice'), true);
    assert.equal(m.editSound(doc, 0, 'kind', 'music'), false);
    assert.equal(doc.source.sounds[0].kind, 'voice');
  });

  it('removes the markers of a removed sound and says how many', () => {
    const cases = [
      { remove: 0, text: 'Also removed 3 markers that used roar.', left: [['bite'], undefined] },
      { remove: 1, text: 'Also removed 1 marker that used bite.', left: [['roar', 'roar'], ['roar']] },
      { remove: 2, text: null, left: [['roar', 'bite', 'roar'], ['roar']] },
    ];
    for (const c of cases) {
      const doc = docWith([sound('roar'), sound('bite'), sound('quiet')], [
        { file: 'a.fbx', id: 'a', sounds: [ev('roar', 0.1), ev('bite', 0.2), ev('roar', 0.5)] },
        { file: 'b.fbx', id: 'b', sounds: [ev('roar', 0.3)] },
      ]);
      const result = m.removeSound(doc, c.remove);
      assert.equal(result.text, c.text);
      assert.equal(doc.source.sounds.length, 2);
      const left = doc.source.animations.map((a) => (a.sounds ? a.sounds.map((e) => e.sound) : undefined));
      assert.deepEqual(left, c.left);
      // An emptied animation loses the member, not only its contents.
      for (const a of doc.source.animations) assert.ok(!('sounds' in a) || a.sounds.length > 0);
    }
  });

  it('keeps the markers when another row still carries the id', () => {
    const doc = docWith([sound('roar'), sound('roar', 'Sounds/roar2.wav')], [{ file: 'a.fbx', id: 'a', sounds: [ev('roar', 0.1)] }]);
    assert.deepEqual(m.removeSound(doc, 0), { removed: 0, text: null });
    assert.equal(doc.source.animations[0].sounds.length, 1);
  });
});

describe('the timeline', () => {
  it('takes the length from the inspection, else the measured one, else 1 s, and clamps markers to it', () => {
    const walk = { file: 'Anims/walk.fbx', id: 'walk' };
    // One FBX file holding several takes: the helper lists each under its own id.
    const takes = { animations: [
      { file: 'Anims/walk.fbx', id: 'walk', seconds: 1.2 },
      { file: 'Rex.fbx', id: 'bite', seconds: 0.8 },
      { file: 'Rex.fbx', id: 'roar', seconds: 3.25 },
      { file: 'Rex.fbx', id: 'walk_2', seconds: 2 },
    ] };
    const cases = [
      [{ animations: [{ file: 'Anims/walk.fbx', id: 'x', seconds: 2.5 }] }, walk, 4, 2.5],
      [{ animations: [{ file: 'other.fbx', id: 'walk', seconds: 3 }] }, walk, 4, 3],
      [{ animations: [{ file: 'Anims/walk.fbx', seconds: 0 }] }, walk, 4, 4],
      [{ animations: [{ file: 'Anims/walk.fbx', seconds: '2' }] }, walk, null, 1],
      [null, walk, 0.75, 0.75],
      [{ animations: 'broken' }, walk, NaN, 1],
      [undefined, walk, undefined, 1],
      [takes, walk, 9, 1.2],
      [takes, { file: 'Rex.fbx', id: 'bite' }, 9, 0.8],
      [takes, { file: 'Rex.fbx', id: 'roar' }, 9, 3.25],
      // The same id in another file does not stand in for this file's own take.
      [takes, { file: 'Rex.fbx', id: 'walk_2' }, 9, 2],
      // An id the file does not list (a hand edit) keeps to the file's first take.
      [takes, { file: 'Rex.fbx', id: 'sniff' }, 9, 0.8],
    ];
    for (const [inspect, anim, measured, want] of cases) {
      const what = JSON.stringify([inspect, anim, measured]);
      const length = m.animationLength(inspect, anim, measured);
      assert.equal(length, want, what);
      const copy = { ...anim };
      assert.equal(m.addEvent(copy, 'roar', 99, length).time, want, `a marker past the end stops at it: ${what}`);
      assert.equal(m.addEvent(copy, 'roar', want / 2, length).time, m.roundTime(want / 2), `one within it stays: ${what}`);
    }
  });

  it('ticks every 1, 0.5, 0.25 or 0.1 s by length, from 0 to the length', () => {
    const cases = [[10, 1, 11], [6.01, 1, 7], [6, 0.5, 13], [3.01, 0.5, 7], [3, 0.25, 13], [1.21, 0.25, 5], [1.2, 0.1, 13], [1, 0.1, 11], [0.05, 0.1, 1]];
    for (const [length, step, count] of cases) {
      assert.equal(m.tickStep(length), step, String(length));
      const list = m.ticks(length);
      assert.equal(list.length, count, String(length));
      assert.equal(list[0], 0);
      assert.ok(list[list.length - 1] <= length + 1e-9);
      // Whole steps with no drift: 0.7 s is 0.7, not 0.7000000000000001.
      list.forEach((t, i) => assert.equal(t, Math.round(i * step * 1000) / 1000));
    }
  });

  it('adds, moves and edits markers with clamps, ms rounding and sorted events', () => {
    const anim = { file: 'a.fbx', id: 'a' };
    const a = m.addEvent(anim, 'roar', 0.8, 2);
    const b = m.addEvent(anim, 'bite', 0.12345, 2);
    const c = m.addEvent(anim, 'step', 5, 2);
    assert.deepEqual(anim.sounds, [b, a, c]);
    assert.deepEqual(b, { sound: 'bite', time: 0.123, volume: 1, pitch: 1 });
    assert.equal(c.time, 2, 'clamped to the animation length');
    m.moveEvent(anim, c, -1, 2);
    assert.equal(c.time, 0);
    assert.deepEqual(anim.sounds, [c, b, a]);
    const edits = [
      ['time', '1,9996', 'time', 2], ['time', '0.5', 'time', 0.5], ['time', 'x', 'time', 0],
      ['volume', '7', 'volume', 4], ['volume', '-1', 'volume', 0], ['volume', '0.3', 'volume', 0.3],
      ['pitch', '0.1', 'pitch', 0.25], ['pitch', '9', 'pitch', 4], ['pitch', '1.5', 'pitch', 1.5],
      ['bone', '  head ', 'bone', 'head'], ['sound', 'step', 'sound', 'step'],
    ];
    for (const [member, typed, key, want] of edits) {
      assert.equal(m.editEvent(anim, a, member, typed, 2), true, member);
      assert.equal(a[key], want, `${member} ${typed}`);
      const times = anim.sounds.map((e) => e.time);
      assert.deepEqual(times, times.slice().sort((x, y) => x - y), 'sorted after each edit');
    }
    m.editEvent(anim, a, 'bone', '   ', 2);
    assert.ok(!('bone' in a), 'an empty bone is no member');
    const clamps = [[900, 1000, 600], [2.0007, 2.0005, 2], [1.23456, 5, 1.235], [-0.0004, 1, 0], [NaN, 1, 0], [0.9996, 1, 1]];
    for (const [time, length, want] of clamps) assert.equal(m.clampTime(time, length), want, `${time} in ${length}`);
    for (const e of [a, b, c]) m.removeEvent(anim, e);
    assert.ok(!('sounds' in anim), 'the last removal drops the member');
  });

  it('counts a press and release under 3 pixels apart as a click', () => {
    const cases = [[0, 0, true], [2, 2, true], [2.9, 0, true], [3, 0, false], [0, -3, false], [2.2, 2.2, false]];
    for (const [dx, dy, click] of cases) assert.equal(m.isClick(dx, dy), click, `${dx},${dy}`);
  });
});

describe('playback', () => {
  const events = [ev('start', 0), ev('mid', 0.5), ev('end', 1)];
  const names = (list) => list.map((e) => e.sound);

  it('sounds the events between the previous frame and this one, also at the end of a loop', () => {
    const cases = [
      [0, 0.016, ['start']],
      [0.016, 0.4, []],
      [0.49, 0.51, ['mid']],
      [0.5, 0.6, ['mid']],
      [0.4, 0.5, []],
      [0.99, 1.01, ['start', 'end']],
      [1.01, 1.5, []],
      [1.49, 1.51, ['mid']],
      [2.98, 3.02, ['start', 'end']],
      [0.2, 1.3, ['start', 'mid', 'end']],
      [0.5, 0.5, []],
      [0.6, 0.5, []],
    ];
    for (const [from, to, want] of cases) assert.deepEqual(names(m.dueEvents(events, from, to, 1)).sort(), want.sort(), `${from}..${to}`);
  });

  it('sounds each event once when a frame spans a whole loop of a short animation', () => {
    assert.deepEqual(names(m.dueEvents(events, 0.1, 3.5, 1)).sort(), ['end', 'mid', 'start']);
    assert.deepEqual(m.dueEvents(events, 0, 1, 0), []);
  });

  it('sounds every event exactly once per loop over a long play in uneven frames', () => {
    const counts = new Map();
    let clock = 0.25;
    for (let i = 0; clock < 10.25; i++) {
      const next = clock + [0.016, 0.033, 0.05, 0.1][i % 4];
      for (const e of m.dueEvents(events, clock, next, 1)) counts.set(e.sound, (counts.get(e.sound) || 0) + 1);
      clock = next;
    }
    assert.deepEqual(Object.fromEntries(counts), { mid: 10, end: 10, start: 10 });
    assert.equal(m.loopTime(2.25, 1), 0.25);
    assert.equal(m.loopTime(3, 1.5), 0);
  });

  it('addresses source files on the species host with each segment encoded', () => {
    assert.equal(m.sourceUrl('http://h/t/species/', 'raptor', 'Sounds/big roar#1.wav'), 'http://h/t/species/raptor/source/Sounds/big%20roar%231.wav');
    assert.equal(m.sourceUrl('b/', 'r ä', 'Anims/walk?.fbx'), 'b/r%20%C3%A4/source/Anims/walk%3F.fbx');
  });
});
