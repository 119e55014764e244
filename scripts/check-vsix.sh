#!/usr/bin/env bash
# Checks a VS Code extension package built from editors/vscode: it holds the
# language client, the entry point its package.json names starts the server
# with --lsp, and that entry point loads from the package alone (every npm
# package it requires was packed).
#   scripts/check-vsix.sh editors/vscode/vorn-assembly-1.0.0.vsix
set -euo pipefail

vsix=${1:?usage: scripts/check-vsix.sh PACKAGE.vsix}
fail() {
    echo "check-vsix: $vsix: $*" >&2
    exit 1
}
[ -f "$vsix" ] || fail "no such file"
for tool in unzip node; do
    command -v "$tool" >/dev/null || fail "$tool is needed to check the package"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$vsix" -d "$work" || fail "not a zip archive"
extension=$work/extension

client=$extension/node_modules/vscode-languageclient
[ -f "$client/package.json" ] || fail "no extension/node_modules/vscode-languageclient"
client_version=$(node -p 'require(process.argv[1]).version' "$client/package.json")

main=$(node -p 'require(process.argv[1]).main || ""' "$extension/package.json") ||
    fail "extension/package.json cannot be read"
[ -n "$main" ] || fail "extension/package.json names no entry point (\"main\")"
entry=$(node -p 'require.resolve(require("path").resolve(process.argv[1], process.argv[2]))' \
    "$extension" "$main" 2>/dev/null) || fail "the entry point $main is not in the package"
# The server's arguments as the client is given them, not a mention in a comment.
grep -q -F -- "args: ['--lsp']" "$entry" || fail "the entry point $main does not start the server with --lsp"

# Loaded with a stand-in for the editor's own "vscode" module, which only
# the editor provides; any other missing module fails here.
env -u NODE_PATH node -e '
const Module = require("module");
const load = Module._load;
const editor = new Proxy(function () {}, {
    get: (target, key) => (key === "prototype" ? {} : editor),
    apply: () => editor,
    construct: () => ({}),
});
Module._load = function (request, ...rest) {
    return request === "vscode" ? editor : load.call(this, request, ...rest);
};
const extension = require(process.argv[1]);
require(require.resolve("vscode-languageclient/node", { paths: [require("path").dirname(process.argv[1])] }));
if (typeof extension.activate !== "function") {
    throw new Error("the entry point exports no activate function");
}' "$entry" || fail "the entry point $main does not load from the package"

files=$(unzip -Z1 "$vsix" | grep -c '^extension/.*[^/]$')
size=$(wc -c <"$vsix")
echo "check-vsix: $vsix: ok: $files files, $size bytes; entry point $main starts --lsp;" \
    "vscode-languageclient $client_version packed and loads"
