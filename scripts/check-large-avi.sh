#!/usr/bin/env bash
# Plays a generated four-camera recording of SECONDS (default 160: about 5 GiB of
# pictures) into an AVI file and checks that ffprobe and ffmpeg read every
# picture the player says it wrote, with the right duration. Too slow and too
# large for the unit tests; run it by hand after changing the AVI writer.
# Usage: scripts/check-large-avi.sh [SECONDS] [FOLDER for the files]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-160}
folder=$(mktemp -d "${2:-${TMPDIR:-/tmp}}/large-avi-XXXXXX")
trap 'rm -rf "$folder"' EXIT

build/default/tools/vesk-mkrec --camera 0 --camera 1 --camera 2 --camera 3 --audio 8 --duration "$seconds" \
  "$folder/demo.vsk" >/dev/null
report=$(build/default/bin/vesk-play --headless --video-out "$folder/demo.avi" "$folder/demo.vsk")
pictures=$(sed -n 's/.*video written to .*: \([0-9]*\) pictures.*/\1/p' <<<"$report")
echo "file: $(stat -c %s "$folder/demo.avi") bytes, $pictures pictures written"

probed=$(ffprobe -v error -count_frames -select_streams v:0 \
  -show_entries stream=nb_frames,nb_read_frames,duration -of default=noprint_wrappers=1 "$folder/demo.avi")
echo "$probed"
decoded=$(ffmpeg -nostdin -v error -i "$folder/demo.avi" -f null - 2>&1 | wc -l)
# 66667 microseconds a picture.
expected_duration=$(awk -v n="$pictures" 'BEGIN { printf "%.6f", n * 0.066667 }')
grep -qx "nb_frames=$pictures" <<<"$probed" && grep -qx "nb_read_frames=$pictures" <<<"$probed" &&
  grep -qx "duration=$expected_duration" <<<"$probed" && [ "$decoded" -eq 0 ] || {
  echo "check-large-avi: ffprobe or ffmpeg disagree (expected $pictures pictures, $expected_duration s)" >&2
  exit 1
}
echo "check-large-avi: every picture read"
