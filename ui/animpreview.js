/*
 * The animation preview at the route the page has always had, for anything that wants a
 * species' clip on its model. It fetches three.js and the FBX loader when a preview is first
 * made rather than when the page starts, so it resolves with the preview.
 */
export async function createAnimPreview(canvas, options) {
  const { createAnimPreview: create } = await import('./pages/species/anim_preview.js');
  return create(canvas, options);
}
