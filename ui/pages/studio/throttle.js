/* Paces work that is too slow to run on every event, like the preview bake during a stroke. */

/**
 * Runs `fn` at most once per `ms`: calls while one is pending are folded into it. flush()
 * runs a pending call at once. `timers` is { set, clear } so tests can drive the clock.
 */
export function createThrottle(fn, ms, timers) {
  let handle = null;
  return {
    call() {
      if (handle !== null) return;
      handle = timers.set(() => {
        handle = null;
        fn();
      }, ms);
    },
    flush() {
      if (handle === null) return;
      timers.clear(handle);
      handle = null;
      fn();
    },
    cancel() {
      if (handle !== null) timers.clear(handle);
      handle = null;
    },
    pending() {
      return handle !== null;
    },
  };
}
