#!/usr/bin/env bash
# Builds the fuzz preset and runs each fuzzer for SECONDS (default 60) from a
# copy of the seed corpus. Fails on any crash, leak, time-out or memory blow-up.
# Usage: scripts/run-fuzzers.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in packet_reader channel_description index_scan; do
  echo "== fuzz_$target for $seconds s"
  mkdir -p "$work/$target"
  # An input that runs 10 s counts as a hang; what a failure leaves goes to the log.
  build/fuzz/fuzz/fuzz_$target -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/$target-" "$work/$target" "fuzz/corpus/$target" \
    >"$work/$target.log" 2>&1 || {
    tail -n 60 "$work/$target.log"
    for artifact in "$work/$target"-*; do
      [ -e "$artifact" ] && echo "failing input (base64): $(base64 -w0 "$artifact")"
    done
    exit 1
  }
  grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units)' "$work/$target.log"
done
