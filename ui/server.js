/* Entry of the Server page (server.cfg, the runner and the folder shortcuts). */
import { registerPage } from './shell/pages.js';
import { serverPage } from './pages/server/page.js';

registerPage('server', { title: 'Server', styles: ['/styles/server_pages.css'], page: serverPage });
