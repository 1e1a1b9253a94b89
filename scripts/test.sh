#!/usr/bin/env bash
# The one test command: installs what is missing, builds the native, the
# sanitizer and both Windows builds, and runs every test, the Windows ones
# for both builds.
set -euo pipefail
cd "$(dirname "$0")/.."

# First, as it needs nothing installed and takes a moment.
echo "== links between the documents"
bash tests/docs/check_links.sh

bash scripts/setup.sh

echo "== the Windows workflow, against the workflow schema"
action-validator .github/workflows/windows.yml
echo "workflow: .github/workflows/windows.yml is valid"

jobs=$(nproc)
build() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$jobs"
}

echo "== native unit tests"
build native
ctest --preset native -j "$jobs"

echo "== unit tests with AddressSanitizer and UBSan"
build sanitize
ctest --preset sanitize -j "$jobs"

echo "== fuzz targets, bounded runs"
bash tests/fuzz/run.sh --seconds "${FUZZ_SECONDS:-5}"

echo "== Windows builds"
build mingw-i686
build mingw-x86_64
bash tests/pe/check.sh build/mingw-i686/src/app/Corvantis.exe i686
bash tests/pe/check.sh build/mingw-x86_64/src/app/Corvantis.exe x86_64
bash tests/release/check.sh

echo "== unit and end-to-end tests under Wine"
bash tests/e2e/run.sh build/mingw-x86_64

echo "== the focus during ticked refreshes under a window manager (openbox)"
WINE_ENV_WM=openbox GTEST_FILTER='PanelTimersTest.RefreshesLeave*' \
  bash tests/e2e/run.sh build/mingw-x86_64

echo "== the test kit of the shipped i686 build, under 32-bit Wine and qemu-user"
kit=$(bash scripts/release.sh | sed -n 2p)
bash tests/e2e/run.sh "$kit"
