#!/usr/bin/env bash
# Cross-compiles the module for Windows: build/windows/bin/RAVIroRa.DLL, the
# program that plays it in a real filter graph (graph-check.exe) and the one
# that checks its property page (page-check.exe).
# Installs Debian's mingw-w64 and Wine first if they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --windows
cmake --preset windows >/dev/null
cmake --build --preset windows
