/*
 * The animation preview at the route the page has always had: the Species page's sounds
 * section builds it, and anything else that wants a species' clip on its model can too.
 */
export { createAnimPreview } from './pages/species/anim_preview.js';
