#!/usr/bin/env bash
# Builds the fuzz targets and runs each for a bounded time.
# usage: run.sh [--seconds N]   (default 5; the README gives a long run)
set -uo pipefail
cd "$(dirname "$0")/../.."
seconds=5
[ "${1:-}" = --seconds ] && seconds=$2

cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j "$(nproc)" >/dev/null || {
  echo "fuzz: build failed"
  exit 1
}
passed=0
failed=0
for target in period unscramble scan; do
  corpus=build/fuzz/corpus/$target
  mkdir -p "$corpus"
  log=build/fuzz/$target.log
  if "build/fuzz/tests/fuzz/${target}_fuzz" "$corpus" -max_total_time="$seconds" \
      -max_len=65536 -rss_limit_mb=4096 -artifact_prefix="build/fuzz/$target-" >"$log" 2>&1; then
    passed=$((passed + 1))
    echo "fuzz $target: $(grep -o 'Done [0-9]* runs' "$log" | tail -1) in ${seconds}s"
  else
    failed=$((failed + 1))
    echo "fuzz $target: FAILED, see $log"
    tail -30 "$log"
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
