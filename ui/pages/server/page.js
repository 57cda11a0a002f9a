/* The Server page: the server folder, starting the runner, and editing server.cfg. */

import { actionOf, paint } from '../../lib/panel.js';
import { cfgToSave, settleCfgDrafts } from './model.js';
import { serverHtml } from './view.js';

let shell = null;
// Typing that has not been sent yet: it is the person's, not the host's, so it lives here
// and survives the redraws that state messages cause.
let cfgDrafts = {};
let cfgSavePending = false;

const COMMANDS = {
  pickFolder: { cmd: 'pickFolder' },
  openRoot: { cmd: 'open', what: 'root' },
  startRunner: { cmd: 'startRunner' },
  openDocs: { cmd: 'open', what: 'docs' },
};

function onClick(event) {
  const el = actionOf(event);
  if (!el) return;
  const action = el.dataset.action;
  if (Object.prototype.hasOwnProperty.call(COMMANDS, action)) shell.send({ ...COMMANDS[action] });
  else if (action === 'saveCfg') {
    cfgSavePending = true;
    shell.send(cfgToSave(shell.state.cfg, cfgDrafts));
  }
}

function onInput(event) {
  const key = event.target.dataset && event.target.dataset.cfg;
  if (!key) return;
  cfgDrafts[key] = event.target.value;
  event.target.classList.add('dirty');
}

export const serverPage = {
  start(api) {
    shell = api;
    // Listeners sit on the panel, once, so redraws never pile them up.
    const panel = document.getElementById('panel-server');
    panel.addEventListener('click', onClick);
    panel.addEventListener('input', onInput);
  },
  render(panel) {
    paint(panel, serverHtml(shell.state, cfgDrafts));
  },
  stateApplied(applied) {
    cfgDrafts = settleCfgDrafts(cfgDrafts, { rootChanged: applied.rootChanged, afterSave: cfgSavePending });
    cfgSavePending = false;
  },
};
