#!/usr/bin/env bash
# Writes the fuzzers' seed corpus (fuzz/corpus/) from small generated
# recordings: four cameras, audio, texts, status and fragments.
# Usage: scripts/make-fuzz-corpus.sh [path of vesk-mkrec]
set -euo pipefail
cd "$(dirname "$0")/.."
mkrec=${1:-build/default/tools/vesk-mkrec}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cameras=(--camera 0:16x16 --camera 1:16x16 --camera 2:16x16 --camera 3:16x16)
"$mkrec" "${cameras[@]}" --audio 8 --text 130:0:Gate --duration 2 --fps 2 \
  --max-fragment 300 --repeat-description 1 "$work/fragments.vsk" >/dev/null
"$mkrec" --camera 1:32x16 --audio 9:bits=16:stereo --status 20 --duration 1 --fps 1 \
  --mark-keyframes "$work/stereo.vsk" >/dev/null

rm -rf fuzz/corpus
mkdir -p fuzz/corpus/packet_reader fuzz/corpus/index_scan fuzz/corpus/channel_description
for recording in fragments stereo; do
  file="$work/$recording.vsk"
  cp "$file" "fuzz/corpus/index_scan/$recording"
  # The packet reader's first byte picks the way of reading: with data, headers only, network.
  for way in 0 1 2; do
    { printf "\\x0$way"; cat "$file"; } >"fuzz/corpus/packet_reader/$recording-$way"
  done
  # A recording begins with its channel description: mark, 16-bit length, 2 reserved bytes.
  length=$(od -An -tu2 -j4 -N2 "$file" | tr -d ' ')
  tail -c +9 "$file" | head -c "$length" >"fuzz/corpus/channel_description/$recording"
done
du -sh fuzz/corpus
