#!/usr/bin/env bash
# Builds everything, writes the built-in demo recording and plays it through the
# module: its configuration, time range and duration, and its audio as a WAV file.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default

mkdir -p out
build/default/tools/vesk-mkrec --demo out/demo.vsk
build/default/bin/vesk-play --info out/demo.vsk
build/default/bin/vesk-play --headless --audio-out out/demo.wav out/demo.vsk
