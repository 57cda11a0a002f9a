(function () {
  // The browser host's stand-in for the web view: window.chrome.webview with postMessage, the
  // message event and the base URLs of the two served folders. The host fills in the marked
  // paths and puts this script first in the page's head, ahead of every other script.
  //
  // Commands are posted one at a time, each after the previous one was answered, so they
  // reach the host in the order the page made them even though each post is its own request.
  // The first post waits until the message stream is open (or a moment has passed), so the
  // answer to the page's first command (init) is not sent before anyone listens.
  'use strict';
  // The host's token: it arrives once after "#" in the address the host sent the browser to,
  // and is kept for this tab (a reload keeps it) and shown with every post and on the event
  // stream. The cookie alone, which every port of 127.0.0.1 receives, opens only files.
  var key = (function () {
    var given = /^#token=([0-9a-f]+)$/.exec(window.location.hash);
    if (given) {
      // Out of the address bar, the history and anything the page passes on.
      window.history.replaceState(null, '', window.location.pathname + window.location.search);
      try {
        window.sessionStorage.setItem('forgesetToken', given[1]);
      } catch (ignored) {
        // Without storage this load still has it; a reload needs the address again.
      }
      return given[1];
    }
    try {
      return window.sessionStorage.getItem('forgesetToken') || '';
    } catch (ignored) {
      return '';
    }
  })();
  var listeners = [];
  var opened;
  var streamReady = new Promise(function (resolve) {
    opened = resolve;
    setTimeout(resolve, 3000);
  });
  var posts = Promise.resolve();
  var events = new EventSource('@EVENTS@?@KEY_PARAMETER@=' + key);
  // A stream that reopens names the last message it got, and the host sends the page afresh
  // what it missed meanwhile.
  events.addEventListener('open', function () { opened(); });
  events.addEventListener('message', function (event) {
    var data;
    try {
      data = JSON.parse(event.data);
    } catch (ignored) {
      return;
    }
    listeners.slice().forEach(function (listener) {
      try {
        listener.call(window, { type: 'message', data: data });
      } catch (error) {
        // One listener's fault must not keep the message from the others; the page's error
        // hook still hears of it.
        setTimeout(function () { throw error; }, 0);
      }
    });
  });
  // The server folder changed: the page starts afresh and asks for everything again.
  events.addEventListener('reload', function () { window.location.reload(); });
  function send(text) {
    return fetch('@COMMAND@', {
      method: 'POST',
      headers: { 'Content-Type': 'application/json', '@KEY_HEADER@': key },
      body: text,
      credentials: 'same-origin',
      cache: 'no-store'
    });
  }
  // The picker's two requests while a dialog of the host's is open. Both resolve, never
  // reject: with the answer's JSON, or with { gone: true } when the host refuses (the dialog
  // has ended) or cannot be reached.
  function dialogRequest(path, body) {
    return fetch(path, {
      method: 'POST',
      headers: { 'Content-Type': 'application/json', '@KEY_HEADER@': key },
      body: JSON.stringify(body),
      credentials: 'same-origin',
      cache: 'no-store'
    }).then(function (response) {
      if (response.status === 403) return { gone: true };
      return response.json().then(function (json) {
        json.status = response.status;
        return json;
      });
    }).then(null, function () { return { gone: true }; });
  }
  window.chrome = window.chrome || {};
  window.chrome.webview = {
    hostUrls: {
      assets: window.location.origin + '@ASSETS@',
      species: window.location.origin + '@SPECIES@'
    },
    // Only this host asks the page to draw its dialogs; the desktop window has its own.
    dialogs: {
      list: function (request) { return dialogRequest('@DIALOG_LIST@', request); },
      answer: function (request) { return dialogRequest('@DIALOG_ANSWER@', request); }
    },
    postMessage: function (message) {
      var text = JSON.stringify(message);
      posts = posts
        .then(function () { return streamReady; })
        .then(function () { return send(text); })
        .then(null, function () {});
    },
    addEventListener: function (type, listener) {
      if (type === 'message' && typeof listener === 'function' &&
          listeners.indexOf(listener) < 0) {
        listeners.push(listener);
      }
    },
    removeEventListener: function (type, listener) {
      var at = listeners.indexOf(listener);
      if (type === 'message' && at >= 0) listeners.splice(at, 1);
    }
  };
})();
