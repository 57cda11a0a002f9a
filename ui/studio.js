/*
 * Entry of the Zuze Ravizu page: announces the page to the shell. The page itself lives in
 * pages/studio/.
 */
import { REVISION } from 'three';
import { registerPage } from './shell/pages.js';
import { createStudioPage } from './pages/studio/page.js';

// Lets anyone check from the console which three.js the import map resolved.
window.threeRevision = REVISION;
registerPage('studio', createStudioPage(window));
