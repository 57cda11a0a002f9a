/*
 * The game animals a species can be built on. The species kit describes each playable one in
 * a JSON file (key, label, the animal's own stats and abilities); the host hands their texts
 * over unparsed, so a broken description only loses that one animal's details.
 */
import { isPlainObject } from '../../lib/fields.js';
import { PLAYABLE_TEMPLATES } from './schema.js';

/** The kit's descriptions by lower-case key: { label, stats, abilities }. */
export function parseHosts(texts) {
  const hosts = new Map();
  for (const text of Array.isArray(texts) ? texts : []) {
    let raw;
    try {
      raw = JSON.parse(text);
    } catch {
      continue;
    }
    if (!isPlainObject(raw) || typeof raw.species !== 'string' || raw.species.trim() === '') continue;
    const key = raw.species.trim().toLowerCase();
    hosts.set(key, {
      label: typeof raw.label === 'string' && raw.label.trim() ? raw.label : key,
      stats: isPlainObject(raw.stats) ? raw.stats : {},
      abilities: Array.isArray(raw.abilities) ? raw.abilities.filter((a) => typeof a === 'string' && a !== '') : [],
    });
  }
  return hosts;
}

/** Every template choice as [key, label], sorted by key; the kit's label where it has one. */
export function templateChoices(hosts) {
  const keys = new Set(PLAYABLE_TEMPLATES);
  for (const key of hosts.keys()) keys.add(key);
  return Array.from(keys).sort().map((key) => [key, hosts.has(key) ? hosts.get(key).label : key]);
}

/** The template's own value of a stat, or undefined when the kit does not say. */
export function templateStat(hosts, template, key) {
  const host = hosts.get(template);
  const value = host ? host.stats[key] : undefined;
  return typeof value === 'number' && Number.isFinite(value) ? value : undefined;
}

/** The template's abilities an attack may take over ("host:<ability>"). */
export function templateAbilities(hosts, template) {
  const host = hosts.get(template);
  return host ? host.abilities : [];
}
