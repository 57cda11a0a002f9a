/*
 * The channel to the host program. Every host (the Windows web view, the desktop window, the
 * browser host) gives the page window.chrome.webview: postMessage carries a command object,
 * each answer arrives as the data of a 'message' event, and hostUrls says where the assets
 * and the species workspaces are served.
 */

// Where the Windows form serves the extracted assets and the species workspaces; the
// hosts here tell the page their own addresses, so these are only used when they do not.
export const HOST_URL_FALLBACKS = {
  assets: 'https://assets.varraforgeset.invalid/',
  species: 'https://species.varraforgeset.invalid/',
};

/** Base URLs of the assets and species folders, each ending in "/". */
export function resolveHostUrls(webview) {
  const given = (webview && typeof webview.hostUrls === 'object' && webview.hostUrls) || {};
  const urls = {};
  for (const kind of Object.keys(HOST_URL_FALLBACKS)) {
    const url = given[kind];
    if (typeof url === 'string' && url.length > 0) {
      urls[kind] = url.endsWith('/') ? url : url + '/';
    } else {
      urls[kind] = HOST_URL_FALLBACKS[kind];
    }
  }
  return urls;
}

/** The host's web view object, or null when the page runs outside one. */
export function webview() {
  return (globalThis.chrome && globalThis.chrome.webview) || null;
}

/** One command to the host; outside the web view there is nobody to tell. */
export function send(obj) {
  const wv = webview();
  if (wv && typeof wv.postMessage === 'function') wv.postMessage(obj);
}

/** Calls `handler` with the data of every message the host sends. */
export function listen(handler) {
  const wv = webview();
  if (wv && typeof wv.addEventListener === 'function') wv.addEventListener('message', (event) => handler(event && event.data));
}
