/* Entry of the Resources page (the Lua resources and new ones from templates). */
import { registerPage } from './shell/pages.js';
import { resourcesPage } from './pages/resources/page.js';

registerPage('resources', { title: 'Resources', styles: ['/styles/server_pages.css'], page: resourcesPage });
