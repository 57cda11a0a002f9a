/*
 * Entry of the Zuze Ravizu page: announces the page to the shell. The page itself lives in
 * pages/studio/ and comes, with three.js, when its tab is first shown.
 */
import { registerPage } from './shell/pages.js';
import { createLazyPage } from './shell/lazy_page.js';

async function loadStudio() {
  const [{ REVISION }, { studioPage }] = await Promise.all([import('three'), import('./pages/studio/page.js')]);
  // Lets anyone check from the console which three.js the import map resolved.
  window.threeRevision = REVISION;
  return studioPage;
}

registerPage('studio', { title: 'Zuze Ravizu', styles: ['/styles/studio.css'], page: createLazyPage(loadStudio) });
