'use strict';
// What the page takes from an extracted species and from the studio message, and the rule
// for texture names.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

let S;
before(async () => {
  const load = (file) => import(pathToFileURL(path.join(__dirname, '..', '..', 'ui', 'pages', 'studio', file)).href);
  S = Object.assign({}, await load('files.js'), await load('view.js'));
});

const pattern = (file) => ({ file, kind: 'pattern', asset: '/Game/' + file });

describe('choice of the starting pattern', () => {
  it('prefers the first pattern naming Adult_Pattern_1', () => {
    const files = [
      pattern('Rex_Juvenile_Pattern_1.png'),
      pattern('Rex_Adult_Pattern_2.png'),
      pattern('Rex_Adult_Pattern_1.png'),
      pattern('Rex_Adult_Pattern_1_Alt.png'),
    ];
    assert.equal(S.choosePattern(files).file, 'Rex_Adult_Pattern_1.png');
  });

  it('takes the first pattern naming Adult when none names Adult_Pattern_1', () => {
    const files = [pattern('Rex_Juvenile_Pattern_1.png'), pattern('Rex_Adult_Pattern_3.png'), pattern('Rex_Adult_Pattern_2.png')];
    assert.equal(S.choosePattern(files).file, 'Rex_Adult_Pattern_3.png');
  });

  it('takes the first pattern when none is an adult one', () => {
    const files = [{ file: 'Rex_RAC.png', kind: 'rac' }, pattern('Rex_Juvenile_Pattern_2.png'), pattern('Rex_Juvenile_Pattern_1.png')];
    assert.equal(S.choosePattern(files).file, 'Rex_Juvenile_Pattern_2.png');
  });

  it('looks only at patterns: an adult rac or mask does not count', () => {
    const files = [
      { file: 'Rex_Adult_Pattern_1_RAC.png', kind: 'rac' },
      { file: 'Rex_Adult_Mask.png', kind: 'mask' },
      pattern('Rex_Pattern.png'),
    ];
    assert.equal(S.choosePattern(files).file, 'Rex_Pattern.png');
  });

  it('matches the names as written, with their case', () => {
    assert.equal(S.choosePattern([pattern('a.png'), pattern('rex_adult_pattern_1.png')]).file, 'a.png');
  });

  it('has nothing to offer without patterns, and skips entries that are not files', () => {
    assert.equal(S.choosePattern([]), null);
    assert.equal(S.choosePattern(undefined), null);
    assert.equal(S.choosePattern([null, 'x', { kind: 'pattern' }, { kind: 'pattern', file: '' }]), null);
    assert.equal(S.choosePattern([{ kind: 'pattern', file: 7 }, pattern('b.png')]).file, 'b.png');
  });

  it('finds the first rac and mask files', () => {
    const files = [pattern('p.png'), { file: 'm1.png', kind: 'mask' }, { file: 'r.png', kind: 'rac' }, { file: 'm2.png', kind: 'mask' }];
    assert.equal(S.fileOfKind(files, 'rac').file, 'r.png');
    assert.equal(S.fileOfKind(files, 'mask').file, 'm1.png');
    assert.equal(S.fileOfKind([pattern('p.png')], 'rac'), null);
  });
});

describe('addresses of extracted files', () => {
  it('puts the species folder and the file below the assets host, encoded', () => {
    const base = 'http://127.0.0.1:9/a/assets/';
    assert.equal(S.assetUrl(base, 'Tyrannosaurus', 'info.json'), base + 'Tyrannosaurus/info.json');
    assert.equal(S.assetUrl(base, 'Rex One', 'a#b?.png'), base + 'Rex%20One/a%23b%3F.png');
    assert.equal(S.assetUrl(base, 'Ørnitholestes', 'mesh.glb'), base + '%C3%98rnitholestes/mesh.glb');
  });
});

describe('texture names', () => {
  it('trims and lower-cases the name', () => {
    assert.deepEqual(S.textureName('  Stripes_1 '), { name: 'stripes_1' });
    assert.deepEqual(S.textureName('NEON-Rex'), { name: 'neon-rex' });
    assert.deepEqual(S.textureName('a'), { name: 'a' });
    assert.deepEqual(S.textureName('0_-'), { name: '0_-' });
  });

  it('refuses anything but letters, digits, _ and -', () => {
    for (const bad of ['', '   ', 'two words', 'stripes.png', 'a/b', 'a\\b', 'ünï', 'tab\there', 'x!', undefined, null]) {
      assert.deepEqual(S.textureName(bad), { error: 'Texture name: lowercase letters, digits, _ and -.' }, String(bad));
    }
  });

  it('sends the base64 part of the canvas data URL', () => {
    assert.equal(S.dataUrlBase64('data:image/png;base64,iVBORw0KGgo='), 'iVBORw0KGgo=');
    assert.equal(S.dataUrlBase64('data:,'), '');
    assert.equal(S.dataUrlBase64('nothing'), '');
  });
});

describe('species chips from the studio message', () => {
  it('lists the game\'s species in order and marks the extracted ones', () => {
    const chips = S.speciesChips({ type: 'studio', species: ['Rex', 'Trike', 'Steg'], extracted: ['Steg'] });
    assert.deepEqual(chips, [
      { name: 'Rex', extracted: false },
      { name: 'Trike', extracted: false },
      { name: 'Steg', extracted: true },
    ]);
  });

  it('adds extracted species the list no longer names, once each', () => {
    const chips = S.speciesChips({ species: ['Rex', 'Rex'], extracted: ['Old', 'Rex'] });
    assert.deepEqual(chips, [
      { name: 'Rex', extracted: true },
      { name: 'Old', extracted: true },
    ]);
  });

  it('copes with a list that is not one, and with names that are not strings', () => {
    assert.deepEqual(S.speciesChips({ species: { a: 1 }, extracted: 'Rex' }), []);
    assert.deepEqual(S.speciesChips(null), []);
    assert.deepEqual(S.speciesChips({ species: [1, null, '', 'Rex', { n: 2 }], extracted: [5] }), [{ name: 'Rex', extracted: false }]);
  });
});

describe('species chips and the hint above them', () => {
  it('marks each chip extracted, open or being extracted, and escapes the names', () => {
    const chips = [
      { name: 'Rex', extracted: true },
      { name: 'Trike', extracted: false },
      { name: '<b>"Odd"</b>', extracted: false },
    ];
    const html = S.chipsMarkup(chips, 'Rex', 'Trike');
    const buttons = html.split('</button>').filter(Boolean);
    assert.equal(buttons.length, 3);
    assert.match(buttons[0], /class="studio-chip extracted open" data-species="Rex" data-extracted="true" title="Open">/);
    assert.match(buttons[0], /<span aria-hidden="true">✓<\/span> Rex$/);
    assert.match(buttons[1], /class="studio-chip working" data-species="Trike" data-extracted="false" title="Extract from the game files">Trike$/);
    assert.match(buttons[2], /data-species="&lt;b&gt;&quot;Odd&quot;&lt;\/b&gt;"/);
    assert.ok(!html.includes('<b>'));
    assert.equal(S.chipsMarkup([], 'Rex', ''), '');
  });

  it('tells the owner what to do next', () => {
    const cases = [
      [null, 0, 'Waiting for the asset studio…'],
      [{ helper: false, species: ['Rex'] }, 1, 'The asset helper tool forgeset-assets was not found next to the Server Tool.'],
      [{ helper: 'yes' }, 0, 'The asset helper tool forgeset-assets was not found next to the Server Tool.'],
      [{ helper: true }, 0, 'Read the game files to list its species, then pick one to extract it.'],
      [{ helper: true }, 2, 'Species marked ✓ are extracted and open at once; the others are extracted first.'],
    ];
    for (const [latest, count, text] of cases) assert.equal(S.hintText(latest, count), text, JSON.stringify(latest));
  });
});

describe('error texts', () => {
  it('shows an error\'s message, or the thrown value itself', () => {
    assert.equal(S.errorText(new SyntaxError('Unexpected end of JSON input')), 'Unexpected end of JSON input');
    assert.equal(S.errorText('HTTP 404'), 'HTTP 404');
    assert.equal(S.errorText({ message: '' }), '[object Object]');
    assert.equal(S.errorText(undefined), 'undefined');
  });
});
