#!/usr/bin/env bash
# Builds and runs every test: the plain build, then the ASan+UBSan build, then
# the Windows DLL in Wine's filter graph where Wine is installed.
# --tsan adds the ThreadSanitizer build; --fuzz runs each fuzzer for a minute;
# --wine runs the Wine check in any case (it installs mingw-w64 and Wine).
set -euo pipefail
cd "$(dirname "$0")/.."

presets=(default asan)
fuzz=false
wine_check=false
command -v wine >/dev/null && wine_check=true
for arg in "$@"; do
  case "$arg" in
    --tsan) presets+=(tsan) ;;
    --fuzz) fuzz=true ;;
    --wine) wine_check=true ;;
    *) echo "usage: $0 [--tsan] [--fuzz] [--wine]" >&2; exit 2 ;;
  esac
done

scripts/install-deps.sh

for preset in "${presets[@]}"; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

if $fuzz; then scripts/run-fuzzers.sh 60; fi

if $wine_check; then
  echo "== Windows build under Wine"
  scripts/check-wine.sh
fi
