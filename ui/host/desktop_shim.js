/*
 * The desktop window's bridge: the page talks to every host through window.chrome.webview,
 * as it does in its Windows web view. postMessage sends an object as JSON, and each message
 * from the program arrives as the data of a "message" event. hostUrls tell the page where the
 * two folders are served. The window fills in the @...@ marks and runs this before the page.
 */
(() => {
  'use strict';
  const handler = window.webkit.messageHandlers['@HANDLER@'];
  const listeners = [];
  const webview = {
    postMessage(message) {
      handler.postMessage(JSON.stringify(message));
    },
    addEventListener(type, listener) {
      if (type === 'message' && listener && !listeners.includes(listener)) listeners.push(listener);
    },
    removeEventListener(type, listener) {
      const at = listeners.indexOf(listener);
      if (type === 'message' && at >= 0) listeners.splice(at, 1);
    },
    hostUrls: Object.freeze({ assets: '@ASSETS@', species: '@SPECIES@' }),
  };
  window.chrome = window.chrome || {};
  Object.defineProperty(window.chrome, 'webview', { value: webview, enumerable: true });
  Object.defineProperty(window, '__forgesetDeliver', {
    value(text) {
      let data;
      try {
        data = JSON.parse(text);
      } catch (ignored) {
        return;
      }
      for (const listener of listeners.slice()) {
        const event = new MessageEvent('message', { data });
        try {
          if (typeof listener === 'function') listener.call(webview, event);
          else if (typeof listener.handleEvent === 'function') listener.handleEvent(event);
        } catch (error) {
          // A listener's fault still reaches the page's error hook, as it would in a real
          // event dispatch, without stopping the other listeners.
          setTimeout(() => {
            throw error;
          }, 0);
        }
      }
    },
  });
})();
