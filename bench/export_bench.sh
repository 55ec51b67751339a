#!/usr/bin/env bash
# vesk-play's export of a 10-minute 4-camera recording (704 x 576 pictures, 20
# a second, and a sound channel), against ffmpeg encoding the same pictures
# from a pipe with the same settings (H.264 by libx264, preset veryfast, CRF 18,
# 4:2:0), in one run. The pipe's pictures come from the built module as the
# export's do, so both sides include the module's decoding.
#
#   bench/export_bench.sh [BUILD_DIR] [SECONDS]   (default build/default, 600)
set -euo pipefail

build=${1:-build/default}
seconds=${2:-600}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --build "$build" --target vesk-play vesk-mkrec raw_pictures >/dev/null
"$build/tools/vesk-mkrec" --duration "$seconds" --camera 0 --camera 1 --camera 2 --camera 3 --audio 8 \
  "$work/cameras.vsk" >/dev/null

# Wall seconds of a command, whose output goes.
timed() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

export_seconds=$(timed "$build/bin/vesk-play" --headless -y --export "$work/export.mp4" "$work/cameras.vsk")
pipe_seconds=$(timed bash -c "'$build/bench/raw_pictures' '$work/cameras.vsk' 2>/dev/null |
  ffmpeg -v error -y -f rawvideo -pix_fmt bgr0 -video_size 704x576 -framerate 20 -i - -vf vflip \
    -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p '$work/pipe.mp4'")

frames() {
  ffprobe -v error -select_streams v:0 -show_entries stream=nb_frames -of default=nw=1:nk=1 "$1"
}
printf 'recording            %d s, 4 cameras\n' "$seconds"
printf 'vesk-play --export   %7.1f s  %s pictures  %.1fx real time\n' "$export_seconds" "$(frames "$work/export.mp4")" \
  "$(echo "$seconds / $export_seconds" | bc -l)"
printf 'module | ffmpeg      %7.1f s  %s pictures  %.1fx real time\n' "$pipe_seconds" "$(frames "$work/pipe.mp4")" \
  "$(echo "$seconds / $pipe_seconds" | bc -l)"
printf 'export time / pipe time: %.2f\n' "$(echo "$export_seconds / $pipe_seconds" | bc -l)"
