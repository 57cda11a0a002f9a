'use strict';
// Loads ui/ai.js without a window, the way load_app.js loads the shell: the page does not
// start and the pure parts come back as { vfFields, ai }.
const fs = require('node:fs');
const path = require('node:path');
const vm = require('node:vm');

function loadAi() {
  const file = path.join(__dirname, '..', '..', 'ui', 'ai.js');
  const module = { exports: {} };
  vm.compileFunction(fs.readFileSync(file, 'utf8'), ['module'], { filename: file })(module);
  return module.exports;
}

module.exports = { loadAi };
