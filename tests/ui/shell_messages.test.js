'use strict';
const { describe, it, before, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

const UI_DIR = path.join(__dirname, '..', '..', 'ui');

// The modules under test, merged into one object for the tests to reach their exports.
let core;
before(async () => {
  const modules = [
    'shell/state.js',
    'shell/router.js',
    'shell/notice.js',
    'shell/registry.js',
    'shell/startup.js',
  ];
  core = Object.assign({}, ...(await Promise.all(modules.map((m) => import(pathToFileURL(path.join(UI_DIR, m)).href)))));
});

function stateMessage(fields) {
  return {
    type: 'state',
    root: '',
    found: false,
    runner: false,
    plugin: false,
    cfg: {},
    resources: [],
    skinsLua: false,
    skins: null,
    ai: { brains: '', spawns: '' },
    textures: [],
    ...fields,
  };
}

// A router wired to recorders; `log` keeps the order in which the shell acted.
function makeRouter() {
  const log = [];
  const page = core.newPageState();
  const route = core.createRouter({
    page,
    send: (obj) => log.push(['send', obj]),
    render: () => log.push(['render', page.root]),
    notice: (text, error) => log.push(['notice', text, error]),
    stateApplied: (applied, msg) => log.push(['ai', msg.ai]),
    deliver: (key, msg) => log.push(['deliver', key, msg.type]),
  });
  return { log, page, route };
}

const sends = (log) => log.filter((entry) => entry[0] === 'send').map((entry) => entry[1]);

describe('state message', () => {
  it('copies every member into the page state and marks the page loaded', () => {
    const { page, route } = makeRouter();
    const resources = [{ name: 'skins', enabled: true, manifest: true, server: true, client: false }];
    const skins = [{ name: 'red_rex' }];
    route(stateMessage({
      root: '/srv/varra',
      found: true,
      runner: true,
      plugin: false,
      cfg: { sv_hostname: 'My server' },
      resources,
      skinsLua: true,
      skins,
      textures: ['a.png'],
    }));
    assert.equal(page.loaded, true);
    assert.equal(page.root, '/srv/varra');
    assert.equal(page.found, true);
    assert.equal(page.runner, true);
    assert.equal(page.plugin, false);
    assert.equal(page.cfg.sv_hostname, 'My server');
    assert.deepEqual(page.resources, resources);
    assert.equal(page.skinsLua, true);
    assert.deepEqual(page.skins, skins);
    assert.deepEqual(page.textures, ['a.png']);
    assert.equal(page.tab, 'server', 'a state message never switches the tab');
  });

  it('reads skins that are not a list as no skins', () => {
    for (const skins of [null, undefined, {}, { name: 'x' }, 'text', 3, true]) {
      const { page, route } = makeRouter();
      page.skins = [{ name: 'stale' }];
      route(stateMessage({ skins }));
      assert.deepEqual(page.skins, [], `skins ${JSON.stringify(skins)}`);
    }
  });

  it('keeps an empty skins list as an empty list', () => {
    const { page, route } = makeRouter();
    route(stateMessage({ found: true, skins: [] }));
    assert.deepEqual(page.skins, []);
  });

  it('gives safe empty forms for missing or malformed members', () => {
    const { page, route } = makeRouter();
    route({ type: 'state', root: 7, found: 'yes', cfg: [], resources: {}, textures: 'a.png' });
    assert.equal(page.root, '');
    assert.equal(page.found, false);
    assert.deepEqual(page.cfg, {});
    assert.deepEqual(page.resources, []);
    assert.deepEqual(page.textures, []);
  });

  it('asks for the species exactly once when the root changes, before rendering', () => {
    const { log, route } = makeRouter();
    route(stateMessage({ root: '/srv/a' }));
    assert.deepEqual(sends(log), [{ cmd: 'speciesRefresh' }]);
    const sendAt = log.findIndex((entry) => entry[0] === 'send');
    const renderAt = log.findIndex((entry) => entry[0] === 'render');
    assert.ok(sendAt >= 0 && sendAt < renderAt, 'speciesRefresh goes out before the redraw');
  });

  it('does not ask again while the root stays the same', () => {
    const { log, route } = makeRouter();
    route(stateMessage({ root: '/srv/a' }));
    route(stateMessage({ root: '/srv/a', found: true }));
    route(stateMessage({ root: '/srv/a' }));
    assert.equal(sends(log).length, 1);
    assert.equal(log.filter((entry) => entry[0] === 'render').length, 3);
  });

  it('asks again for each later change, including back to no root', () => {
    const { log, route } = makeRouter();
    route(stateMessage({ root: '/srv/a' }));
    route(stateMessage({ root: '/srv/b' }));
    route(stateMessage({ root: '' }));
    assert.equal(sends(log).length, 3);
  });

  it('does not ask when the first state has no root, as the page started without one', () => {
    const { log, route } = makeRouter();
    route(stateMessage({ root: '' }));
    assert.deepEqual(sends(log), []);
  });

  it('treats a root differing only in letter case as a change', () => {
    const { log, route } = makeRouter();
    route(stateMessage({ root: 'D:\\Servers\\Varra' }));
    route(stateMessage({ root: 'd:\\servers\\varra' }));
    assert.equal(sends(log).length, 2);
  });

  it('hands the ai member to the AI page before the redraw', () => {
    const { log, route } = makeRouter();
    const ai = { brains: '{"version":1}', spawns: '' };
    route(stateMessage({ ai }));
    const aiAt = log.findIndex((entry) => entry[0] === 'ai');
    assert.equal(log[aiAt][1], ai);
    assert.ok(aiAt < log.findIndex((entry) => entry[0] === 'render'));
  });
});

describe('message routing', () => {
  it('shows notices with their error flag', () => {
    const { log, route } = makeRouter();
    route({ type: 'notice', error: true, text: 'Resource names use letters, digits, _ and -.' });
    route({ type: 'notice', error: false, text: 'server.cfg saved. Restart the server to apply.' });
    assert.deepEqual(log, [
      ['notice', 'Resource names use letters, digits, _ and -.', true],
      ['notice', 'server.cfg saved. Restart the server to apply.', false],
    ]);
  });

  it('counts only a literal true as an error', () => {
    const { log, route } = makeRouter();
    route({ type: 'notice', error: 'true', text: 'x' });
    route({ type: 'notice', text: 'y' });
    assert.deepEqual(log.map((entry) => entry[2]), [false, false]);
  });

  it('sends studio messages to the studio page and the four species messages to the species page', () => {
    const { log, route } = makeRouter();
    for (const type of ['studio', 'species', 'speciesLog', 'speciesRemote', 'speciesSounds']) route({ type });
    assert.deepEqual(log, [
      ['deliver', 'studio', 'studio'],
      ['deliver', 'species', 'species'],
      ['deliver', 'species', 'speciesLog'],
      ['deliver', 'species', 'speciesRemote'],
      ['deliver', 'species', 'speciesSounds'],
    ]);
  });

  it('ignores messages without a type, unknown types and non-objects', () => {
    const { log, page, route } = makeRouter();
    for (const msg of [null, undefined, 'state', 42, {}, { type: 7 }, { type: 'State' }, { type: 'jsError' }, { cmd: 'init' }]) {
      route(msg);
    }
    assert.deepEqual(log, []);
    assert.equal(page.loaded, false);
  });
});

// Timers that only move when the test says so.
function fakeClock() {
  let now = 0;
  let nextId = 1;
  const due = new Map();
  return {
    set(fn, ms) {
      const id = nextId++;
      due.set(id, { at: now + ms, fn });
      return id;
    },
    clear(id) {
      due.delete(id);
    },
    advance(ms) {
      const end = now + ms;
      for (;;) {
        let first = null;
        for (const [id, timer] of due) {
          if (timer.at <= end && (first === null || timer.at < due.get(first).at)) first = id;
        }
        if (first === null) break;
        const timer = due.get(first);
        due.delete(first);
        now = timer.at;
        timer.fn();
      }
      now = end;
    },
    count: () => due.size,
  };
}

describe('notice timer', () => {
  let clock;
  let hidden;
  let timer;

  beforeEach(() => {
    clock = fakeClock();
    hidden = 0;
    timer = core.createNoticeTimer(() => hidden++, clock, core.NOTICE_MS);
  });

  it('hides a notice five seconds after it appeared', () => {
    assert.equal(core.NOTICE_MS, 5000);
    timer.restart();
    clock.advance(4999);
    assert.equal(hidden, 0);
    clock.advance(1);
    assert.equal(hidden, 1);
    assert.equal(timer.pending(), false);
  });

  it('keeps the bar for five seconds from a notice that arrives three seconds after another', () => {
    timer.restart();
    clock.advance(3000);
    timer.restart();
    clock.advance(4999);
    assert.equal(hidden, 0, 'the first notice\'s timer must not hide the second');
    clock.advance(1);
    assert.equal(hidden, 1);
  });

  it('keeps a single pending hide however many notices arrive', () => {
    for (let i = 0; i < 10; i++) {
      timer.restart();
      clock.advance(1000);
    }
    assert.equal(clock.count(), 1);
    clock.advance(10000);
    assert.equal(hidden, 1);
  });

  it('hides nothing after being cancelled', () => {
    timer.restart();
    timer.cancel();
    clock.advance(10000);
    assert.equal(hidden, 0);
    assert.equal(timer.pending(), false);
  });
});

describe('page registry', () => {
  function makeRegistry() {
    const started = [];
    const reported = [];
    const api = { marker: 'api' };
    const registry = core.createPageRegistry(api, (key) => started.push(key), (error) => reported.push(error.message));
    return { api, registry, started, reported };
  }

  function recordingPage(log) {
    return {
      start(api) {
        log.push(['start', api.marker]);
      },
      message(msg) {
        log.push(['message', msg.n]);
      },
    };
  }

  it('holds messages until the page registers, then hands them over in order after start', () => {
    const { registry, started } = makeRegistry();
    const log = [];
    registry.deliver('studio', { type: 'studio', n: 1 });
    registry.deliver('studio', { type: 'studio', n: 2 });
    assert.deepEqual(log, []);
    registry.register('studio', recordingPage(log));
    assert.deepEqual(log, [['start', 'api'], ['message', 1], ['message', 2]]);
    assert.deepEqual(started, ['studio']);
  });

  it('delivers at once to a started page and never repeats held messages', () => {
    const { registry } = makeRegistry();
    const log = [];
    registry.deliver('species', { n: 1 });
    registry.register('species', recordingPage(log));
    registry.deliver('species', { n: 2 });
    assert.deepEqual(log.filter((entry) => entry[0] === 'message'), [['message', 1], ['message', 2]]);
  });

  it('reports a failing page and still hands over the remaining messages', () => {
    const { registry, reported } = makeRegistry();
    const seen = [];
    registry.deliver('species', { n: 1 });
    registry.deliver('species', { n: 2 });
    registry.register('species', {
      message(msg) {
        seen.push(msg.n);
        if (msg.n === 1) throw new Error('broken page');
      },
    });
    assert.deepEqual(seen, [1, 2]);
    assert.deepEqual(reported, ['broken page']);
  });

  it('tells every started page of each state message, and a late page of the latest one', () => {
    const { registry, reported } = makeRegistry();
    const log = [];
    const statePage = (key) => ({
      stateApplied(applied, msg) {
        log.push([key, applied.rootChanged, msg.ai]);
        if (key === 'broken') throw new Error('broken page');
      },
    });
    registry.register('server', statePage('server'));
    registry.register('broken', statePage('broken'));
    registry.register('plain', { render() {} });
    registry.stateApplied({ rootChanged: true }, { type: 'state', ai: 'first' });
    registry.stateApplied({ rootChanged: false }, { type: 'state', ai: 'second' });
    assert.deepEqual(log, [
      ['server', true, 'first'],
      ['broken', true, 'first'],
      ['server', false, 'second'],
      ['broken', false, 'second'],
    ]);
    assert.deepEqual(reported, ['broken page', 'broken page']);
    log.length = 0;
    registry.register('ai', statePage('ai'));
    assert.deepEqual(log, [['ai', false, 'second']], 'only the latest, once');
  });

  it('ignores a second registration under the same key', () => {
    const { registry, started } = makeRegistry();
    const first = [];
    const second = [];
    registry.register('ai', recordingPage(first));
    registry.register('ai', recordingPage(second));
    registry.deliver('ai', { n: 5 });
    assert.deepEqual(second, []);
    assert.deepEqual(first, [['start', 'api'], ['message', 5]]);
    assert.deepEqual(started, ['ai']);
    assert.equal(registry.get('nothing'), null);
  });
});

describe('openUrl message', () => {
  let openLink;
  before(async () => {
    openLink = await import(pathToFileURL(path.join(UI_DIR, 'shell/open_link.js')).href);
  });

  it('hands the address to the link bar and to nothing else', () => {
    const shown = [];
    const log = [];
    const route = core.createRouter({
      page: core.newPageState(),
      send: (obj) => log.push(['send', obj]),
      render: () => log.push(['render']),
      notice: (text) => log.push(['notice', text]),
      deliver: (key) => log.push(['deliver', key]),
      openUrl: (url) => shown.push(url),
    });
    route({ type: 'openUrl', url: 'https://build.example/build/auth/steam?port=4711&state=ab' });
    assert.deepEqual(shown, ['https://build.example/build/auth/steam?port=4711&state=ab']);
    assert.deepEqual(log, []);
  });

  it('links only http and https addresses', () => {
    const cases = [
      ['http://127.0.0.1:8080/build/auth/steam?port=1&state=2', true],
      ['https://build.example/build', true],
      ['javascript:alert(1)', false],
      ['data:text/html,<b>x</b>', false],
      ['file:///etc/passwd', false],
      ['not an address', false],
      [42, false],
      [undefined, false],
    ];
    for (const [url, expected] of cases) assert.equal(openLink.isOpenableUrl(url), expected, String(url));
  });
});

describe('start-up', () => {
  // The host's answers in the order they come, and after which one the page counts as loaded.
  const cases = [
    { name: 'no server folder', root: '', answers: ['state', 'studio', 'species', 'notice'], loadedAfter: 2 },
    { name: 'a server folder: the first state asks for the species again', root: '/srv/a', answers: ['state', 'studio', 'species', 'species', 'species'], loadedAfter: 3 },
  ];
  for (const c of cases) {
    it(`is loaded once every species message it asked for has come (${c.name})`, () => {
      const page = core.newPageState();
      const loadedAt = [];
      let current = -1;
      const startup = core.createStartupWatch(() => loadedAt.push(current));
      const route = core.createRouter({
        page,
        send: (obj) => startup.sent(obj),
        render: () => {},
        notice: () => {},
        deliver: () => {},
      });
      c.answers.forEach((type, index) => {
        current = index;
        const msg = type === 'state' ? stateMessage({ root: c.root }) : { type };
        route(msg);
        startup.received(msg);
      });
      assert.deepEqual(loadedAt, [c.loadedAfter]);
    });
  }
});

describe('start-up with pages on their way', () => {
  // A promise the test settles by hand.
  function pending() {
    let settle;
    const promise = new Promise((resolve, reject) => {
      settle = { resolve, reject };
    });
    return { promise, settle };
  }
  const tick = () => new Promise((resolve) => setTimeout(resolve, 0));

  const cases = [
    { name: 'pages come before the species', order: ['state', 'page', 'page', 'species'], failing: false },
    { name: 'pages come after the species', order: ['state', 'species', 'page', 'page'], failing: false },
    { name: 'a page fails to come', order: ['state', 'species', 'page', 'page'], failing: true },
  ];
  for (const c of cases) {
    it(`is loaded only once the species and every page have come (${c.name})`, async () => {
      let loaded = 0;
      const startup = core.createStartupWatch(() => {
        loaded += 1;
      });
      const pages = [pending(), pending()];
      startup.waitFor(pages[0].promise);
      startup.waitFor(pages[1].promise);
      let next = 0;
      for (const [index, step] of c.order.entries()) {
        assert.equal(loaded, 0, `not loaded before ${step} (${index})`);
        if (step === 'page') {
          const { settle } = pages[next++];
          if (c.failing && next === 1) settle.reject(new Error('no module'));
          else settle.resolve();
          await tick();
        } else {
          startup.received(step === 'state' ? stateMessage({}) : { type: step });
        }
      }
      assert.equal(loaded, 1);
      startup.waitFor(pending().promise);
      startup.received({ type: 'species' });
      assert.equal(loaded, 1, 'once loaded, it stays loaded and says so once');
    });
  }
});

describe('fetching pages ahead', () => {
  it('asks every registered page that can be fetched ahead, and only those', () => {
    const asked = [];
    const registry = core.createPageRegistry({}, () => {}, () => {});
    registry.register('server', { render() {} });
    registry.register('ai', { prefetch: () => { asked.push('ai'); return 'ai arrives'; } });
    registry.register('species', { prefetch: () => { asked.push('species'); return 'species arrives'; } });
    assert.deepEqual(registry.prefetch(), ['ai arrives', 'species arrives']);
    assert.deepEqual(asked, ['ai', 'species']);
  });
});
