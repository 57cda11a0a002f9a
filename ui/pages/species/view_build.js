/*
 * The Build section: the local build through the species kit, the remote build on the build
 * service with its sign-in, progress, Cancel and Check it, the installed package, and the log
 * (the live lines of a running build, else the stored log of the last one).
 */
import { esc } from '../../lib/html.js';
import { canCancel, canCheck, localBlock, logText, pakLine, remoteBlock } from './build_rules.js';
import { sectionHtml } from './view_common.js';

function signInHtml(build) {
  if (build.signedIn) {
    const who = build.name || build.steamId || 'the build service';
    return `<span class="hint">Signed in as ${esc(who)}</span><button type="button" class="btn" data-action="sign-out">Sign out</button>`;
  }
  if (build.signingIn) return '<button type="button" class="btn" disabled>Signing in…</button><span class="hint">Finish the sign in in your browser.</span>';
  return '<button type="button" class="btn" data-action="sign-in">Sign in with Steam</button>';
}

const reasonHtml = (reason, id) => `<span class="hint sp-reason" id="${id}">${esc(reason)}</span>`;

function progressHtml(ws) {
  if (!ws.remote) return '';
  const state = ws.remote.state;
  const detail = ws.remote.detail !== state ? ws.remote.detail : '';
  const tone = state === 'done' ? 'badge-ok' : ['failed', 'lost'].includes(state) ? 'badge-missing' : 'badge-accent';
  return `<div class="sp-progress" id="species-remote"><span class="badge ${tone}">${esc(state)}</span><span>${esc(detail)}</span></div>`;
}

/** The Build section of workspace `ws`; `store` holds the kit, busy and sign-in flags. */
export function buildHtml(store, ws) {
  const local = localBlock(store, ws);
  const remote = remoteBlock(store, ws);
  const pak = ws.pak
    ? `<p id="species-pak"><span class="badge badge-ok">built</span> <span class="mono">${esc(pakLine(ws.name))}</span></p>`
    : '<p class="hint" id="species-pak">Not built yet.</p>';
  const body = `
    <div class="sp-build-row">
      <button type="button" class="btn primary" data-action="build-local"${local ? ' disabled' : ''}>Build on this machine</button>
      ${reasonHtml(local, 'species-local-reason')}
    </div>
    <div class="sp-build-row">
      <button type="button" class="btn primary" data-action="build-remote"${remote ? ' disabled' : ''}>Build on the build service</button>
      ${canCancel(ws) ? '<button type="button" class="btn danger" data-action="build-cancel">Cancel</button>' : ''}
      ${canCheck(ws) ? '<button type="button" class="btn" data-action="build-resume">Check it</button>' : ''}
      ${reasonHtml(remote, 'species-remote-reason')}
      <span class="sp-push actions">${signInHtml(store.build)}</span>
    </div>
    ${progressHtml(ws)}
    ${pak}
    <pre class="sp-log" id="species-log" tabindex="0">${esc(logText(ws))}</pre>`;
  return sectionHtml('species-build', 'Build', body);
}
