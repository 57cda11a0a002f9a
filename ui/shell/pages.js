/*
 * Where pages living in their own entry files (ai.js, species.js, studio.js) announce
 * themselves. A module is evaluated once per URL, so every entry that imports this file
 * reaches the same registry, whichever of them the browser runs first: pages announced before
 * the shell starts wait here and are handed over when it does.
 *
 * A page object may have:
 *   start(shell)   once, with { send, notice, esc, base64Utf8, hostUrls, state, render }
 *   render(panel)  draw into its panel (its tab was selected, or a fresh state arrived)
 *   load(ai)       AI page only: the `ai` member of every state message
 *   message(msg)   Species page: species, speciesLog, speciesRemote, speciesSounds;
 *                  studio page: studio. Messages that arrive before the page has started
 *                  are held and handed over in order when it starts.
 */

const waiting = [];
let accept = null;

/** Announces one page under its tab key. */
export function registerPage(key, page) {
  if (accept) accept(key, page);
  else waiting.push([key, page]);
}

/** Called once by the shell: every page announced so far, then each later one, goes to `register`. */
export function acceptPages(register) {
  accept = register;
  for (const [key, page] of waiting.splice(0)) register(key, page);
}
