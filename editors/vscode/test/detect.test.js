'use strict';
// Content detection of Vorn sources in .s and .S files; every line case is
// also checked against the Vim detection when vim is installed, so the two
// editors agree.

const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');
const { LINES_CHECKED, hasAssemblyExtension, isVornLine, looksLikeVorn } = require('../detect');

// [line, is Vorn]
const LINES = [
    ['        jmpz  loop', true],
    ['JMPNZ end', true],
    ['\tjmps\tdone', true],
    ['        jmpc  over', true],
    ['        jmpns again', true],
    ['        jmpnc again', true],
    ['loop:   jmpnz loop', true],
    ['.L1: jmpz .L1', true],
    ['start:ashl R1, R2', true],
    ['_x1 : AshR R3, R4', true],
    ['mov R1, R2 __NEW_LINE__ add R1, R2', true],
    ['#define TWICE(r) add r, r __new_line__ add r, r', true],
    ['        jmp   loop', false],
    ['        jz    loop', false],
    ['        jmpz', false],
    ['        jmpzx R1', false],
    ['        ashlr R1, R2', false],
    ['; jmpz loop, in a comment', false],
    ['// ashl R1, R2', false],
    ['loop:   mov   R1, R2', false],
    ['1:      jmpz  1b', false],
    ['        mov   R1, jmpz ', false],
    ['        movl  %eax, %ebx', false],
    ['        beq   loop', false],
    ['', false],
];

test('a line is Vorn when it uses a Vorn-only instruction or the separator', () => {
    for (const [line, expected] of LINES) {
        assert.strictEqual(isVornLine(line), expected, JSON.stringify(line));
    }
});

test('only the first lines are read', () => {
    const filler = Array(LINES_CHECKED - 1).fill('        mov R1, R2');
    assert.strictEqual(looksLikeVorn([...filler, '        jmpz loop']), true);
    assert.strictEqual(looksLikeVorn([...filler, '        mov R1, R2', '        jmpz loop']), false);
    assert.strictEqual(looksLikeVorn([]), false);
});

test('only .s and .S files are looked at', () => {
    const cases = [
        ['/w/prog.s', true],
        ['/w/PROG.S', true],
        ['C:\\w\\prog.s', true],
        ['/w/prog.vs', false],
        ['/w/prog.asm', false],
        ['/w/prog.s.orig', false],
        ['/w/s', false],
        ['Untitled-1', false],
    ];
    for (const [name, expected] of cases) {
        assert.strictEqual(hasAssemblyExtension(name), expected, name);
    }
});

function findVim() {
    for (const folder of (process.env.PATH || '').split(path.delimiter)) {
        const vim = path.join(folder, 'vim');
        if (folder && fs.existsSync(vim)) {
            return vim;
        }
    }
    return undefined;
}

test('Vim detects the same lines', (t) => {
    const vim = findVim();
    const runtime = path.resolve(__dirname, '..', '..', 'vim');
    if (!vim || !fs.existsSync(path.join(runtime, 'ftdetect', 'vorn.vim'))) {
        t.skip(vim ? 'the Vim files are not beside this folder' : 'vim is not installed');
        return;
    }
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'vorn-detect-'));
    try {
        for (const [line, expected] of LINES) {
            const source = path.join(folder, 'prog.s');
            const result = path.join(folder, 'filetype.txt');
            fs.writeFileSync(source, `        .text\n${line}\n`);
            execFileSync(vim, ['-es', '-N', '-u', 'NONE', '-i', 'NONE', '--cmd', `set rtp^=${runtime}`,
                '-c', 'filetype on', '-c', `edit ${source}`,
                '-c', `call writefile([&filetype], '${result}')`, '-c', 'qa!'], { stdio: 'ignore' });
            const filetype = fs.readFileSync(result, 'utf8').trim();
            assert.strictEqual(filetype === 'vorn', expected, `${JSON.stringify(line)}: Vim says ${filetype}`);
        }
    } finally {
        fs.rmSync(folder, { recursive: true, force: true });
    }
});
