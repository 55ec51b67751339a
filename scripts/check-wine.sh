#!/usr/bin/env bash
# Plays the Windows build of the module in Wine's own DirectShow (its filter
# graph, filter mapper, Sample Grabber and Null Renderer), in a fresh
# WINEPREFIX without a display, and holds what it delivers against the Linux
# player's output for the same recordings; reads the DLL's resources back; and
# shows the property page in Wine's property frame on Xvfb, driven as a user
# would, with screenshots in out/wine-page. Builds the Windows side, and of the
# Linux build (the default preset) what it needs: vesk-mkrec and vesk-play.
# Prints "N passed, N failed" and exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

scripts/build-windows.sh
cmake --preset default >/dev/null
cmake --build --preset default --target vesk-mkrec vesk-play vesk >/dev/null

work=$(mktemp -d)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  WINEPREFIX="$work/prefix" timeout 20 wineserver -k 2>/dev/null || true
  [ -n "${KEEP_WINE_CHECK:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
passed=0
failed=0
check() {  # check COMMAND...: one line for the check named in $name
  if "$@"; then
    echo "ok: $name"
    passed=$((passed + 1))
  else
    echo "FAILED: $name"
    failed=$((failed + 1))
  fi
}
win() { winepath -w "$1"; }
# Every wine command gets a time limit: a hung graph fails the check, not CI.
wine_run() { timeout "$1" wine "${@:2}"; }
# Ends the prefix's server and every program it runs, and waits until they are gone.
stop_wine() { timeout 20 wineserver -k 2>/dev/null; timeout 20 wineserver -w 2>/dev/null || true; }

dll="$PWD/build/windows/bin/RAVIroRa.DLL"
graph_check="$PWD/build/windows/bin/graph-check.exe"
mkrec=build/default/tools/vesk-mkrec
play=build/default/bin/vesk-play
filter_key='HKCR\CLSID\{5E5E8199-A788-4F8A-A1DE-A4E8A2C3D535}'
page_key='HKCR\CLSID\{32ED14B8-9944-4086-A059-EF0D14742B9F}'
# Where the filter mapper keeps the records of filters outside any category.
mapper_key='HKCR\CLSID\{083863F1-70DE-11D0-BD40-00A0C911CE86}\Instance\{5E5E8199-A788-4F8A-A1DE-A4E8A2C3D535}'

# Two small recordings of four cameras, texts and noise for sound (so that
# every audio packet differs from the others); the second repeats its channel
# description at second 3.
python3 -c '
import random, struct, sys, wave
random.seed(7)
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(16000)
    w.writeframes(b"".join(struct.pack("<h", random.randint(-20000, 20000)) for _ in range(16000 * 6)))
' "$work/noise.wav"
recording_options=(--duration 6 --camera 0 --camera 1 --camera 2 --camera 3 --audio "8:wav=$work/noise.wav"
  --text 128:1:Kassa --text 255:2:Demo)
$mkrec "${recording_options[@]}" "$work/plain.vsk" >/dev/null
$mkrec "${recording_options[@]}" --repeat-description 3 "$work/repeat.vsk" >/dev/null
# Wine's IGraphConfig::Reconnect answers E_NOTIMPL, so each pin drops the
# packet for which it asks to be reconnected: its first one after the start,
# after a seek, and after a repeated channel description. An audio packet is
# 6400 bytes (200 ms); the description comes back at second 3, byte 96000.
first_packet=0:6400
after_description=96000:6400

# The Linux player's output: audio, picture counts, configuration report.
linux_play() {  # linux_play NAME [OPTIONS] RECORDING
  $play --headless --audio-out "$work/$1.wav" --video-out "$work/$1.avi" "${@:2}" >"$work/$1.out"
  rm -f "$work/$1.avi"
}
linux_play linux-plain "$work/plain.vsk"
linux_play linux-seek --seek 3 "$work/plain.vsk"
linux_play linux-repeat "$work/repeat.vsk"
$play --config-report "$work/plain.vsk" >"$work/linux-report.txt"
$play --info "$work/plain.vsk" >"$work/linux-info.txt"
pictures() { sed -n 's/.*: \([0-9]*\) pictures of.*/\1/p' "$work/$1.out"; }

echo "== Wine prefix ($SECONDS s)"
wine_run 120 wineboot -i >/dev/null 2>&1

echo "== registration ($SECONDS s)"
name="regsvr32 registers the DLL"
check wine_run 60 regsvr32 /s "$(win "$dll")"
reg_has() {  # reg_has KEY [/v VALUE]: the key's text in $work/reg.txt
  wine_run 30 reg query "$@" 2>&1 | tr -d '\r' >"$work/reg.txt" && [ "${PIPESTATUS[0]}" -eq 0 ]
}
class_registered() {
  reg_has "$1\\InprocServer32" && grep -qi 'RAVIroRa.DLL' "$work/reg.txt" && grep -q 'ThreadingModel.*Both' "$work/reg.txt"
}
name="the filter's class key names the DLL, threading model Both"
check class_registered "$filter_key"
name="the property page's class key names the DLL, threading model Both"
check class_registered "$page_key"
name="the filter mapper holds the filter's record"
check reg_has "$mapper_key" /v FilterData

echo "== resources ($SECONDS s)"
page_check="$PWD/build/windows/bin/page-check.exe"
name="the DLL's dialogs, page title and version resource hold the page's data"
check wine_run 60 "$page_check" resources "$(win "$dll")"

compare() { python3 scripts/compare-wine-output.py "$@"; }
graph() {  # graph NAME ARGS...: graph-check into $work/NAME, its output in NAME.out
  mkdir -p "$work/$1"
  local begin=$SECONDS
  wine_run 120 "$graph_check" "${@:2}" "$(win "$work/$1")" >"$work/$1.crlf" 2>"$work/$1.err"
  local status=$?
  tr -d '\r' <"$work/$1.crlf" >"$work/$1.out"
  echo "   $1: $((SECONDS - begin)) s"
  return $status
}

echo "== playback in the filter graph ($SECONDS s)"
name="the recording plays to EC_COMPLETE"
check graph wine-plain play "$(win "$work/plain.vsk")"
name="the grabbed audio equals the Linux WAV byte for byte, less the first packet"
check compare same-audio "$work/wine-plain/audio.pcm" "$work/linux-plain.wav" $first_packet
name="as many video samples as Linux pictures"
check grep -qx "video samples: $(pictures linux-plain)" "$work/wine-plain.out"
name="the configuration report equals the Linux one"
check compare same-report "$work/wine-plain/config-report.txt" "$work/linux-report.txt"
name="the module may unload once the graph is released"
check grep -qx "DllCanUnloadNow: S_OK" "$work/wine-plain.out"

echo "== seeking ($SECONDS s)"
name="seeks while paused and while running, each to EC_COMPLETE"
check graph wine-seek seek "$(win "$work/plain.vsk")" 3
name="the duration is the recording's"
check grep -qx "duration: $(sed -n 's/^Duration: \([0-9]*\) seconds$/\1/p' "$work/linux-info.txt")0000000" "$work/wine-seek.out"
name="the audio from the seek equals the Linux WAV from --seek 3, less its first packet"
check compare same-audio "$work/wine-seek/audio.pcm" "$work/linux-seek.wav" $first_packet

echo "== HTTP from 127.0.0.1 ($SECONDS s)"
# Spread over 5 s, as a recorder sends it: long enough for the video pin's
# statistics pass, which draws the decoder's message into every camera tile.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 scripts/paced-http-server.py "$work/plain.vsk" "$port" 5 &
server_pid=$!
for _ in $(seq 50); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 1)" 2>/dev/null && break
  sleep 0.1
done
name="the recording plays from http://127.0.0.1"
check graph wine-http play "http://127.0.0.1:$port/plain.vsk"
name="the audio through HTTP equals the Linux WAV, less the first packet"
check compare same-audio "$work/wine-http/audio.pcm" "$work/linux-plain.wav" $first_packet
name="as many video samples through HTTP as Linux pictures"
check grep -qx "video samples: $(pictures linux-plain)" "$work/wine-http.out"
name="without xvidcore.dll each camera tile shows the decoder's message"
check compare message-tiles "$work/wine-http/drawn.bmp"

echo "== repeated channel description ($SECONDS s)"
name="the recording with a repeated description plays to EC_COMPLETE"
check graph wine-repeat play "$(win "$work/repeat.vsk")"
name="the audio is the Linux WAV less the first packet and the one after the description"
check compare same-audio "$work/wine-repeat/audio.pcm" "$work/linux-repeat.wav" "$first_packet,$after_description"
name="one video sample fewer than the Linux pictures: the one after the description"
check grep -qx "video samples: $(($(pictures linux-repeat) - 1))" "$work/wine-repeat.out"

echo "== the property page in the system's property frame, on Xvfb ($SECONDS s)"
# One audio channel and three cameras: "Channel 2" to "Channel 4", "Camera 4"
# and its "Show subtitles" are disabled on the page.
$mkrec --duration 2 --camera 0 --camera 1 --camera 2 --audio 8 "$work/three.vsk" >/dev/null
shots="$PWD/out/wine-page"
mkdir -p "$work/page" "$shots"
rm -f "$shots"/*.png
# Wine draws the windows' frames and captions itself, as no window manager
# runs to draw them.
wine_run 30 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
page_frame() {
  # Every program so far ran without a display, and the desktop that Wine
  # started for them has none: the check's paths are taken first, then a new
  # server starts the desktop on Xvfb's display.
  local recording page_folder
  recording=$(win "$work/three.vsk")
  page_folder=$(win "$work/page")
  stop_wine
  timeout 150 xvfb-run -a -s "-screen 0 1024x768x24" scripts/run-with-screenshots.sh "$work/page" "$shots" \
    page config -- timeout 120 wine "$page_check" frame "$recording" "$page_folder" >"$work/page.crlf" 2>"$work/page.err"
  local status=$?
  stop_wine
  tr -d '\r' <"$work/page.crlf" | tee "$work/page.out" | sed 's/^/   /'
  return $status
}
name="a click, a bar step and \"Show config\" on the page reach the filter, and OK saves them for the user"
check page_frame
name="screenshots of the page and of the configuration dialog are in out/wine-page"
check test -s "$shots/page.png" -a -s "$shots/config.png"

echo "== unregistration ($SECONDS s)"
unregistered() {
  wine_run 60 regsvr32 /s /u "$(win "$dll")" && ! reg_has "$filter_key" && ! reg_has "$page_key" && ! reg_has "$mapper_key"
}
name="regsvr32 /u removes the class keys and the mapper's record"
check unregistered

echo "Wine check: $((SECONDS - started)) s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
