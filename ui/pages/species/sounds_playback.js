/*
 * Sound for the sounds section: one audio context made on the first play (browsers only
 * allow it after a click), decoded files kept while the section lives, and the play clock
 * that drives the timeline while it plays and stops asking for frames when it stops.
 */

/**
 * `notice(text, isError)` tells the owner about a file that cannot be played; each file is
 * reported once until `forgive()` (a new play by hand) clears the list.
 */
export function createSoundPlayer(win, notice) {
  let context = null;
  const buffers = new Map();
  const failed = new Set();

  async function decode(url) {
    const response = await win.fetch(url, { cache: 'no-store' });
    if (!response.ok) throw new Error(`HTTP ${response.status}`);
    return context.decodeAudioData(await response.arrayBuffer());
  }

  function bufferOf(url) {
    if (!buffers.has(url)) {
      const loading = decode(url);
      // A failed file is tried again next time: the owner may have replaced it.
      loading.catch(() => buffers.delete(url));
      buffers.set(url, loading);
    }
    return buffers.get(url);
  }

  /** Plays `url` at `volume` (0 to 4) and `pitch` (0.25 to 4); resolves once it started. */
  async function play(url, file, volume = 1, pitch = 1) {
    const Context = win.AudioContext || win.webkitAudioContext;
    if (!Context) {
      notice('This window cannot play sounds.', true);
      return false;
    }
    if (!context) context = new Context();
    if (context.state === 'suspended') context.resume().catch(() => {});
    try {
      const buffer = await bufferOf(url);
      const source = context.createBufferSource();
      const gain = context.createGain();
      source.buffer = buffer;
      source.playbackRate.value = pitch;
      gain.gain.value = volume;
      source.connect(gain).connect(context.destination);
      source.start();
      return true;
    } catch (error) {
      if (!failed.has(url)) notice(`Could not play ${file}.`, true);
      failed.add(url);
      return false;
    }
  }

  return {
    play,
    forgive() {
      failed.clear();
    },
    close() {
      buffers.clear();
      if (context) context.close().catch(() => {});
      context = null;
    },
  };
}

/**
 * The play clock: from `start` seconds on, `onTick(from, to)` every animation frame with the
 * clock before and after it. While stopped it asks for no frames at all.
 */
export function createPlayClock(win, onTick) {
  let frame = 0;
  let origin = 0;
  let begin = 0;
  let last = 0;

  function tick(now) {
    const to = begin + (now - origin) / 1000;
    const from = last;
    last = Math.max(from, to);
    frame = win.requestAnimationFrame(tick);
    onTick(from, last);
  }

  return {
    start(at) {
      this.stop();
      begin = at;
      last = at;
      origin = win.performance.now();
      frame = win.requestAnimationFrame(tick);
    },
    stop() {
      if (frame) win.cancelAnimationFrame(frame);
      frame = 0;
    },
    get running() {
      return frame !== 0;
    },
  };
}
