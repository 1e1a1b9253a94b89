#!/usr/bin/env bash
# Runs the Windows test programs of a build under Wine: the unit tests and
# every end-to-end test program. Builds nothing. An x86_64 build runs under
# wine64, an i686 one under 32-bit Wine emulated by qemu-user
# (scripts/wine-env.sh), where the harness's waits are scaled by
# CORVANTIS_E2E_TIME_SCALE (default 4 there, 1 for x86_64).
#
#   tests/e2e/run.sh [--repeat N] BUILD_DIR
#
# Prints each program's GoogleTest summary and ends with the line
# "e2e: N passed, N failed" counting test cases; a program that ends without
# a summary (crash, timeout) counts as one failure. Exits non-zero on any
# failure. Full output of each program: BUILD_DIR/tests/e2e/<program>.log.
# The programs that read window titles and start companions run a second
# time under en_US.UTF-8, whose ANSI code page is 1252, not 936:
# <program>.cp1252.log.
# --repeat N runs the whole suite N times in a row, each round in a Wine
# set-up of its own as a single run has (so no round passes or fails by
# what an earlier one left), keeps each round's logs in
# BUILD_DIR/tests/e2e/round-K/, prints every round's counts and their total,
# and exits non-zero if any round failed.
# CORVANTIS_WINE_STATE=DIR keeps the Wine prefix there between runs;
# E2E_TIMEOUT (seconds, default 300, times the scale) bounds each program.
set -uo pipefail

usage="usage: run.sh [--repeat N] BUILD_DIR"
rounds=1
if [ "${1:-}" = --repeat ]; then
  rounds=${2:-}
  shift 2 || true
  if ! [[ $rounds =~ ^[1-9][0-9]*$ ]]; then
    echo "$usage"
    exit 2
  fi
fi
build=${1:?$usage}
build=$(cd "$build" && pwd) || exit 2
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/wine-env.sh
. "$root/scripts/wine-env.sh"

programs=()
if [ -f "$build/tests/unit/corvantis_unit_tests.exe" ]; then
  programs+=("$build/tests/unit/corvantis_unit_tests.exe")
fi
for exe in "$build"/tests/e2e/e2e_*.exe; do
  [ -f "$exe" ] && programs+=("$exe")
done
if [ ${#programs[@]} -eq 0 ]; then
  echo "e2e: no test programs in $build"
  exit 1
fi

case $(file -b "${programs[0]}") in
  PE32+*) export WINE_ENV_ARCH=win64 scale=1 ;;
  PE32*) export WINE_ENV_ARCH=win32 scale=4 ;;
  *)
    echo "e2e: ${programs[0]} is no Windows program"
    exit 1
    ;;
esac
export CORVANTIS_E2E_TIME_SCALE=${CORVANTIS_E2E_TIME_SCALE:-$scale}

export WINE_ENV_LOCPATH="${WINE_ENV_LOCPATH:-$build/wine-locale}"
# wine_env_up exports a browser log inside its state directory unless the
# caller names one: a later round must not inherit an earlier round's.
caller_browser_log=${CORVANTIS_BROWSER_LOG:-}

# Runs one program, logs it in $logs under the name given and counts its
# cases.
run_program() {
  local exe=$1 name=$2
  local log="$logs/$name.log"
  local started rc elapsed ok bad
  started=$(date +%s%3N)
  (cd "$(dirname "$exe")" &&
    WINE_RUN_TIMEOUT=$((${E2E_TIMEOUT:-300} * CORVANTIS_E2E_TIME_SCALE)) \
      wine_run "$exe") >"$log" 2>&1
  rc=$?
  elapsed=$(($(date +%s%3N) - started))
  ok=$(sed -n 's/^\[  PASSED  \] \([0-9][0-9]*\) test.*/\1/p' "$log" | tail -1)
  bad=$(sed -n 's/^\[  FAILED  \] \([0-9][0-9]*\) test.*/\1/p' "$log" | tail -1)
  echo "== $name (exit $rc, $elapsed ms)"
  grep -E '^\[==========\] .* ran\.|^\[  PASSED  \]|^\[  FAILED  \]' "$log"
  passed=$((passed + ${ok:-0}))
  if [ -n "$bad" ]; then
    failed=$((failed + bad))
    # What each failed check said, so that a CI log alone explains it.
    grep -E -A6 ': Failure$' "$log" | head -n 80
  elif [ "$rc" -ne 0 ] || [ -z "$ok" ]; then
    echo "$name ended without a test summary (exit $rc); last lines:"
    tail -n 15 "$log"
    failed=$((failed + 1))
  fi
}

# Every program once, in a Wine set-up of its own, logs in $1; sets passed
# and failed.
run_suite() {
  logs=$1
  passed=0
  failed=0
  mkdir -p "$logs"
  if [ -n "$caller_browser_log" ]; then
    export CORVANTIS_BROWSER_LOG=$caller_browser_log
  else
    unset CORVANTIS_BROWSER_LOG
  fi
  local started exe name
  started=$(date +%s%3N)
  if ! wine_env_up "${CORVANTIS_WINE_STATE:-}"; then
    echo "e2e: Wine set-up failed"
    wine_env_down
    failed=1
    return
  fi
  echo "e2e: Wine ready on $DISPLAY in $(($(date +%s%3N) - started)) ms"

  for exe in "${programs[@]}"; do
    run_program "$exe" "$(basename "$exe" .exe)"
  done

  # Wine takes the ANSI code page from the locale; the same prefix serves.
  if wine_env_locale en_US.UTF-8; then
    for name in e2e_tracking e2e_companions; do
      exe="$build/tests/e2e/$name.exe"
      [ -f "$exe" ] && LC_ALL=en_US.UTF-8 run_program "$exe" "$name.cp1252"
    done
  else
    echo "e2e: localedef en_US.UTF-8 failed"
    failed=$((failed + 1))
  fi

  wine_env_down
}

if [ "$rounds" -eq 1 ]; then
  run_suite "$build/tests/e2e"
  echo "e2e: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
fi

summary=()
total_passed=0
total_failed=0
failed_rounds=0
for round in $(seq 1 "$rounds"); do
  echo "e2e: round $round of $rounds"
  began=$(date +%s)
  run_suite "$build/tests/e2e/round-$round"
  line="round $round: $passed passed, $failed failed ($(($(date +%s) - began)) s)"
  echo "e2e: $line"
  summary+=("$line")
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
  [ "$failed" -eq 0 ] || failed_rounds=$((failed_rounds + 1))
done
printf 'e2e: %s\n' "${summary[@]}"
echo "e2e: $rounds rounds, $failed_rounds failed;" \
  "$total_passed passed, $total_failed failed in all"
[ "$failed_rounds" -eq 0 ]
