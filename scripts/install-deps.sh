#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the fuzzers (clang 14 with
# libFuzzer), the benchmarks, the compressed export (FFmpeg's libraries) and the
# desktop player (Qt 6, tested under Xvfb) need; with --windows, those of the Windows
# cross build and its check under Wine.
# Safe to run again: it asks apt-get only for what is missing.
set -euo pipefail

packages=(
  cmake g++ make ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libxvidcore-dev libcurl4-openssl-dev
  libfreetype-dev libfontconfig-dev fonts-liberation2
  ffmpeg libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
  qt6-base-dev qt6-multimedia-dev xvfb xauth imagemagick
  clang-14 libclang-rt-14-dev
)
if [ "${1:-}" = "--windows" ]; then
  # python3 runs the check's comparisons and its paced HTTP server; g++ builds the
  # generator of the DLL's dialog resources; the property page is shown on Xvfb and
  # ImageMagick takes its screenshots.
  packages=(cmake ninja-build g++ libxvidcore-dev g++-mingw-w64-x86-64-posix wine wine64 fonts-wine python3
    xvfb xauth imagemagick)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
