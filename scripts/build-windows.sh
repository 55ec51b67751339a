#!/usr/bin/env bash
# Cross-compiles the module for Windows: build/windows/bin/RAVIroRa.DLL and
# the program that plays it in a real filter graph (graph-check.exe).
# Installs Debian's mingw-w64 and Wine first if they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --windows
cmake --preset windows >/dev/null
cmake --build --preset windows
