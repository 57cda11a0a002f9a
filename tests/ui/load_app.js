'use strict';
// Loads ui/app.js the way node would load a CommonJS file, without a window, so the page
// shell does not start and only its pure helpers come back. ui/package.json marks the folder
// as ES modules, which is why the file is compiled here instead of being required.
const fs = require('node:fs');
const path = require('node:path');
const vm = require('node:vm');

const UI_DIR = path.join(__dirname, '..', '..', 'ui');

function loadAppCore() {
  const file = path.join(UI_DIR, 'app.js');
  const module = { exports: {} };
  const run = vm.compileFunction(fs.readFileSync(file, 'utf8'), ['module'], { filename: file });
  run(module);
  return module.exports;
}

module.exports = { UI_DIR, loadAppCore };
