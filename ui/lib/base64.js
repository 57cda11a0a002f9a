/* Multi-line texts (skins.json, skins.lua, the AI files) travel to the host as base64 of their
 * UTF-8 bytes, so no line end or quote is ever reinterpreted on the way. */

const B64 = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/';
const encoder = new TextEncoder();

/** UTF-8 bytes of a JavaScript string; lone surrogates become U+FFFD. */
export function utf8Bytes(text) {
  return encoder.encode(String(text));
}

/** Standard base64 (with padding) of a byte array. */
export function base64FromBytes(bytes) {
  let out = '';
  let i = 0;
  for (; i + 2 < bytes.length; i += 3) {
    const v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    out += B64[v >> 18] + B64[(v >> 12) & 63] + B64[(v >> 6) & 63] + B64[v & 63];
  }
  const rest = bytes.length - i;
  if (rest === 1) {
    const v = bytes[i] << 16;
    out += B64[v >> 18] + B64[(v >> 12) & 63] + '==';
  } else if (rest === 2) {
    const v = (bytes[i] << 16) | (bytes[i + 1] << 8);
    out += B64[v >> 18] + B64[(v >> 12) & 63] + B64[(v >> 6) & 63] + '=';
  }
  return out;
}

/** What the host expects for a multi-line text: base64 of its UTF-8 bytes. */
export function base64Utf8(text) {
  return base64FromBytes(utf8Bytes(text));
}
