/*
 * One FBX file may hold several takes (clips). The asset helper lists each take of such a
 * file as an animation of its own, all with the same file and each with an id made from the
 * take's name; a file of one take is listed once, under an id made from the file's name. So
 * an animation is the pair of its file and id, and this finds, for one, the inspection's
 * entry (its length) and the take the preview plays. Plain data in, plain data out.
 */

const ID_MAX = 32;

const entriesOf = (inspect) => (inspect && Array.isArray(inspect.animations) ? inspect.animations.filter((a) => a && typeof a === 'object') : []);

/**
 * The inspection's entry for `anim` ({ file, id }): the one of its file and id; else the
 * first of its file, since a file of one take is listed under the file's name rather than
 * the id a hand-made definition may give it; else one of its id. Null when there is none.
 */
export function inspectedAnimation(inspect, anim) {
  const list = entriesOf(inspect);
  return list.find((a) => a.file === anim.file && a.id === anim.id) || list.find((a) => a.file === anim.file) || list.find((a) => a.id === anim.id) || null;
}

// The helper's words of a name: split at anything but an ASCII letter or digit and where a
// capital follows a small letter or a digit, in lower case.
function nameWords(name) {
  const words = [];
  let current = '';
  let previous = '';
  for (const c of String(name)) {
    const upper = c >= 'A' && c <= 'Z';
    const alnum = upper || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!alnum || (upper && /[a-z0-9]/.test(previous))) {
      if (current) words.push(current);
      current = '';
    }
    if (alnum) current += c.toLowerCase();
    previous = c;
  }
  if (current) words.push(current);
  return words;
}

/**
 * The id the helper makes from a take's name: its own name without the armature or take
 * prefix exporters add ("Armature|Walk"), its words joined by "_" up to 32 characters.
 */
function takeId(clipName) {
  const words = nameWords(String(clipName).split('|').pop());
  let id = '';
  for (const w of words) {
    if (id.length + 1 + w.length > ID_MAX) break;
    id += (id ? '_' : '') + w;
  }
  if (!id && words.length) id = words[0].slice(0, ID_MAX);
  return id || 'anim';
}

// The id the helper hands out for `id` once `taken` are given out: "_2", "_3" ... on a
// taken one, still within 32 characters.
function freeId(id, taken) {
  let candidate = id;
  for (let n = 2; taken.has(candidate); n++) {
    const suffix = '_' + n;
    candidate = id.slice(0, ID_MAX - suffix.length) + suffix;
  }
  return candidate;
}

/**
 * Which take each of a file's entries names: `candidates[k]` are the takes whose name gives
 * entry k's id. Each entry takes its first free take, so takes of one name keep the order
 * they came in; one whose takes are all held moves a holder on to another of its own (an
 * augmenting-path matching), so a loader that lists the takes in another order than the
 * helper read them still finds each.
 * Returns, per take, the entry it belongs to or -1.
 */
function matchTakes(candidates, count) {
  const owner = new Array(count).fill(-1);
  const place = (k, seen) => {
    const free = candidates[k].find((i) => owner[i] < 0);
    if (free !== undefined) {
      owner[free] = k;
      return true;
    }
    for (const i of candidates[k]) {
      if (seen.has(i)) continue;
      seen.add(i);
      if (place(owner[i], seen)) {
        owner[i] = k;
        return true;
      }
    }
    return false;
  };
  candidates.forEach((_, k) => place(k, new Set()));
  return owner;
}

/**
 * Which of its file's takes `anim` ({ file, id }) plays, given the take names the loader
 * read (`names`): an index into `names`, or -1 when none is named (the preview then plays
 * the first). A file the inspection lists once is a file of one take. For one it lists more
 * often, the helper's way of giving out ids is followed entry by entry, so an id that got a
 * number because another file's take had the same name still finds its take. Without an
 * inspection of the file the id is matched to a take's name.
 */
export function takeIndex(names, inspect, anim) {
  const ids = names.map(takeId);
  const candidates = [];
  const taken = new Set();
  let wanted = -1;
  for (const entry of entriesOf(inspect)) {
    if (entry.file === anim.file) {
      if (entry.id === anim.id && wanted < 0) wanted = candidates.length;
      candidates.push(ids.flatMap((id, i) => (freeId(id, taken) === entry.id ? [i] : [])));
    }
    taken.add(entry.id);
  }
  if (candidates.length === 0) return ids.indexOf(anim.id);
  if (candidates.length === 1 || wanted < 0) return -1;
  return matchTakes(candidates, names.length).indexOf(wanted);
}
