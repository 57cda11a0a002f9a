/*
 * A brain as the Lua line that defines it on the server, for people who keep their brains in
 * scripts: short tables stay on one line, everything else is indented two blanks per level.
 */

const LUA_NAME = /^[A-Za-z_][A-Za-z0-9_]*$/;
const LUA_INLINE_LIMIT = 90;

function luaKey(key) {
  return LUA_NAME.test(key) ? key : `[${JSON.stringify(key)}]`;
}

export function luaValue(value, level) {
  const indent = (n) => '  '.repeat(n);
  if (Array.isArray(value)) {
    if (value.length === 0) return '{}';
    const lines = value.map((item) => indent(level + 1) + luaValue(item, level + 1) + ',');
    return '{\n' + lines.join('\n') + '\n' + indent(level) + '}';
  }
  if (value && typeof value === 'object') {
    const keys = Object.keys(value);
    if (keys.length === 0) return '{}';
    const flat = keys.every((k) => value[k] === null || typeof value[k] !== 'object');
    if (flat) {
      const list = keys.map((k) => `${luaKey(k)} = ${luaValue(value[k], level + 1)}`).join(', ');
      if (list.length < LUA_INLINE_LIMIT) return '{ ' + list + ' }';
    }
    const lines = keys.map((k) => `${indent(level + 1)}${luaKey(k)} = ${luaValue(value[k], level + 1)},`);
    return '{\n' + lines.join('\n') + '\n' + indent(level) + '}';
  }
  if (typeof value === 'string') return JSON.stringify(value);
  if (value === null || value === undefined) return 'nil';
  return String(value);
}

/** The brain as the server's Lua API takes it; the preset only matters to this editor. */
export function luaText(name, brain) {
  const body = {};
  for (const key of Object.keys(brain)) if (key !== 'preset') body[key] = brain[key];
  return `forgeset.ai.defineBrain(${JSON.stringify(name)}, ${luaValue(body, 0)})\n`;
}
