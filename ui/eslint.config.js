// Lint rules for the page and the JavaScript tests. Run from the repository's top folder:
//   ui/node_modules/.bin/eslint -c ui/eslint.config.js
// (the test suite does); the paths below are relative to that folder.
import js from '@eslint/js';
import globals from 'globals';

export default [
  { ignores: ['ui/node_modules/**', 'build*/**'] },
  js.configs.recommended,
  {
    // The page: ES modules in a browser, nothing global of their own.
    files: ['ui/**/*.js'],
    languageOptions: { sourceType: 'module', globals: { ...globals.browser } },
    rules: {
      'no-unused-vars': ['error', { caughtErrors: 'none' }],
      'no-implicit-globals': 'error',
      eqeqeq: ['error', 'always'],
    },
  },
  {
    // The hosts' shims run as classic scripts ahead of the page; the desktop one talks to
    // WebKit's message handlers.
    files: ['ui/host/*.js'],
    languageOptions: { sourceType: 'script', globals: { ...globals.browser } },
  },
  {
    files: ['ui/eslint.config.js'],
    languageOptions: { sourceType: 'module', globals: { ...globals.node } },
  },
  {
    // Build helpers run under node.
    files: ['scripts/**/*.mjs'],
    languageOptions: { sourceType: 'module', globals: { ...globals.node } },
  },
  {
    // Benchmarks drive the page from node and hand it functions, as the browser tests do.
    files: ['bench/**/*.mjs'],
    languageOptions: { sourceType: 'module', globals: { ...globals.node, ...globals.browser } },
  },
  {
    // Node tests are CommonJS; the browser tests also hand functions to the page, which
    // run there with the page's globals.
    files: ['tests/**/*.js'],
    languageOptions: { sourceType: 'commonjs', globals: { ...globals.node, ...globals.browser } },
    rules: { 'no-unused-vars': ['error', { caughtErrors: 'none' }] },
  },
];
