/*
 * The shell's side of the page registry. A page starts once it is registered and the shell
 * hands over its API; messages for a page that has not started yet are held, since a page's
 * module may only run after the host has already answered `init`.
 */

/**
 * `onStarted(key, page)` runs after each page's start; `report(error)` gets what a page
 * throws, so one broken page cannot stop the shell or the other pages.
 */
export function createPageRegistry(api, onStarted, report) {
  const pages = {};
  const held = {};
  // The latest state message and what it changed, for pages that start after it.
  let latestState = null;

  function call(fn) {
    try {
      fn();
    } catch (error) {
      report(error);
    }
  }

  return {
    register(key, page) {
      if (!page || typeof page !== 'object' || pages[key]) return;
      pages[key] = page;
      if (typeof page.start === 'function') call(() => page.start(api));
      const queue = held[key] || [];
      delete held[key];
      for (const msg of queue) {
        if (typeof page.message === 'function') call(() => page.message(msg));
      }
      if (latestState && typeof page.stateApplied === 'function') {
        call(() => page.stateApplied(latestState.applied, latestState.msg));
      }
      onStarted(key, page);
    },
    deliver(key, msg) {
      const page = pages[key];
      if (!page) {
        (held[key] = held[key] || []).push(msg);
        return;
      }
      if (typeof page.message === 'function') call(() => page.message(msg));
    },
    /** Tells every started page what a state message changed, in the order they started. */
    stateApplied(applied, msg) {
      latestState = { applied, msg };
      for (const page of Object.values(pages)) {
        if (typeof page.stateApplied === 'function') call(() => page.stateApplied(applied, msg));
      }
    },
    /** Starts fetching every page that is fetched ahead of its first drawing; their promises. */
    prefetch() {
      return Object.values(pages)
        .filter((page) => typeof page.prefetch === 'function')
        .map((page) => page.prefetch());
    },
    get(key) {
      return pages[key] || null;
    },
    call,
  };
}
