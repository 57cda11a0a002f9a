/*
 * A page whose code is fetched after the page has started. The page declares its tab at once
 * through this stand-in, which holds what the shell hands it and passes everything on, in
 * order, once the real page is there. So the page draws its first state with only the shell
 * and the first tab's code: every other page is some dozens of modules the browser would
 * otherwise fetch and compile first.
 *
 * The Zuze Ravizu page is fetched when its tab is first drawn, since it brings three.js and
 * its loaders, some megabytes; the other pages are fetched as soon as the first state is
 * drawn (`prefetch`), so they are there, with every message the host sent them, by the time
 * the start-up is over.
 */

// Thrown outside the promise, so that the page's error hook hears of it.
function rethrowLater(error) {
  setTimeout(() => {
    throw error;
  }, 0);
}

/**
 * `load()` resolves with the real page object (start, message, stateApplied, render as in
 * pages.js); `report(error)` gets a failed load and what the real page throws while it is
 * handed what was held. With `prefetch`, the stand-in has `prefetch()`, which fetches the
 * page without drawing it and resolves once the page has been handed everything held.
 */
export function createLazyPage(load, report = rethrowLater, { prefetch = false } = {}) {
  let shell = null;
  let page = null;
  let loading = null;
  // A drawing was asked for while the code was on its way: the open tab is this page's.
  let drawAsked = false;
  // The shell's calls before the page was there, in the order it made them.
  const held = [];

  function pass(method, args) {
    try {
      if (typeof page[method] === 'function') page[method](...args);
    } catch (error) {
      report(error);
    }
  }

  function arrived(real) {
    page = real;
    pass('start', [shell]);
    for (const [method, args] of held.splice(0)) pass(method, args);
    if (drawAsked) shell.render();
  }

  function fetchPage() {
    if (!loading) loading = load().then(arrived, report);
    return loading;
  }

  function handOn(method, args) {
    if (page) pass(method, args);
    else held.push([method, args]);
  }

  const standIn = {
    start(api) {
      shell = api;
    },
    message(msg) {
      handOn('message', [msg]);
    },
    stateApplied(applied, msg) {
      handOn('stateApplied', [applied, msg]);
    },
    render(panel) {
      if (page) {
        if (typeof page.render === 'function') page.render(panel);
        return;
      }
      // The shell's own text for a page that is not there yet.
      if (!panel.firstChild) panel.innerHTML = '<p class="empty">Loading…</p>';
      drawAsked = true;
      fetchPage();
    },
  };
  if (prefetch) standIn.prefetch = fetchPage;
  return standIn;
}

/** A page fetched as soon as the first state is drawn, whose failure reaches the error hook. */
export function createPrefetchedPage(load) {
  return createLazyPage(load, rethrowLater, { prefetch: true });
}
