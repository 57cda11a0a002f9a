/*
 * The pages, in the order of their tabs. A new page is its folder under pages/, its entry
 * file beside this one, and one line here.
 */
import './server.js';
import './resources.js';
import './skins.js';
import './ai.js';
import './species.js';
import './studio.js';
