/*
 * Entry of the AI page (brains and spawners, written as brains.json and spawns.json): the
 * browser loads this file by its route, and it announces the page to the shell. The page's
 * code comes once the first state is drawn (shell/lazy_page.js).
 */
import { registerPage } from './shell/pages.js';
import { createPrefetchedPage } from './shell/lazy_page.js';

const loadAi = async () => (await import('./pages/ai/page.js')).aiPage;

registerPage('ai', { title: 'AI', styles: ['/styles/ai.css'], page: createPrefetchedPage(loadAi) });
