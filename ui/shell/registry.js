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
    get(key) {
      return pages[key] || null;
    },
    call,
  };
}
