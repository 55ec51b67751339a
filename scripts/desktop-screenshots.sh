#!/usr/bin/env bash
# Screenshots of the desktop player under Xvfb (ImageMagick's import of the
# virtual screen), into out/screenshots/: vesk-desktop playing the demo
# recording (the grid with the activity strips under the seek bar), and the
# window tests' stops (the grid, one camera, the property page and its
# configuration dialog).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default --target vesk-desktop vesk-mkrec desktop_tests >/dev/null
shots="$PWD/out/screenshots"
mkdir -p "$shots"
work=$(mktemp -d)
trap 'kill $player $server 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
player=0

# Xvfb picks a free display and names it on descriptor 3.
mkfifo "$work/display"
exec 3<>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null &
server=$!
read -r -t 10 -u 3 display
export DISPLAY=":$display" VESK_SOUND=none XDG_CONFIG_HOME="$work"

build/default/tools/vesk-mkrec --demo "$work/demo.vsk" >/dev/null
build/default/bin/vesk-desktop "$work/demo.vsk" &
player=$!
sleep 5
import -window root -crop 900x760+0+0 "$shots/demo.png"
kill $player

VESK_SCREENSHOTS="$shots" build/default/tests/desktop/desktop_tests >/dev/null
ls -l "$shots"
