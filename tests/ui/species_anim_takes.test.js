'use strict';
// Which take of an FBX file an animation plays: the asset helper lists every take of a file
// holding several under an id made from the take's name, numbered when the name was given
// out already, and a file of one take once under the file's name.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

let t;
before(async () => {
  t = await import(pathToFileURL(path.join(__dirname, '..', '..', 'ui', 'pages', 'species', 'anim_takes.js')).href);
});

const entry = (file, id) => ({ file, id, seconds: 1 });

describe('the take an animation plays', () => {
  it('follows the helper\'s ids from take names, numbers included, and falls back to the first take', () => {
    const long = 'Armature|' + 'X'.repeat(40);
    const cases = [
      // A file of one take is named for the file, whatever its take is called.
      { names: ['Take 001', 'Walk'], inspect: [entry('Walk.fbx', 'walk')], anim: ['Walk.fbx', 'walk'], want: -1 },
      { names: ['Armature|Idle', 'Armature|Walk'], inspect: [entry('Rex.fbx', 'idle'), entry('Rex.fbx', 'walk')], anim: ['Rex.fbx', 'walk'], want: 1 },
      { names: ['Armature|Walk', 'Armature|Idle'], inspect: [entry('Rex.fbx', 'idle'), entry('Rex.fbx', 'walk')], anim: ['Rex.fbx', 'idle'], want: 1 },
      { names: ['Rex_AttackLeft90-v2', 'Rex|Roar'], inspect: [entry('Rex.fbx', 'rex_attack_left90_v2'), entry('Rex.fbx', 'roar')], anim: ['Rex.fbx', 'rex_attack_left90_v2'], want: 0 },
      // Another file had "walk" first: this file's Walk became walk_2, its "Walk 2" walk_2_2.
      {
        names: ['Armature|Walk', 'Armature|Walk 2'],
        inspect: [entry('Other.fbx', 'walk'), entry('Rex.fbx', 'walk_2'), entry('Rex.fbx', 'walk_2_2')],
        anim: ['Rex.fbx', 'walk_2'],
        want: 0,
      },
      {
        names: ['Armature|Walk 2', 'Armature|Walk'],
        inspect: [entry('Other.fbx', 'walk'), entry('Rex.fbx', 'walk_2'), entry('Rex.fbx', 'walk_2_2')],
        anim: ['Rex.fbx', 'walk_2_2'],
        want: 0,
      },
      // Two takes of one name within the file: the second got the number.
      { names: ['A|Bite', 'B|Bite'], inspect: [entry('Rex.fbx', 'bite'), entry('Rex.fbx', 'bite_2')], anim: ['Rex.fbx', 'bite_2'], want: 1 },
      // A name cut to 32 characters makes room for its number.
      { names: [long, long], inspect: [entry('Rex.fbx', 'x'.repeat(32)), entry('Rex.fbx', 'x'.repeat(30) + '_2')], anim: ['Rex.fbx', 'x'.repeat(30) + '_2'], want: 1 },
      // Words are kept while they fit: six of "tail" make 29 characters, a seventh would not.
      { names: ['Idle', 'Tail'.repeat(7)], inspect: [entry('Rex.fbx', 'idle'), entry('Rex.fbx', Array(6).fill('tail').join('_'))], anim: ['Rex.fbx', Array(6).fill('tail').join('_')], want: 1 },
      { names: ['§$%', 'Run'], inspect: [entry('Rex.fbx', 'anim'), entry('Rex.fbx', 'run')], anim: ['Rex.fbx', 'anim'], want: 0 },
      // An id the inspection does not list for the file, or a take it does not know.
      { names: ['Idle', 'Walk'], inspect: [entry('Rex.fbx', 'idle'), entry('Rex.fbx', 'walk')], anim: ['Rex.fbx', 'sniff'], want: -1 },
      { names: ['Idle', 'Sniff'], inspect: [entry('Rex.fbx', 'idle'), entry('Rex.fbx', 'walk')], anim: ['Rex.fbx', 'walk'], want: -1 },
      // No inspection of the file: the id is matched to the take names.
      { names: ['Armature|Idle', 'Armature|Walk'], inspect: null, anim: ['Rex.fbx', 'walk'], want: 1 },
      { names: ['Armature|Idle', 'Armature|Walk'], inspect: [entry('Other.fbx', 'idle')], anim: ['Rex.fbx', 'idle'], want: 0 },
      { names: ['Armature|Idle', 'Armature|Walk'], inspect: null, anim: ['Rex.fbx', 'walk_2'], want: -1 },
    ];
    for (const c of cases) {
      const anim = { file: c.anim[0], id: c.anim[1] };
      const inspect = c.inspect ? { animations: c.inspect } : null;
      assert.equal(t.takeIndex(c.names, inspect, anim), c.want, JSON.stringify(c));
    }
  });
});
