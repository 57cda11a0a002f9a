'use strict';
// The stand-in for a page whose code comes when its tab is first drawn: what the shell hands
// it before the real page is there must reach that page in the same order afterwards, and
// the code is fetched once, only for a drawing.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

let createLazyPage;
before(async () => {
  ({ createLazyPage } = await import(pathToFileURL(path.join(__dirname, '..', '..', 'ui', 'shell', 'lazy_page.js')).href));
});

// A panel with just what the stand-in touches.
const panel = () => ({ firstChild: null, innerHTML: '' });
const settle = () => new Promise((resolve) => setTimeout(resolve, 0));

describe('lazy page', () => {
  it('hands start, held messages and drawings on in order, loading once', async () => {
    const calls = [];
    let loads = 0;
    const real = {
      start: (shell) => calls.push(['start', shell.name]),
      message: (msg) => calls.push(['message', msg.n]),
      render: (p) => calls.push(['render', p.id]),
    };
    const shell = { name: 'shell', render: () => calls.push(['shell render']) };
    const lazy = createLazyPage(async () => {
      loads += 1;
      return real;
    }, (error) => calls.push(['report', error.message]));
    lazy.start(shell);
    lazy.message({ n: 1 });
    await settle();
    assert.equal(loads, 0, 'messages alone fetch nothing');
    const first = panel();
    lazy.render(first);
    lazy.render(first);
    lazy.message({ n: 2 });
    assert.equal(first.innerHTML, '<p class="empty">Loading…</p>');
    await settle();
    lazy.message({ n: 3 });
    lazy.render({ id: 'p' });
    assert.equal(loads, 1);
    assert.deepEqual(calls, [['start', 'shell'], ['message', 1], ['message', 2], ['shell render'], ['message', 3], ['render', 'p']]);
  });

  it('reports a load that failed', async () => {
    const reported = [];
    const lazy = createLazyPage(() => Promise.reject(new Error('no module')), (error) => reported.push(error.message));
    lazy.start({ render() {} });
    lazy.render(panel());
    await settle();
    assert.deepEqual(reported, ['no module']);
  });
});
