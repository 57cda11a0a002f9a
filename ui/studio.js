/*
 * The Zuze Ravizu page: reads the game's species, extracts one and paints pattern textures
 * on its model. A module, so it runs after the page shell; the shell holds the studio
 * messages that arrive before this page has started.
 */
import * as THREE from 'three';

// Lets anyone check from the console which three.js the import map resolved.
window.threeRevision = THREE.REVISION;

let shell = null;
let latest = null;

const page = {
  start(api) {
    shell = api;
  },
  message(msg) {
    latest = msg;
    if (shell.state.tab === 'studio') shell.render();
  },
  render(panel) {
    let body = '<p class="empty">Waiting for the asset studio…</p>';
    if (latest) {
      const helper = latest.helper === true;
      body = `<div class="status-row"><span class="badge ${helper ? 'badge-ok' : 'badge-missing'}">${helper ? 'found' : 'missing'}</span>` +
        '<div class="row-text"><div class="row-title">Asset helper tool</div></div></div>';
    }
    panel.innerHTML = `<div class="card"><h2 class="card-title">Zuze Ravizu</h2>${body}</div>`;
  },
};

(window.vfPages = window.vfPages || []).push(['studio', page]);
