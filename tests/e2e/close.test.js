'use strict';
// The Close button is the page's way to end the browser host.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { startSession } = require('./harness.js');

describe('closing from the page', { timeout: 30000 }, () => {
  let session;

  before(async () => {
    session = await startSession();
  });

  after(async () => {
    if (session) await session.close();
  });

  it('ends the host with code 0 when Close is clicked', async () => {
    assert.equal(session.tool.child.exitCode, null, 'host running before the click');
    await session.page.click('#win-close');
    const timeout = new Promise((resolve) => setTimeout(() => resolve('timeout'), 5000));
    const result = await Promise.race([session.tool.exited, timeout]);
    assert.notEqual(result, 'timeout', 'host still running 5 s after Close');
    assert.deepEqual(result, { code: 0, signal: null });
  });
});
