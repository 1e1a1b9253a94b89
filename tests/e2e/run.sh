#!/usr/bin/env bash
# Runs the Windows tests under Wine through the test kit's own runner: the
# kit's run-tests.cmd under Wine's cmd, as a Windows user runs it. The kit
# is KIT.zip (scripts/release.sh makes it: the shipped Corvantis.exe beside
# the i686 test programs), unpacked, or one staged from the Windows build
# BUILD_DIR (tests/kit/stage.sh, with the build's own Corvantis.exe);
# either way under a path with a space and Chinese characters. Builds
# nothing. An x86_64 kit runs under wine64, an i686 one under 32-bit Wine
# emulated by qemu-user (scripts/wine-env.sh), where the harness's waits
# are scaled by CORVANTIS_E2E_TIME_SCALE (default 4 there, 1 for x86_64).
#
#   tests/e2e/run.sh [--repeat N] BUILD_DIR|KIT.zip
#
# Prints the runner's lines, its closing line "N passed, M failed" counting
# programs among them, then each program's GoogleTest summary, and ends
# with the line "e2e: N passed, N failed" counting test cases; a program
# that ends without a summary (crash, timeout) counts as one failure.
# GTEST_FILTER, when set, reaches every program. Exits non-zero on any
# failure. The logs go to BUILD_DIR/tests/e2e/ (for a kit, to the folder
# KIT-logs beside it): the runner's results.txt, and each program's output
# taken from it, <program>.log. The programs that read window titles and
# start companions run a second time, from the kit, under en_US.UTF-8,
# whose ANSI code page is 1252, not 936: <program>.cp1252.log.
# The runner itself is checked once a run, in a scratch copy of the kit
# without simclient.exe, where e2e_tracking.exe fails on purpose: its
# closing line must count it, results.txt name it, its exit code be 1.
# --repeat N runs the whole suite N times in a row, each round in a Wine
# set-up of its own as a single run has (so no round passes or fails by
# what an earlier one left), keeps each round's logs in round-K/ of the
# logs folder, prints every round's counts and their total, and exits
# non-zero if any round failed.
# CORVANTIS_WINE_STATE=DIR keeps the Wine prefix there between runs;
# E2E_TIMEOUT (seconds, default 300, times the scale) bounds each program:
# the kit's run is bounded by that times the number of its programs.
set -uo pipefail

usage="usage: run.sh [--repeat N] BUILD_DIR|KIT.zip"
rounds=1
if [ "${1:-}" = --repeat ]; then
  rounds=${2:-}
  shift 2 || true
  if ! [[ $rounds =~ ^[1-9][0-9]*$ ]]; then
    echo "$usage"
    exit 2
  fi
fi
input=${1:?$usage}
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/wine-env.sh
. "$root/scripts/wine-env.sh"

if [ -f "$input" ] && [[ $input == *.zip ]]; then
  zip=$(cd "$(dirname "$input")" && pwd)/$(basename "$input")
  kit_name=$(basename "$zip" .zip)
  if [ -f "$zip.sha256" ] &&
    ! (cd "$(dirname "$zip")" && sha256sum --quiet -c "$kit_name.zip.sha256"); then
    echo "e2e: $zip does not match its $kit_name.zip.sha256"
    exit 1
  fi
  unzip -Z1 "$zip" >/dev/null || exit 2
  first_program=$(unzip -Z1 "$zip" | grep -m1 '/corvantis_unit_tests\.exe$')
  arch_probe() { unzip -p "$zip" "$first_program" | file -b -; }
  log_root="${zip%.zip}-logs"
  locale_dir=$log_root/wine-locale
else
  build=$(cd "$input" && pwd) || exit 2
  kit_name=$(basename "$build")-tests
  arch_probe() { file -b "$build/tests/unit/corvantis_unit_tests.exe"; }
  log_root="$build/tests/e2e"
  locale_dir=$build/wine-locale
fi

case $(arch_probe 2>/dev/null) in
  PE32+*) export WINE_ENV_ARCH=win64 scale=1 ;;
  PE32*) export WINE_ENV_ARCH=win32 scale=4 ;;
  *)
    echo "e2e: no Windows unit-test program in $input"
    exit 1
    ;;
esac
export CORVANTIS_E2E_TIME_SCALE=${CORVANTIS_E2E_TIME_SCALE:-$scale}

export WINE_ENV_LOCPATH="${WINE_ENV_LOCPATH:-$locale_dir}"
# wine_env_up exports a browser log inside its state directory unless the
# caller names one: a later round must not inherit an earlier round's.
caller_browser_log=${CORVANTIS_BROWSER_LOG:-}
checked_runner=0

# Makes the kit afresh in $kit, under a path as awkward as a user's.
make_kit() {
  kit="$WINE_ENV_STATE/测试 kit/$kit_name"
  rm -rf "$WINE_ENV_STATE/测试 kit"
  mkdir -p "$WINE_ENV_STATE/测试 kit" || return 1
  if [ -n "${zip:-}" ]; then
    unzip -q "$zip" -d "$WINE_ENV_STATE/测试 kit" && [ -d "$kit" ]
  else
    bash "$root/tests/kit/stage.sh" "$build" "$kit" \
      "test build $(basename "$build")"
  fi
}

# Runs the kit's runner in the folder $1: its console output in $2, its
# exit code returned. Bounded by E2E_TIMEOUT for each program of the kit.
run_runner() {
  local folder=$1 output=$2 count
  count=$(grep -c '^call :run ' "$folder/run-tests.cmd")
  (cd "$folder" &&
    WINE_RUN_TIMEOUT=$((${E2E_TIMEOUT:-300} * CORVANTIS_E2E_TIME_SCALE * count)) \
      wine_run cmd /c run-tests.cmd) | tr -d '\r' >"$output"
  return "${PIPESTATUS[0]}"
}

# Counts the cases of one program's log $2 (named $1, exit code $3, $4
# saying how long it took, if known) and prints its summary.
count_program() {
  local name=$1 log=$2 rc=$3 took=$4 ok bad
  ok=$(sed -n 's/^\[  PASSED  \] \([0-9][0-9]*\) test.*/\1/p' "$log" | tail -1)
  bad=$(sed -n 's/^\[  FAILED  \] \([0-9][0-9]*\) test.*/\1/p' "$log" | tail -1)
  echo "== $name (exit $rc$took)"
  grep -E '^\[==========\] .* ran\.|^\[  PASSED  \]|^\[  FAILED  \]' "$log"
  passed=$((passed + ${ok:-0}))
  if [ -n "$bad" ]; then
    failed=$((failed + bad))
    # What each failed check said, so that a CI log alone explains it.
    grep -E -A6 ': Failure$' "$log" | head -n 80
  elif [ "$rc" != 0 ] || [ -z "$ok" ]; then
    echo "$name ended without a test summary (exit $rc); last lines:"
    tail -n 15 "$log"
    failed=$((failed + 1))
  fi
}

# Runs one program of the kit on its own, logged in $logs under the name
# given.
run_program() {
  local exe=$1 name=$2
  local log="$logs/$name.log"
  local started rc
  started=$(date +%s%3N)
  (cd "$(dirname "$exe")" &&
    WINE_RUN_TIMEOUT=$((${E2E_TIMEOUT:-300} * CORVANTIS_E2E_TIME_SCALE)) \
      wine_run "$exe") | tr -d '\r' >"$log" 2>&1
  rc=${PIPESTATUS[0]}
  count_program "$name" "$log" "$rc" ", $(($(date +%s%3N) - started)) ms"
}

# The kit's run: the runner's lines, then each program's summary from
# results.txt, whose sections "==== NAME" ... "---- NAME: OUTCOME (exit
# CODE)" become the logs NAME.log.
run_kit() {
  local rc line program code named ended said_passed=no exit_passed=no
  rm -f "$kit/results.txt"
  run_runner "$kit" "$logs/run-tests.log"
  rc=$?
  cat "$logs/run-tests.log"
  tr -d '\r' <"$kit/results.txt" >"$logs/results.txt" 2>/dev/null
  while IFS=$'\t' read -r program code; do
    count_program "$program" "$logs/$program.log" "$code" ""
  done < <(awk -v logs="$logs" '
    /^==== / { name = substr($0, 6); sub(/\.exe$/, "", name)
               log_file = logs "/" name ".log"; printf "" >log_file; next }
    /^---- / && name != "" { code = "missing"
               if (match($0, /\(exit -?[0-9]+\)$/))
                 code = substr($0, RSTART + 6, RLENGTH - 7)
               print name "\t" code; close(log_file); name = ""; next }
    name != "" { print >>log_file }' "$logs/results.txt")
  named=$(grep -c '^call :run ' "$kit/run-tests.cmd")
  ended=$(grep -c '^---- ' "$logs/results.txt")
  line=$(tail -n 1 "$logs/run-tests.log")
  # Its exit code and its closing line must agree.
  [[ $line == *" 0 failed" ]] && said_passed=yes
  [ "$rc" -eq 0 ] && exit_passed=yes
  if [ "$rc" -eq 124 ]; then
    echo "e2e: the kit's run did not end in time; its last program: $(
      grep '^==== ' "$logs/results.txt" | tail -1 | cut -c6-)"
    failed=$((failed + 1))
  elif [ "$ended" -ne "$named" ]; then
    echo "e2e: results.txt tells the end of $ended of the kit's $named programs"
    failed=$((failed + 1))
  elif ! [[ $line =~ ^[0-9]+\ passed,\ [0-9]+\ failed$ ]] ||
    [ "$said_passed" != "$exit_passed" ]; then
    echo "e2e: the runner ended with exit $rc and the line \"$line\""
    failed=$((failed + 1))
  fi
}

# The runner with a program that fails on purpose: a scratch copy of the
# kit without simclient.exe, where the tracking test that starts one fails
# and every other program runs no test. Prints what it found; false if the
# runner miscounted.
check_runner() {
  local scratch="$WINE_ENV_STATE/测试 kit/runner check" rc line expected
  cp -r "$kit" "$scratch" &&
    rm -f "$scratch/simclient.exe" "$scratch/results.txt" || return 1
  GTEST_FILTER=TrackingTest.ScanKeepsClientWindowsAndPassesOverTheRest \
    run_runner "$scratch" "$logs/runner-check.log"
  rc=$?
  line=$(tail -n 1 "$logs/runner-check.log")
  expected="$(($(grep -c '^call :run ' "$scratch/run-tests.cmd") - 1))"
  expected+=" passed, 1 failed"
  echo "== the runner, with e2e_tracking.exe failing on purpose:" \
    "exit $rc, \"$line\""
  [ "$rc" -eq 1 ] && [ "$line" = "$expected" ] &&
    grep -q $'^---- e2e_tracking.exe: FAILED (exit 1)\r$' \
      "$scratch/results.txt" &&
    [ "$(grep -c ': FAILED' "$scratch/results.txt")" -eq 1 ]
}

# The kit once, in a Wine set-up of its own, logs in $1; sets passed and
# failed.
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
  local started name
  started=$(date +%s%3N)
  if ! wine_env_up "${CORVANTIS_WINE_STATE:-}" || ! make_kit; then
    echo "e2e: Wine set-up or the kit failed"
    wine_env_down
    failed=1
    return
  fi
  echo "e2e: Wine ready on $DISPLAY in $(($(date +%s%3N) - started)) ms"

  run_kit

  # Wine takes the ANSI code page from the locale; the same prefix serves.
  if wine_env_locale en_US.UTF-8; then
    for name in e2e_tracking e2e_companions; do
      LC_ALL=en_US.UTF-8 run_program "$kit/$name.exe" "$name.cp1252"
    done
  else
    echo "e2e: localedef en_US.UTF-8 failed"
    failed=$((failed + 1))
  fi

  if [ "$checked_runner" = 0 ]; then
    checked_runner=1
    check_runner || {
      echo "e2e: the runner miscounted (see $logs/runner-check.log)"
      failed=$((failed + 1))
    }
  fi

  wine_env_down
}

if [ "$rounds" -eq 1 ]; then
  run_suite "$log_root"
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
  run_suite "$log_root/round-$round"
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
