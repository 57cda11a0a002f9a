/*
 * The Species page: species workspaces, their import and their builds. Registers itself with
 * the page shell (app.js), which forwards the species, speciesLog, speciesRemote and
 * speciesSounds messages to it.
 */
(function () {
  'use strict';

  let shell = null;
  let latest = null;

  const page = {
    start(api) {
      shell = api;
    },
    message(msg) {
      if (msg.type === 'species') {
        latest = msg;
        if (shell.state.tab === 'species') shell.render();
      }
    },
    render(panel) {
      let body = '<p class="empty">Waiting for the species workspaces…</p>';
      if (latest) {
        const items = Array.isArray(latest.items) ? latest.items : [];
        const kit = latest.kit === true;
        body = `<div class="status-row"><span class="badge ${kit ? 'badge-ok' : 'badge-missing'}">${kit ? 'found' : 'missing'}</span>` +
          `<div class="row-text"><div class="row-title">Species kit</div></div></div>` +
          `<p class="muted">${items.length} ${items.length === 1 ? 'workspace' : 'workspaces'}</p>`;
      }
      panel.innerHTML = `<div class="card"><h2 class="card-title">Species</h2>${body}</div>`;
    },
  };

  (window.vfPages = window.vfPages || []).push(['species', page]);
})();
