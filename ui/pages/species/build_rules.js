/*
 * When a species may be built, locally or remotely, and why not; what a remote build
 * uploads; and the live build log. A reason is shown beside the disabled button, so each
 * rule's words say what to do.
 */

const LOG_MAX = 400;

const REASONS = {
  signIn: 'Sign in first.',
  busy: 'An import or upload is running.',
  busyLocal: 'An import or build is running.',
  unsaved: 'Save first.',
  noModel: 'Import a model first.',
  running: 'A build of this species is on its way.',
  noKit: 'The species-kit folder was not found next to the tool.',
};

const LIVE_STATES = ['preparing', 'uploading', 'queued', 'running'];

/** A remote build of this species is being packed, uploaded or built right now. */
function remoteLive(ws) {
  return !!ws.remote && LIVE_STATES.includes(ws.remote.state);
}

const hasChanges = (ws) => ws.unsaved || ws.invalid;
const running = (ws) => ws.remoteJob || remoteLive(ws);

/** Why the remote build is blocked ('' when it is not), the first reason that holds. */
export function remoteBlock(store, ws) {
  if (!store.build.signedIn) return REASONS.signIn;
  if (store.busy) return REASONS.busy;
  if (hasChanges(ws)) return REASONS.unsaved;
  if (!ws.doc.source.mesh) return REASONS.noModel;
  if (running(ws)) return REASONS.running;
  return '';
}

/** Why the local build is blocked ('' when it is not). */
export function localBlock(store, ws) {
  if (!store.kit) return REASONS.noKit;
  if (store.busy) return REASONS.busyLocal;
  if (hasChanges(ws)) return REASONS.unsaved;
  if (!ws.doc.source.mesh) return REASONS.noModel;
  if (running(ws)) return REASONS.running;
  return '';
}

/** The service can still stop the job. */
export const canCancel = (ws) => !!ws.remote && ['queued', 'running'].includes(ws.remote.state);

/** A job was handed over earlier (perhaps in another run) and nothing follows it now. */
export const canCheck = (ws) => ws.remoteJob && !remoteLive(ws);

/** The source files a remote build needs: model, animations, sounds; each once, in that order. */
export function buildFiles(doc) {
  const files = [doc.source.mesh, ...doc.source.animations.map((a) => a.file), ...doc.source.sounds.map((s) => s.file)];
  return Array.from(new Set(files.filter((f) => typeof f === 'string' && f !== ''))).join('|');
}

/** Adds one line to the live log, which keeps only the newest LOG_MAX lines. */
export function appendLog(ws, line) {
  ws.liveLog.push(line);
  if (ws.liveLog.length > LOG_MAX) ws.liveLog.splice(0, ws.liveLog.length - LOG_MAX);
}

/** What the log box shows: the live lines of this run, else the stored log of the last build. */
export function logText(ws) {
  return ws.liveLog.length > 0 ? ws.liveLog.join('\n') : ws.log;
}

/** The installed package as the owner finds it in the server folder. */
export const pakLine = (name) => `client-mods\\species_${name}.pak`;
