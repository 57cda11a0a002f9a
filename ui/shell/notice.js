/* The notice bar under the pages: one line of news or trouble that hides itself. */

export const NOTICE_MS = 5000;

/**
 * Hides the notice bar `delayMs` after the latest notice: every restart drops the pending
 * hide, so a quick second notice is not cut short by the first one's timer.
 */
export function createNoticeTimer(hide, timers, delayMs) {
  let handle = null;
  return {
    restart() {
      if (handle !== null) timers.clear(handle);
      handle = timers.set(() => {
        handle = null;
        hide();
      }, delayMs);
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

/** The notice(text, error) function of the bar `el`; a click on the bar dismisses it. */
export function createNoticeBar(el) {
  const timer = createNoticeTimer(
    () => {
      el.hidden = true;
    },
    { set: (fn, ms) => setTimeout(fn, ms), clear: (id) => clearTimeout(id) },
    NOTICE_MS
  );
  el.addEventListener('click', () => {
    timer.cancel();
    el.hidden = true;
  });
  return function notice(text, error) {
    el.textContent = String(text);
    el.classList.toggle('error', !!error);
    el.hidden = false;
    timer.restart();
  };
}
