/*
 * Entry of the Skins page (skins.json, skins.lua and the textures). Its code comes once the
 * first state is drawn (shell/lazy_page.js).
 */
import { registerPage } from './shell/pages.js';
import { createPrefetchedPage } from './shell/lazy_page.js';

const loadSkins = async () => (await import('./pages/skins/page.js')).skinsPage;

registerPage('skins', { title: 'Skins', styles: ['/styles/server_pages.css'], page: createPrefetchedPage(loadSkins) });
