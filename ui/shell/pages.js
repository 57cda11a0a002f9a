/*
 * The one place a page is declared. Each page's entry file (ui/<page>.js) calls
 *
 *   registerPage(key, { title, styles, page })
 *
 * with its tab key, the label of its tab, the style sheets it brings (routes from the root)
 * and its page object; ui/pages.js imports the entry files in tab order. The shell draws the
 * tab and the panel, links the style sheets and starts the page; nothing else names a page.
 * A module is evaluated once per URL, so every entry reaches the same registry: pages
 * declared before the shell starts wait here and are handed over when it does.
 *
 * A page object may have:
 *   start(shell)   once, with { send, notice, esc, base64Utf8, hostUrls, state, render }
 *   render(panel)  draw into its panel (its tab was selected, or a fresh state arrived)
 *   stateApplied(applied, msg)  every state message, before the redraw: `applied` says what
 *                  it changed (rootChanged, skinsBroke), `msg` is the message itself. A page
 *                  that starts after a state message gets the latest one at once.
 *   message(msg)   the messages routed to its key (species: species, speciesLog,
 *                  speciesRemote, speciesSounds; studio: studio). Messages that arrive before
 *                  the page has started are held and handed over in order when it starts.
 */

const waiting = [];
const declared = [];
let accept = null;

/** Declares one page under its tab key; `title` labels its tab. */
export function registerPage(key, { title, styles = [], page }) {
  const entry = { key, title, styles, page };
  declared.push(entry);
  if (accept) accept(entry);
  else waiting.push(entry);
}

/** Every page declared so far, in the order of declaration (the tab order). */
export function declaredPages() {
  return declared.slice();
}

/** Called once by the shell: every page declared so far, then each later one, goes to `register`. */
export function acceptPages(register) {
  accept = register;
  for (const entry of waiting.splice(0)) register(entry);
}
