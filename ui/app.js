/* The page's entry: declares every page (pages.js), then starts the shell. */

import './pages.js';
import { startShell } from './shell/start.js';

startShell(document);
