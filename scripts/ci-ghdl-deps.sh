#!/usr/bin/env bash
# Installs the VHDL simulator that the tests under tests/vhdl run the
# assembler's outputs through. Without it those tests are skipped.
set -euo pipefail

if command -v ghdl >/dev/null 2>&1; then
    exit 0
fi
if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null 2>&1; then
    echo "ghdl not found and cannot be installed here: install it with apt-get install ghdl"
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends ghdl
