/* The Species page's entry. */

import { registerPage } from './shell/pages.js';
import { speciesPage } from './pages/species/page.js';

registerPage('species', {
  title: 'Species',
  styles: ['/styles/species_sounds.css', '/styles/species.css'],
  page: speciesPage,
});
