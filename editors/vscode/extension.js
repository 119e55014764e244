'use strict';
// The Vorn assembly extension. It runs `rozedov --lsp` as the language
// server of Vorn documents (diagnostics, hints, navigation, completion,
// formatting all come from there), passes it the rozedov.* settings, and
// gives .s and .S files the vorn language when their text is Vorn assembly.

const vscode = require('vscode');
const { LINES_CHECKED, hasAssemblyExtension, looksLikeVorn } = require('./detect');
const { findProgram } = require('./program');

const LANGUAGE = 'vorn';
const SECTION = 'rozedov';
const NOT_FOUND = 'rozedov was not found: set rozedov.path or put rozedov on PATH';

// The server: the client while one runs, and the program it runs. A program
// that could not be started is not tried again until the setting changes.
const server = { client: undefined, program: undefined, failed: undefined };

// Documents whose language this extension has decided already, by URI, so
// that a language the user picks afterwards is left alone.
const decided = new Set();

function firstFolder() {
    const folders = vscode.workspace.workspaceFolders;
    return folders && folders.length > 0 && folders[0].uri.scheme === 'file' ? folders[0].uri.fsPath : undefined;
}

function settingsForServer() {
    const settings = vscode.workspace.getConfiguration(SECTION);
    return { includePaths: settings.get('includePaths', []), defines: settings.get('defines', []) };
}

function locateProgram() {
    return findProgram(vscode.workspace.getConfiguration(SECTION).get('path', ''), {
        pathEnv: process.env.PATH,
        pathExt: process.env.PATHEXT,
        platform: process.platform,
        folder: firstFolder(),
    });
}

// The client library is loaded only once a Vorn document needs the server:
// the extension also starts for plain text documents that are no Vorn at all.
function createClient(program) {
    const { LanguageClient, TransportKind } = require('vscode-languageclient/node');
    const folder = firstFolder();
    const serverOptions = {
        command: program,
        args: ['--lsp'],
        transport: TransportKind.stdio,
        // Relative include folders are taken from the server's working folder.
        options: folder ? { cwd: folder } : {},
    };
    const clientOptions = {
        documentSelector: [
            { scheme: 'file', language: LANGUAGE },
            { scheme: 'untitled', language: LANGUAGE },
        ],
        initializationOptions: settingsForServer(),
        // Sends workspace/didChangeConfiguration with settings.rozedov.
        synchronize: { configurationSection: SECTION },
    };
    return new LanguageClient('rozedov', 'Rozedov', serverOptions, clientOptions);
}

async function showError(message) {
    const choice = await vscode.window.showErrorMessage(message, 'Open Settings');
    if (choice === 'Open Settings') {
        await vscode.commands.executeCommand('workbench.action.openSettings', `${SECTION}.path`);
    }
}

async function startServer() {
    if (server.client) {
        return;
    }
    const program = locateProgram();
    const key = program || '';
    if (server.failed === key) {
        return;
    }
    if (!program) {
        server.failed = key;
        showError(NOT_FOUND);
        return;
    }
    const client = createClient(program);
    server.client = client;
    server.program = program;
    try {
        await client.start();
    } catch (error) {
        server.failed = key;
        if (server.client === client) {
            server.client = undefined;
        }
        showError(`rozedov could not be started (${program} --lsp): ${error && error.message ? error.message : error}`);
    }
}

async function stopServer() {
    const client = server.client;
    server.client = undefined;
    server.program = undefined;
    if (client) {
        try {
            await client.stop();
        } catch {
            // It was not running: nothing to stop.
        }
    }
}

function anyVornDocument() {
    return vscode.workspace.textDocuments.some((document) => document.languageId === LANGUAGE);
}

// A new rozedov.path (or a workspace that became trusted, which lets its
// rozedov.path count) may name another program: the server is restarted.
async function programMayHaveChanged() {
    server.failed = undefined;
    if (server.client && locateProgram() === server.program) {
        return;
    }
    await stopServer();
    if (anyVornDocument()) {
        await startServer();
    }
}

function firstLines(document) {
    const count = Math.min(document.lineCount, LINES_CHECKED);
    const lines = [];
    for (let line = 0; line < count; ++line) {
        lines.push(document.lineAt(line).text);
    }
    return lines;
}

function detectLanguage(document) {
    const key = document.uri.toString();
    if (decided.has(key) || !hasAssemblyExtension(document.fileName)) {
        return;
    }
    decided.add(key);
    if (looksLikeVorn(firstLines(document))) {
        // Fails only for a document closed in the meantime, which needs nothing.
        vscode.languages.setTextDocumentLanguage(document, LANGUAGE).then(undefined, () => undefined);
    }
}

function onOpen(document) {
    if (document.languageId === LANGUAGE) {
        decided.add(document.uri.toString());
        startServer();
    } else {
        detectLanguage(document);
    }
}

// A change of language closes the document and opens it again at once; only
// a document that stays closed is forgotten, to be looked at anew if reopened.
function onClose(document) {
    const key = document.uri.toString();
    setTimeout(() => {
        if (!vscode.workspace.textDocuments.some((open) => open.uri.toString() === key)) {
            decided.delete(key);
        }
    }, 0);
}

function activate(context) {
    context.subscriptions.push(
        vscode.workspace.onDidOpenTextDocument(onOpen),
        vscode.workspace.onDidCloseTextDocument(onClose),
        vscode.workspace.onDidChangeConfiguration((event) => {
            if (event.affectsConfiguration(`${SECTION}.path`)) {
                programMayHaveChanged();
            }
        }),
        vscode.workspace.onDidGrantWorkspaceTrust(programMayHaveChanged),
        { dispose: stopServer },
    );
    vscode.workspace.textDocuments.forEach(onOpen);
}

function deactivate() {
    return stopServer();
}

module.exports = { activate, deactivate };
