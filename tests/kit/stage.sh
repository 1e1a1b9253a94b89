#!/usr/bin/env bash
# Puts the Windows test kit together in the folder DEST: the unit-test and
# end-to-end test programs of the Windows build BUILD_DIR with the programs
# they start (simclient.exe, companion_stub.exe and the Corvantis.exe EXE,
# by default the build's own), run-tests.cmd naming each test program, and
# README.txt; the kit says it is VERSION, made from this clone's commit.
#   tests/kit/stage.sh BUILD_DIR DEST VERSION [EXE]
set -euo pipefail
build=${1:?usage: stage.sh BUILD_DIR DEST VERSION [EXE]}
dest=${2:?usage: stage.sh BUILD_DIR DEST VERSION [EXE]}
version=${3:?usage: stage.sh BUILD_DIR DEST VERSION [EXE]}
exe=${4:-$build/tests/e2e/Corvantis.exe}
here=$(cd "$(dirname "$0")" && pwd)

commit=$(git -C "$here" rev-parse --short=12 HEAD 2>/dev/null || echo unknown)
if ! git -C "$here" diff --quiet HEAD -- 2>/dev/null; then
  commit="$commit with uncommitted changes"
fi

tests=("$build/tests/unit/corvantis_unit_tests.exe" "$build"/tests/e2e/e2e_*.exe)
for file in "${tests[@]}" "$build/tests/e2e/simclient.exe" \
  "$build/tests/e2e/companion_stub.exe" "$exe"; do
  [ -f "$file" ] || {
    echo "kit: no $file" >&2
    exit 1
  }
done
mkdir -p "$dest"
cp "${tests[@]}" "$build/tests/e2e/simclient.exe" \
  "$build/tests/e2e/companion_stub.exe" "$dest/"
cp "$exe" "$dest/Corvantis.exe"

# cmd wants CRLF; Notepad reads UTF-8 by its byte order mark.
crlf() { sed 's/$/\r/'; }
calls=$(for file in "${tests[@]}"; do echo "call :run $(basename "$file")"; done)
awk -v calls="$calls" '$0 == "@PROGRAMS@" { print calls; next } { print }' \
  "$here/run-tests.cmd" |
  sed -e "s/@VERSION@/$version/g" -e "s/@COMMIT@/$commit/g" |
  crlf >"$dest/run-tests.cmd"
{
  printf '\xEF\xBB\xBF'
  sed "s/@VERSION@/$version/g" "$here/README.txt" | crlf
} >"$dest/README.txt"
