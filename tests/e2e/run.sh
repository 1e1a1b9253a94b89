#!/usr/bin/env bash
# Runs the Windows test programs of an x86_64 build under wine64: the unit
# tests and every end-to-end test program. Builds nothing.
#
#   tests/e2e/run.sh BUILD_DIR
#
# Prints each program's GoogleTest summary and ends with the line
# "e2e: N passed, N failed" counting test cases; a program that ends without
# a summary (crash, timeout) counts as one failure. Exits non-zero on any
# failure. Full output of each program: BUILD_DIR/tests/e2e/<program>.log.
# The programs that read window titles and start companions run a second
# time under en_US.UTF-8, whose ANSI code page is 1252, not 936:
# <program>.cp1252.log.
# CORVANTIS_WINE_STATE=DIR keeps the Wine prefix there between runs;
# E2E_TIMEOUT (seconds, default 300) bounds each program.
set -uo pipefail

build=${1:?usage: run.sh BUILD_DIR}
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
mkdir -p "$build/tests/e2e"

started=$(date +%s%3N)
export WINE_ENV_LOCPATH="${WINE_ENV_LOCPATH:-$build/wine-locale}"
if ! wine_env_up "${CORVANTIS_WINE_STATE:-}"; then
  echo "e2e: Wine set-up failed"
  exit 1
fi
echo "e2e: Wine ready on $DISPLAY in $(($(date +%s%3N) - started)) ms"

passed=0
failed=0
# Runs one program, logs it under the name given and counts its cases.
run_program() {
  local exe=$1 name=$2
  local log="$build/tests/e2e/$name.log"
  local started rc elapsed ok bad
  started=$(date +%s%3N)
  (cd "$(dirname "$exe")" &&
    WINE_RUN_TIMEOUT=${E2E_TIMEOUT:-300} wine_run "$exe") >"$log" 2>&1
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
echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
