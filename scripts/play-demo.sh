#!/usr/bin/env bash
# Builds everything, writes the built-in demo recording and shows what it holds.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default

mkdir -p out
build/default/tools/vesk-mkrec --demo out/demo.vsk
build/default/tools/vesk-probe out/demo.vsk
