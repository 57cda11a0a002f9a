/* The Resources page: switching resources on and off, and creating new ones. */

import { actionOf, paint } from '../../lib/panel.js';
import { resourcesHtml } from './view.js';

const TYPE_NAME = 'Type a name first.';

let shell = null;
// What is typed in the name box survives redraws until the host lists that resource.
let nameDraft = '';

function createResource() {
  const name = nameDraft.trim();
  if (name === '') {
    shell.notice(TYPE_NAME, true);
    return;
  }
  shell.send({ cmd: 'newResource', name });
}

function onClick(event) {
  const el = actionOf(event);
  if (!el) return;
  const action = el.dataset.action;
  if (action === 'refresh') shell.send({ cmd: 'refresh' });
  else if (action === 'openResources') shell.send({ cmd: 'open', what: 'resources' });
  else if (action === 'newResource') createResource();
}

function onChange(event) {
  const index = event.target.dataset && event.target.dataset.resource;
  if (index === undefined) return;
  const resource = shell.state.resources[Number(index)];
  if (resource && typeof resource.name === 'string') {
    shell.send({ cmd: 'toggleResource', name: resource.name, enabled: event.target.checked });
  }
}

export const resourcesPage = {
  start(api) {
    shell = api;
    const panel = document.getElementById('panel-resources');
    panel.addEventListener('click', onClick);
    panel.addEventListener('change', onChange);
    panel.addEventListener('input', (event) => {
      if (event.target.id === 'resource-name') nameDraft = event.target.value;
    });
    panel.addEventListener('keydown', (event) => {
      if (event.key === 'Enter' && event.target.id === 'resource-name') createResource();
    });
  },
  render(panel) {
    paint(panel, resourcesHtml(shell.state, nameDraft));
  },
  // A new resource's name is dropped from the box once the host lists it.
  stateApplied() {
    const name = nameDraft.trim();
    if (name && shell.state.resources.some((r) => r && r.name === name)) nameDraft = '';
  },
};
