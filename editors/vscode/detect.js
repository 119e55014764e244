'use strict';
// Tells Vorn assembly apart from other assembly in files ending in .s or .S,
// as the Vim file type detection in editors/vim/ftdetect/vorn.vim does: a
// Vorn source uses, within its first lines, an instruction only Vorn has (a
// conditional jump such as jmpnz, ashl or ashr) at the start of a statement,
// after an optional label, or its statement separator __NEW_LINE__.

const LINES_CHECKED = 200;

// [label:] (jmpz|jmps|jmpc|jmpnz|jmpns|jmpnc|ashl|ashr) followed by a blank,
// in any letter case. Blanks are spaces and tabs, as \s in Vim.
const VORN_ONLY_STATEMENT = /^[ \t]*(?:[A-Za-z_.][A-Za-z0-9_.]*[ \t]*:[ \t]*)?(?:jmpn?[zsc]|ashl|ashr)[ \t]/i;
const STATEMENT_SEPARATOR = /__NEW_LINE__/i;

function hasAssemblyExtension(fileName) {
    return /\.[sS]$/.test(fileName);
}

function isVornLine(line) {
    return VORN_ONLY_STATEMENT.test(line) || STATEMENT_SEPARATOR.test(line);
}

// lines: the text of the document's lines, first to last (only the first
// LINES_CHECKED are read).
function looksLikeVorn(lines) {
    return lines.slice(0, LINES_CHECKED).some(isVornLine);
}

module.exports = { LINES_CHECKED, hasAssemblyExtension, isVornLine, looksLikeVorn };
