'use strict';
// The extension in a stand-in for VS Code: which documents become Vorn, when
// the server starts and what it is started with, and the message when the
// program is missing.

const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const Module = require('module');
const os = require('os');
const path = require('path');

const EXTENSION = require.resolve('../extension');

function document(name, languageId, lines) {
    return {
        uri: { toString: () => `file:///w/${name}` },
        fileName: `/w/${name}`,
        languageId,
        lineCount: lines.length,
        lineAt: (line) => ({ text: lines[line] }),
    };
}

// A workspace with the given documents open and settings; it records the
// clients made, the errors shown and the language changes.
function fakeEditor(documents, settings) {
    const listeners = { open: [], close: [] };
    const seen = { clients: [], errors: [], languages: [] };
    const on = (list) => (listener) => {
        list.push(listener);
        return { dispose() {} };
    };
    const workspace = {
        textDocuments: [...documents],
        workspaceFolders: [{ uri: { scheme: 'file', fsPath: '/w' } }],
        getConfiguration: () => ({ get: (key, fallback) => (key in settings ? settings[key] : fallback) }),
        onDidOpenTextDocument: on(listeners.open),
        onDidCloseTextDocument: on(listeners.close),
        onDidChangeConfiguration: on([]),
        onDidGrantWorkspaceTrust: on([]),
    };
    // As VS Code does it: the document is closed and opened again at once.
    const changeLanguage = (old, languageId) => {
        const changed = { ...old, languageId };
        workspace.textDocuments = workspace.textDocuments.map((open) => (open === old ? changed : open));
        listeners.close.forEach((listener) => listener(old));
        listeners.open.forEach((listener) => listener(changed));
        return changed;
    };
    const open = (opened) => {
        workspace.textDocuments.push(opened);
        listeners.open.forEach((listener) => listener(opened));
    };
    const vscode = {
        workspace,
        languages: {
            setTextDocumentLanguage: async (old, languageId) => {
                seen.languages.push([old.fileName, languageId]);
                return changeLanguage(old, languageId);
            },
        },
        window: {
            showErrorMessage: async (message) => {
                seen.errors.push(message);
                return undefined;
            },
        },
        commands: { executeCommand: async () => undefined },
    };
    class LanguageClient {
        constructor(id, name, serverOptions, clientOptions) {
            seen.clients.push({ serverOptions, clientOptions });
        }
        async start() {}
        async stop() {}
    }
    const client = { LanguageClient, TransportKind: { stdio: 0, ipc: 1, pipe: 2, socket: 3 } };
    return { vscode, client, seen, changeLanguage, open };
}

// Loads a fresh copy of the extension against the fake editor (for the whole
// test: the client library is loaded late) and activates it.
async function activate(t, editor) {
    const load = Module._load;
    Module._load = function (request, ...rest) {
        if (request === 'vscode') {
            return editor.vscode;
        }
        if (request === 'vscode-languageclient/node') {
            return editor.client;
        }
        return load.call(this, request, ...rest);
    };
    t.after(() => {
        Module._load = load;
    });
    delete require.cache[EXTENSION];
    const extension = require(EXTENSION);
    extension.activate({ subscriptions: [] });
    await new Promise((resolve) => setTimeout(resolve, 0));
    return extension;
}

const settle = () => new Promise((resolve) => setTimeout(resolve, 0));

function fakeProgram(t) {
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'vorn-extension-'));
    t.after(() => fs.rmSync(folder, { recursive: true, force: true }));
    const program = path.join(folder, 'rozedov');
    fs.writeFileSync(program, '#!/bin/sh\n', { mode: 0o755 });
    return program;
}

test('a .s file with Vorn instructions becomes vorn and starts the server', async (t) => {
    const program = fakeProgram(t);
    const editor = fakeEditor(
        [document('prog.s', 'plaintext', ['        .text', 'loop:   jmpnz loop']), document('gas.s', 'plaintext', ['        jmp 1f'])],
        { path: program, includePaths: ['inc'], defines: ['N=3'] });
    await activate(t, editor);
    assert.deepStrictEqual(editor.seen.languages, [['/w/prog.s', 'vorn']]);
    assert.strictEqual(editor.seen.clients.length, 1);
    const { serverOptions, clientOptions } = editor.seen.clients[0];
    assert.deepStrictEqual(serverOptions, { command: program, args: ['--lsp'], transport: 0, options: { cwd: '/w' } });
    assert.deepStrictEqual(clientOptions.initializationOptions, { includePaths: ['inc'], defines: ['N=3'] });
    assert.deepStrictEqual(clientOptions.synchronize, { configurationSection: 'rozedov' });
    assert.deepStrictEqual(clientOptions.documentSelector.map((selector) => selector.scheme), ['file', 'untitled']);
    assert.ok(clientOptions.documentSelector.every((selector) => selector.language === 'vorn'));
    assert.deepStrictEqual(editor.seen.errors, []);
});

test('a language the user picks afterwards is kept', async (t) => {
    const editor = fakeEditor([document('prog.S', 'plaintext', ['ashl R1, R2'])], { path: fakeProgram(t) });
    await activate(t, editor);
    const [vorn] = editor.vscode.workspace.textDocuments;
    assert.strictEqual(vorn.languageId, 'vorn');
    editor.changeLanguage(vorn, 'plaintext');
    await settle();
    assert.strictEqual(editor.vscode.workspace.textDocuments[0].languageId, 'plaintext');
    assert.strictEqual(editor.seen.languages.length, 1);
});

test('no server for assembly that is not Vorn', async (t) => {
    const editor = fakeEditor([document('gas.s', 'plaintext', ['        movl %eax, %ebx'])], { path: fakeProgram(t) });
    await activate(t, editor);
    assert.deepStrictEqual(editor.seen.languages, []);
    assert.deepStrictEqual(editor.seen.clients, []);
});

test('a missing program is reported once, and no client is made', async (t) => {
    const editor = fakeEditor([document('prog.vorn', 'vorn', ['        jmpz loop'])], { path: '/nonexistent/rozedov' });
    await activate(t, editor);
    editor.open(document('second.vorn', 'vorn', ['        ashr R1, R2']));
    await settle();
    assert.deepStrictEqual(editor.seen.errors, ['rozedov was not found: set rozedov.path or put rozedov on PATH']);
    assert.deepStrictEqual(editor.seen.clients, []);
});
