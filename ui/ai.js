/*
 * Entry of the AI page (brains and spawners, written as brains.json and spawns.json): the
 * browser loads this file by its route, and it announces the page to the shell.
 */
import { registerPage } from './shell/pages.js';
import { aiPage } from './pages/ai/page.js';

registerPage('ai', { title: 'AI', styles: ['/styles/ai.css'], page: aiPage });
