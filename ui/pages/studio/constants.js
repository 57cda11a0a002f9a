/* The sizes, limits and fixed texts of the Zuze Ravizu page. */

export const PAINT_SIZE = 2048;
export const PREVIEW_SIZE = 1024;
export const GLOW_MIN = 1;
export const GLOW_MAX = 20;
export const BRUSH_MIN = 2;
export const BRUSH_MAX = 256;
export const UNDO_LIMIT = 30;
// While a stroke is under way the preview follows at this pace; the bake of a whole
// 1024 x 1024 texture is too slow to run on every pointer move.
export const PREVIEW_THROTTLE_MS = 150;

export const TEXTURE_NAME_ERROR = 'Texture name: lowercase letters, digits, _ and -.';
export const SCAN_NOTICE = 'Reading the game files, this takes a moment...';
export const IMPORT_NOTICE =
  'Pattern imported. Only pure red, green, blue, cyan, magenta and yellow count as zones.';
