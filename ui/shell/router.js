/* Where each message from the host goes. */

import { applyState, SKINS_BROKEN } from './state.js';

const SPECIES_TYPES = ['species', 'speciesLog', 'speciesRemote', 'speciesSounds'];

/**
 * Routes one message from the host by its `type`. Everything it touches comes in `deps`
 * ({ page, send, render, notice, deliver, and optionally stateApplied(applied, msg), told what
 * a state message changed before the redraw, and picker, which shows the host's dialogs and
 * closes them when they end, and openUrl, which shows an address to open in a browser}), so it
 * runs without a browser.
 */
export function createRouter(deps) {
  return function route(msg) {
    if (!msg || typeof msg !== 'object' || typeof msg.type !== 'string') return;
    if (msg.type === 'state') {
      const applied = applyState(deps.page, msg);
      if (applied.rootChanged) deps.send({ cmd: 'speciesRefresh' });
      if (applied.skinsBroke) deps.notice(SKINS_BROKEN, true);
      if (deps.stateApplied) deps.stateApplied(applied, msg);
      deps.render();
    } else if (msg.type === 'notice') {
      deps.notice(typeof msg.text === 'string' ? msg.text : '', msg.error === true);
    } else if (msg.type === 'studio') {
      deps.deliver('studio', msg);
    } else if (SPECIES_TYPES.includes(msg.type)) {
      deps.deliver('species', msg);
    } else if (msg.type === 'dialog' && deps.picker) {
      deps.picker.show(msg);
    } else if (msg.type === 'dialogEnd' && deps.picker) {
      deps.picker.end(msg);
    } else if (msg.type === 'openUrl' && deps.openUrl) {
      deps.openUrl(msg.url);
    }
  };
}
