'use strict';
// Finds the rozedov program the extension runs, from the rozedov.path
// setting: empty means "rozedov" on PATH; a bare name is looked up on PATH;
// a path with a folder in it is used as it is, taken from the workspace
// folder when relative. Only an executable file counts as found.

const fs = require('fs');
const os = require('os');
const path = require('path');

const DEFAULT_PROGRAM = 'rozedov';

function isExecutableFile(file) {
    try {
        fs.accessSync(file, fs.constants.X_OK);
        return fs.statSync(file).isFile();
    } catch {
        return false;
    }
}

function expandHome(setting, home) {
    if (setting === '~') {
        return home;
    }
    return setting.startsWith('~/') ? path.join(home, setting.slice(2)) : setting;
}

// The names to try in each PATH folder: on Windows with the endings of PATHEXT.
function candidateNames(name, platform, pathExt) {
    if (platform !== 'win32' || path.extname(name) !== '') {
        return [name];
    }
    return [name, ...(pathExt || '.EXE;.CMD;.BAT').split(';').filter(Boolean).map((ending) => name + ending)];
}

function searchPath(name, env) {
    const folders = (env.pathEnv || '').split(env.delimiter || path.delimiter).filter(Boolean);
    for (const folder of folders) {
        for (const candidate of candidateNames(name, env.platform, env.pathExt)) {
            const file = path.join(folder, candidate);
            if (isExecutableFile(file)) {
                return file;
            }
        }
    }
    return undefined;
}

// setting: the value of rozedov.path; env: {pathEnv, pathExt, platform,
// delimiter, home, folder} where folder is the first workspace folder, if
// any. Returns the program's path, or undefined when there is none.
function findProgram(setting, env) {
    const wanted = expandHome((setting || '').trim(), env.home || os.homedir()) || DEFAULT_PROGRAM;
    if (!wanted.includes('/') && !wanted.includes(path.sep)) {
        return searchPath(wanted, env);
    }
    if (!path.isAbsolute(wanted) && !env.folder) {
        return undefined;  // relative to a workspace folder, and there is none
    }
    const file = path.resolve(env.folder || '', wanted);
    return isExecutableFile(file) ? file : undefined;
}

module.exports = { DEFAULT_PROGRAM, findProgram };
