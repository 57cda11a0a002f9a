/* server.cfg as the Server page edits it: the fields it shows and the values a save sends. */

// The host's order of the ten keys, which the saveCfg command keeps.
export const CFG_KEYS = [
  'sv_hostname', 'sv_maxplayers', 'sv_map', 'sv_port', 'sv_httpport',
  'sv_scriptport', 'sv_publicip', 'sv_admins', 'sv_gamedir', 'sv_rconpassword',
];

// The server.cfg card, in the order a person reads it (the saved message keeps CFG_KEYS'
// order). Ports and the player count are numbers; everything else is free text.
export const CFG_FIELDS = [
  { key: 'sv_hostname', label: 'Server name', hint: 'Shown in the server list', type: 'text' },
  { key: 'sv_map', label: 'Map', hint: 'Gateway', type: 'text' },
  { key: 'sv_maxplayers', label: 'Max players', hint: '', type: 'number' },
  { key: 'sv_port', label: 'Game port', hint: 'UDP, open in the firewall', type: 'number' },
  { key: 'sv_httpport', label: 'Download port', hint: 'Resources and mods, TCP', type: 'number' },
  { key: 'sv_scriptport', label: 'Script port', hint: 'Modded clients, TCP', type: 'number' },
  { key: 'sv_publicip', label: 'Public IP', hint: 'What players connect to', type: 'text' },
  { key: 'sv_gamedir', label: 'Game folder', hint: 'Dedicated server install', type: 'text' },
  { key: 'sv_admins', label: 'Admins', hint: 'Steam IDs, comma separated', type: 'text' },
  { key: 'sv_rconpassword', label: 'RCON password', hint: '', type: 'text' },
];

/**
 * The ten values a save sends, in the host's key order, each trimmed. A field the person
 * typed in sends what they typed; an untouched field sends what the file holds. That is
 * what the inputs show, except for a value a number input cannot display (say "27015 #
 * game"): the input shows it empty, and saving must not wipe the line for that.
 */
export function cfgToSave(cfg, drafts) {
  const out = { cmd: 'saveCfg' };
  for (const key of CFG_KEYS) {
    let value = drafts && Object.prototype.hasOwnProperty.call(drafts, key) ? drafts[key] : cfg && cfg[key];
    if (value === null || value === undefined) value = '';
    out[key] = String(value).trim();
  }
  return out;
}

/**
 * What the server.cfg card shows after a state message. Unsaved typing survives messages
 * from other commands (switching a resource, a texture saved in the studio, a refresh);
 * the answer to our own save, or another server folder, is the truth and replaces it.
 */
export function settleCfgDrafts(drafts, event) {
  if (event.rootChanged || event.afterSave) return {};
  return drafts;
}
