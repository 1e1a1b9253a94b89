#!/usr/bin/env bash
# Checks a built Corvantis.exe: the right PE kind, the GUI subsystem, ASLR
# with relocations, DEP, high-entropy ASLR on x86_64, and imports from
# Windows' known system DLLs only, so nothing can be planted beside it.
# usage: check.sh EXE i686|x86_64
set -uo pipefail
exe=$1
arch=$2
objdump=${arch}-w64-mingw32-objdump
# shellcheck source=tests/lib/checks.sh
source "$(dirname "$0")/../lib/checks.sh"
CHECKS_NAME="pe $arch"

headers=$("$objdump" -p "$exe")
sections=$("$objdump" -h "$exe")
kind=$(file -b "$exe")

case $arch in
  i686) check "PE32 for Intel 80386" grep -q 'PE32 executable (GUI) Intel 80386' <<<"$kind" ;;
  x86_64) check "PE32+ for x86-64" grep -q 'PE32+ executable (GUI) x86-64' <<<"$kind" ;;
esac
check "GUI subsystem" grep -q 'Subsystem.*(Windows GUI)' <<<"$headers"

characteristics=$((16#$(awk '/^DllCharacteristics/ {print $2}' <<<"$headers")))
check "ASLR (DYNAMIC_BASE)" test $((characteristics & 0x40)) -ne 0
check "DEP (NX_COMPAT)" test $((characteristics & 0x100)) -ne 0
if [ "$arch" = x86_64 ]; then
  check "HIGH_ENTROPY_VA" test $((characteristics & 0x20)) -ne 0
fi
check "relocations kept" grep -q ' \.reloc ' <<<"$sections"
check "relocations not stripped" bash -c '! grep -q "relocations stripped" <<<"$0"' "$("$objdump" -f "$exe")"

# Known DLLs are always loaded from the system directory.
allowed='^(KERNEL32|USER32|GDI32|SHELL32|ADVAPI32|msvcrt|OLE32|SHLWAPI)\.dll$'
while read -r dll; do
  check "import $dll is a known system DLL" grep -qiE "$allowed" <<<"$dll"
done < <(awk '/DLL Name:/ {print $3}' <<<"$headers")
check "imports something" grep -q 'DLL Name:' <<<"$headers"

checks_done
