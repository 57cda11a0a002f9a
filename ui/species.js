/* The Species page's entry. */

import { registerPage } from './shell/pages.js';
import { speciesPage } from './pages/species/page.js';

registerPage('species', speciesPage);
