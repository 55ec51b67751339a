#!/usr/bin/env bash
# Builds and runs every test: the plain build, then the ASan+UBSan build.
# Pass --tsan to run the ThreadSanitizer build as well.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

presets=(default asan)
[ "${1:-}" = "--tsan" ] && presets+=(tsan)

for preset in "${presets[@]}"; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
