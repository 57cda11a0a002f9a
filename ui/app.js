/*
 * The page shell's entry: starts the shell with its own three pages, Server, Resources and
 * Skins. The other pages come from their own entry files through shell/pages.js.
 */

import { registerPage } from './shell/pages.js';
import { startShell } from './shell/start.js';
import { resourcesPage } from './pages/resources/page.js';
import { serverPage } from './pages/server/page.js';
import { skinsPage } from './pages/skins/page.js';

// These three keep some of the person's unsent typing, which each state message settles.
const pages = { server: serverPage, resources: resourcesPage, skins: skinsPage };

for (const [key, page] of Object.entries(pages)) registerPage(key, page);
startShell(document, {
  stateApplied(applied) {
    for (const page of Object.values(pages)) page.stateApplied(applied);
  },
});
