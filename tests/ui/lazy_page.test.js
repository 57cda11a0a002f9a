'use strict';
// The stand-in for a page whose code comes when its tab is first drawn: what the shell hands
// it before the real page is there must reach that page in the same order afterwards, and
// the code is fetched once, only for a drawing.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

let createLazyPage;
let createPrefetchedPage;
before(async () => {
  ({ createLazyPage, createPrefetchedPage } = await import(pathToFileURL(path.join(__dirname, '..', '..', 'ui', 'shell', 'lazy_page.js')).href));
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

describe('page fetched ahead of its drawing', () => {
  // A real page that records what it is handed; `load` resolves when `arrive()` is called.
  function deferredPage() {
    const calls = [];
    let arrive;
    const real = {
      start: () => calls.push(['start']),
      message: (msg) => calls.push(['message', msg.n]),
      stateApplied: (applied, msg) => calls.push(['stateApplied', applied.rootChanged, msg.n]),
      render: (p) => calls.push(['render', p.id]),
    };
    let loads = 0;
    const load = () => {
      loads += 1;
      return new Promise((resolve) => {
        arrive = () => resolve(real);
      });
    };
    return { calls, load, arrive: () => arrive(), loads: () => loads };
  }

  it('replays messages and state changes in the order the shell made them, without a drawing', async () => {
    const { calls, load, arrive, loads } = deferredPage();
    const shellRenders = [];
    const lazy = createLazyPage(load, (error) => calls.push(['report', error.message]), { prefetch: true });
    lazy.start({ render: () => shellRenders.push('render') });
    lazy.stateApplied({ rootChanged: true }, { n: 1 });
    lazy.message({ n: 2 });
    lazy.stateApplied({ rootChanged: false }, { n: 3 });
    const arrived = lazy.prefetch();
    assert.equal(lazy.prefetch(), arrived, 'one fetch, however often it is asked for');
    lazy.message({ n: 4 });
    assert.deepEqual(calls, [], 'nothing reaches the page before it is there');
    arrive();
    await arrived;
    assert.equal(loads(), 1);
    assert.deepEqual(calls, [['start'], ['stateApplied', true, 1], ['message', 2], ['stateApplied', false, 3], ['message', 4]]);
    assert.deepEqual(shellRenders, [], 'a page fetched while another tab is open draws nothing');
    lazy.message({ n: 5 });
    assert.deepEqual(calls.at(-1), ['message', 5], 'later calls go straight through');
  });

  it('draws the open tab once it arrives when its tab was drawn while it was on its way', async () => {
    const { calls, load, arrive } = deferredPage();
    const shellRenders = [];
    const lazy = createLazyPage(load, () => {}, { prefetch: true });
    lazy.start({ render: () => shellRenders.push('render') });
    const arrived = lazy.prefetch();
    const first = panel();
    lazy.render(first);
    assert.equal(first.innerHTML, '<p class="empty">Loading…</p>');
    arrive();
    await arrived;
    assert.deepEqual(shellRenders, ['render']);
    lazy.render({ id: 'p' });
    assert.deepEqual(calls, [['start'], ['render', 'p']]);
  });

  it('reports what the page throws while it is handed what was held, and hands on the rest', async () => {
    const reported = [];
    const seen = [];
    const lazy = createLazyPage(async () => ({
      message(msg) {
        seen.push(msg.n);
        if (msg.n === 1) throw new Error('broken page');
      },
    }), (error) => reported.push(error.message), { prefetch: true });
    lazy.start({ render() {} });
    lazy.message({ n: 1 });
    lazy.message({ n: 2 });
    await lazy.prefetch();
    assert.deepEqual(seen, [1, 2]);
    assert.deepEqual(reported, ['broken page']);
  });

  it('is fetched ahead only when asked to be', () => {
    assert.equal(createLazyPage(async () => ({})).prefetch, undefined);
    assert.equal(typeof createLazyPage(async () => ({}), () => {}, { prefetch: true }).prefetch, 'function');
    assert.equal(typeof createPrefetchedPage(async () => ({})).prefetch, 'function');
  });
});
