/*
 * A page whose code is fetched the first time its tab is drawn. The Zuze Ravizu page brings
 * three.js and its loaders, some megabytes the page would otherwise fetch and compile before
 * it could draw the first state; this stand-in registers at once, holds what the shell hands
 * it, and passes everything on, in order, once the real page is there.
 */

/**
 * `load()` resolves with the real page object (start, message, render as in pages.js);
 * `report(error)` gets a failed load.
 */
export function createLazyPage(load, report) {
  let shell = null;
  let page = null;
  let loading = null;
  const held = [];

  function arrived(real) {
    page = real;
    if (typeof page.start === 'function') page.start(shell);
    for (const msg of held.splice(0)) if (typeof page.message === 'function') page.message(msg);
    // The shell draws the open tab; only this page's tab can have asked for it.
    shell.render();
  }

  return {
    start(api) {
      shell = api;
    },
    message(msg) {
      if (page) {
        if (typeof page.message === 'function') page.message(msg);
      } else {
        held.push(msg);
      }
    },
    render(panel) {
      if (page) {
        if (typeof page.render === 'function') page.render(panel);
        return;
      }
      // The shell's own text for a page that is not there yet.
      if (!panel.firstChild) panel.innerHTML = '<p class="empty">Loading…</p>';
      if (!loading) loading = load().then(arrived, report);
    },
  };
}
