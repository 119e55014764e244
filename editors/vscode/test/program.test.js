'use strict';
// Finding the program from rozedov.path: on PATH, by path, relative to the
// workspace folder, and never a folder or a file that cannot be run.

const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { findProgram } = require('../program');

function makeTree() {
    const root = fs.mkdtempSync(path.join(os.tmpdir(), 'vorn-program-'));
    for (const folder of ['bin', 'other', 'plain', 'home/tools', 'work/tools']) {
        fs.mkdirSync(path.join(root, folder), { recursive: true });
    }
    const write = (file, mode) => fs.writeFileSync(path.join(root, file), '#!/bin/sh\n', { mode });
    write('bin/rozedov', 0o755);
    write('other/rozedov-dev', 0o755);
    write('plain/rozedov', 0o644);
    write('home/tools/rozedov', 0o755);
    write('work/tools/rozedov', 0o755);
    fs.mkdirSync(path.join(root, 'other/rozedov'));
    return root;
}

test('rozedov.path names the program, or PATH has it', (t) => {
    if (process.platform === 'win32') {
        t.skip('the table uses POSIX permissions');
        return;
    }
    const root = makeTree();
    const at = (file) => path.join(root, file);
    const pathOf = (...folders) => folders.map(at).join(path.delimiter);
    // [setting, PATH, workspace folder, found]
    const cases = [
        ['', pathOf('bin'), undefined, at('bin/rozedov')],
        ['  ', pathOf('bin'), undefined, at('bin/rozedov')],
        ['', pathOf('plain', 'other', 'bin'), undefined, at('bin/rozedov')],
        ['', pathOf('plain', 'other'), undefined, undefined],
        ['', '', undefined, undefined],
        ['rozedov-dev', pathOf('bin', 'other'), undefined, at('other/rozedov-dev')],
        [at('work/tools/rozedov'), '', undefined, at('work/tools/rozedov')],
        [at('plain/rozedov'), pathOf('bin'), undefined, undefined],
        [at('other/rozedov'), pathOf('bin'), undefined, undefined],
        [at('missing/rozedov'), pathOf('bin'), undefined, undefined],
        ['tools/rozedov', '', at('work'), at('work/tools/rozedov')],
        ['./tools/rozedov', '', at('work'), at('work/tools/rozedov')],
        ['tools/rozedov', pathOf('bin'), undefined, undefined],
        ['~/tools/rozedov', '', at('work'), at('home/tools/rozedov')],
    ];
    try {
        for (const [setting, pathEnv, folder, expected] of cases) {
            const found = findProgram(setting, { pathEnv, platform: 'linux', home: at('home'), folder });
            assert.strictEqual(found, expected, `${JSON.stringify(setting)} with PATH ${pathEnv}`);
        }
    } finally {
        fs.rmSync(root, { recursive: true, force: true });
    }
});
