/*
 * Entry of the Resources page (the Lua resources and new ones from templates). Its code comes
 * once the first state is drawn (shell/lazy_page.js).
 */
import { registerPage } from './shell/pages.js';
import { createPrefetchedPage } from './shell/lazy_page.js';

const loadResources = async () => (await import('./pages/resources/page.js')).resourcesPage;

registerPage('resources', { title: 'Resources', styles: ['/styles/server_pages.css'], page: createPrefetchedPage(loadResources) });
