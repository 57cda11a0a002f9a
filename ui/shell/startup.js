/*
 * When the page has finished starting: `init` answers with state, studio and species, and the
 * first state that names a server folder makes the page ask for the species once more. The
 * page counts as loaded once every species message it asked for has arrived after a state
 * and every page fetched during the start-up has come and been handed what was held for it,
 * so nothing of the start-up reaches it later (the browser tests rely on that quiet).
 */

export function createStartupWatch(onLoaded) {
  let asked = 1;
  let answered = 0;
  let stateSeen = false;
  let fetching = 0;
  let loaded = false;

  function check() {
    if (loaded || !stateSeen || answered < asked || fetching > 0) return;
    loaded = true;
    onLoaded();
  }

  return {
    /** A page's code on its way: the start-up is not over before it has settled. */
    waitFor(promise) {
      if (loaded) return;
      fetching += 1;
      const settled = () => {
        fetching -= 1;
        check();
      };
      promise.then(settled, settled);
    },
    /** Every command the page sends while starting. */
    sent(obj) {
      if (!loaded && obj && obj.cmd === 'speciesRefresh') asked += 1;
    },
    /** Every message from the host, after the page has handled it. */
    received(msg) {
      if (loaded || !msg) return;
      if (msg.type === 'state') stateSeen = true;
      if (msg.type === 'species') answered += 1;
      check();
    },
  };
}
