/*
 * The Species page: species workspaces, their import and their builds. The shell forwards
 * the species, speciesLog, speciesRemote and speciesSounds messages to it.
 */

let shell = null;
let latest = null;

export const speciesPage = {
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
