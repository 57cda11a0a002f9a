/*
 * The AI page: brains and spawners of the server's creatures. Registers itself with the
 * page shell (app.js), which hands it the `ai` member of every state message.
 */
(function () {
  'use strict';

  let shell = null;
  let ai = { brains: '', spawns: '' };

  const page = {
    start(api) {
      shell = api;
    },
    load(value) {
      if (value && typeof value === 'object') {
        ai = {
          brains: typeof value.brains === 'string' ? value.brains : '',
          spawns: typeof value.spawns === 'string' ? value.spawns : '',
        };
      }
    },
    render(panel) {
      const has = (text) => (text.length > 0 ? 'on file' : 'none yet');
      panel.innerHTML = `
        <div class="card">
          <h2 class="card-title">AI</h2>
          <p class="muted">Brains: ${shell.esc(has(ai.brains))} · Spawners: ${shell.esc(has(ai.spawns))}</p>
        </div>`;
    },
  };

  (window.vfPages = window.vfPages || []).push(['ai', page]);
})();
