#!/usr/bin/env bash
# Builds and runs every test: the plain build, then the ASan+UBSan build.
# Pass --tsan to run the ThreadSanitizer build as well, and --fuzz to run each
# fuzzer for a minute.
set -euo pipefail
cd "$(dirname "$0")/.."

presets=(default asan)
fuzz=false
for arg in "$@"; do
  case "$arg" in
    --tsan) presets+=(tsan) ;;
    --fuzz) fuzz=true ;;
    *) echo "run-tests.sh: unknown option $arg" >&2; exit 2 ;;
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
