/*
 * The Species page's entry. Its code comes once the first state is drawn; the species
 * messages of the start-up wait for it in the stand-in (shell/lazy_page.js).
 */
import { registerPage } from './shell/pages.js';
import { createPrefetchedPage } from './shell/lazy_page.js';

const loadSpecies = async () => (await import('./pages/species/page.js')).speciesPage;

registerPage('species', {
  title: 'Species',
  styles: ['/styles/species_sounds.css', '/styles/species.css'],
  page: createPrefetchedPage(loadSpecies),
});
