#!/usr/bin/env bash
# Builds everything, writes the built-in demo recording and plays it through the
# module: its configuration, time range and duration, its audio as a WAV file,
# its pictures as an AVI file and the last picture as a BMP snapshot.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default

mkdir -p out
build/default/tools/vesk-mkrec -y --demo out/demo.vsk
build/default/bin/vesk-play --info out/demo.vsk
# The player names each file it writes; the snapshot's name ends in the
# recording's time, out/demo_DDMMYY_HHMMSS.bmp.
build/default/bin/vesk-play --headless -y --audio-out out/demo.wav --video-out out/demo.avi --snapshot out/demo \
  out/demo.vsk
