#!/usr/bin/env bash
# Measures the desktop window playing a four-camera 704x576 recording in real
# time against headless playback of the same file (bench/desktop_bench.cpp),
# under an Xvfb of its own whose CPU time is added to the window's.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default --target desktop_bench >/dev/null

# Xvfb picks a free display and names it on descriptor 3.
work=$(mktemp -d)
mkfifo "$work/display"
exec 3<>"$work/display"
Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp 2>/dev/null &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null || true; rm -rf "$work"' EXIT
read -r -t 10 -u 3 display
ticks() { awk '{ print $14 + $15 }' "/proc/$server/stat"; }

before=$(ticks)
DISPLAY=":$display" VESK_SOUND=none build/default/bench/desktop_bench | tee "$work/report"
after=$(ticks)
hz=$(getconf CLK_TCK)
wall=$(sed -n 's/^window playback: .* in \([0-9.]*\) s$/\1/p' "$work/report")
beyond=$(sed -n 's/^window beyond headless: \([0-9.]*\) of one core$/\1/p' "$work/report")
awk -v t=$((after - before)) -v hz="$hz" -v wall="$wall" -v beyond="$beyond" 'BEGIN {
  printf "X server: %.2f s CPU\nwindow and X server beyond headless: %.3f of one core\n", t / hz, beyond + t / hz / wall }'
