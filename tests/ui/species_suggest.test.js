'use strict';
// Taking over an import and linking animations from their file names: attack groups and
// their sides, grid samples, the single-role collapse, new attacks with free ids, labels and
// keys, and both notices.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

let sp;
before(async () => {
  const dir = path.join(__dirname, '..', '..', 'ui', 'pages', 'species');
  const mods = await Promise.all(['document.js', 'suggest.js'].map((f) => import(pathToFileURL(path.join(dir, f)).href)));
  sp = Object.assign({}, ...mods);
});

// An inspection as the asset helper writes it; `anims` is [id, role, x, y] (role '' for none).
function inspection(anims, extra = {}) {
  return sp.readInspection({
    mesh: { file: 'rex.fbx', triangles: 10, bones: 3, lengthCm: 400, materials: ['Skin'] },
    animations: anims.map(([id, role, x = 0, y = 0]) => ({ file: `anims/${id}.fbx`, id, seconds: 1.5, ...(role ? { suggest: { role, x, y } } : {}) })),
    textures: [],
    warnings: [],
    ...extra,
  });
}

function adopted(anims, raw = {}) {
  const doc = sp.normalizeSpecies(raw, 'rex');
  const insp = inspection(anims);
  sp.adoptInspection(doc, insp);
  const result = sp.linkAnimations(doc, insp);
  return { doc, result };
}

describe('attack groups', () => {
  const cases = [
    ['attack_bite_left90', 'attack_bite'],
    ['bite_forward', 'bite'],
    ['attack__right', 'attack'],
    ['left', 'attack'],
    ['tail_swipe_right90_2', 'tail_swipe_2'],
  ];
  for (const [id, group] of cases) it(`${id} belongs to ${group}`, () => assert.equal(sp.attackGroup(id), group));
});

describe('linking', () => {
  it('fills single roles with the first match and blend roles with one sample per new position', () => {
    const { doc, result } = adopted([
      ['idle_a', 'idle'], ['idle_b', 'idle'], ['walk', 'walk'], ['walk_left', 'walk', -0.5], ['walk_left_again', 'walk', -0.5],
      ['walk_up', 'walk', 0, 1], ['run', 'run'], ['swim_idle', 'swimIdle'], ['fly', 'fly'],
    ]);
    assert.deepEqual(doc.animations.idle, { anim: 'idle_a', rate: 1 });
    assert.deepEqual(doc.animations.walk, { blend: [{ anim: 'walk', x: 0, y: 0 }, { anim: 'walk_left', x: -0.5, y: 0 }, { anim: 'walk_up', x: 0, y: 1 }], rate: 1 });
    // A blend role with only its straight-ahead sample is a single animation.
    assert.deepEqual(doc.animations.run, { anim: 'run', rate: 1 });
    assert.deepEqual(doc.animations.swimIdle, { anim: 'swim_idle', rate: 1 });
    assert.equal(result.links, 6);
    assert.equal(result.notice, 'Linked 6 animations from their file names.');
  });

  it('keeps what the owner linked and only adds new grid positions', () => {
    const { doc, result } = adopted([['idle', 'idle'], ['walk', 'walk'], ['walk_r', 'walk', 0.5]], {
      animations: { idle: 'mine', walk: { anim: 'my_walk', rate: 2 } },
    });
    assert.deepEqual(doc.animations.idle, { anim: 'mine', rate: 1 });
    assert.deepEqual(doc.animations.walk, { blend: [{ anim: 'my_walk', x: 0, y: 0 }, { anim: 'walk_r', x: 0.5, y: 0 }], rate: 2 });
    assert.equal(result.links, 1);
  });

  it('makes one attack per group, turning groups first, then shorter names, with free ids, labels and keys', () => {
    const { doc, result } = adopted([
      ['attack_tail_swipe', 'attack'],
      ['attack_bite', 'attack'],
      ['attack_bite_left90', 'attack', -1],
      ['attack_bite_left', 'attack', -0.5],
      ['attack_bite_right90', 'attack', 1],
      ['attack_stomp', ''],
      ['Attack-Roar', 'attack'],
    ]);
    assert.deepEqual(doc.attacks.map((a) => [a.id, a.label, a.key, a.animation, a.animationLeft, a.animationRight]), [
      ['attack_bite', 'Attack bite', 'LeftMouseButton', 'attack_bite', 'attack_bite_left', 'attack_bite_right90'],
      ['attack_roar', 'Attack roar', 'RightMouseButton', 'Attack-Roar', '', ''],
      ['attack_stomp', 'Attack stomp', 'MiddleMouseButton', 'attack_stomp', '', ''],
      ['attack_tail_swipe', 'Attack tail swipe', 'ThumbMouseButton', 'attack_tail_swipe', '', ''],
    ]);
    assert.equal(result.links, 6);
  });

  it('uses a side animation as the attack when there is no straight one, and a name read from the id', () => {
    const { doc } = adopted([['bite_left', 'attack', -0.5], ['bite_attack_right90', '']]);
    assert.deepEqual(doc.attacks.map((a) => [a.id, a.animation, a.animationLeft, a.animationRight]), [
      ['bite', 'bite_left', '', ''],
      ['bite_attack', 'bite_attack_right90', '', ''],
    ]);
  });

  it('gives free ids when groups clean to the same name', () => {
    const { doc } = adopted([['Bite', 'attack'], ['bite!', 'attack']]);
    assert.deepEqual(doc.attacks.map((a) => a.id), ['bite', 'bite_2']);
  });

  it('leaves existing attacks alone and says when nothing matched', () => {
    const { doc, result } = adopted([['attack_bite', 'attack'], ['stretch', '']], { attacks: [{ id: 'claw', animation: 'x' }] });
    assert.deepEqual(doc.attacks.map((a) => a.id), ['claw']);
    assert.deepEqual(result, { links: 0, notice: 'The file names gave no clear match.' });
  });
});

describe('adopting an inspection', () => {
  it('takes the model, one animation per inspected one with earlier sound events, and texture slots', () => {
    const doc = sp.normalizeSpecies({
      source: { animations: [{ file: 'old/idle.fbx', id: 'idle', sounds: [{ sound: 'step', time: 0.2 }] }, { file: 'gone.fbx', id: 'gone' }] },
    }, 'rex');
    const insp = inspection([['idle', 'idle'], ['idle', 'idle'], ['walk', 'walk']], {
      textures: [
        { slot: 'Body', type: 'diffuse', file: 'T_Body_D.png' },
        { slot: 'Body', type: 'normal', file: 'T_Body_N.png' },
        { slot: 'Eyes', type: 'diffuse', file: 'T_Eyes_D.png' },
        { slot: 'Body', type: 'diffuse', file: 'T_Body_D2.png' },
      ],
    });
    sp.adoptInspection(doc, insp);
    assert.equal(doc.source.mesh, 'rex.fbx');
    assert.deepEqual(doc.source.animations, [
      { file: 'anims/idle.fbx', id: 'idle', sounds: [{ sound: 'step', time: 0.2, volume: 1, pitch: 1 }] },
      { file: 'anims/walk.fbx', id: 'walk' },
    ]);
    assert.deepEqual(doc.source.textures, [{ slot: 'Body', diffuse: 'T_Body_D.png', normal: 'T_Body_N.png' }, { slot: 'Eyes', diffuse: 'T_Eyes_D.png' }]);
  });

  it('reads odd inspections without failing', () => {
    assert.equal(sp.readInspection([]), null);
    const odd = sp.readInspection({ mesh: 'x', animations: [{ id: 'a' }, { file: 'b.fbx', id: 'b', seconds: 'long', suggest: 'walk' }, 3], textures: {}, warnings: ['w', 4] });
    assert.deepEqual(odd.mesh, { file: '', triangles: 0, bones: 0, lengthCm: 0, materials: [] });
    assert.deepEqual(odd.animations, [{ file: 'b.fbx', id: 'b', seconds: 0 }]);
    assert.deepEqual([odd.textures, odd.warnings], [[], ['w']]);
  });
});
