/* Entry of the Skins page (skins.json, skins.lua and the textures). */
import { registerPage } from './shell/pages.js';
import { skinsPage } from './pages/skins/page.js';

registerPage('skins', { title: 'Skins', styles: ['/styles/server_pages.css'], page: skinsPage });
