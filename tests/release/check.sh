#!/usr/bin/env bash
# Builds the release package with scripts/release.sh and checks what it
# holds: exactly the exe, the readme, the licence and the sums; a 32-bit
# exe of at most 256 KiB carrying the project's version; sums that match;
# a readme in both languages naming every button and check box of the
# panel, as its layout table captions them, and giving the period its text
# box's tooltip advises; the same zip when built twice.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
# shellcheck source=tests/lib/checks.sh
source "$root/tests/lib/checks.sh"
CHECKS_NAME="release"

# Both builds below stamp the files alike, whatever is committed meanwhile.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
packages=$(bash scripts/release.sh) || {
  echo "release: scripts/release.sh failed"
  exit 1
}
zip_path=$(sed -n 1p <<<"$packages")
version=$(sed -n 's/^project(Corvantis VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=Corvantis-$version-win32
check "zip named after the project version $version" \
  test "$(basename "$zip_path")" = "$name.zip"

expected=$(printf '%s\n' "$name/Corvantis.exe" "$name/LICENSE.txt" \
  "$name/README.txt" "$name/SHA256SUMS.txt")
check "zip holds exactly the exe, readme, licence and sums" \
  test "$(unzip -Z1 "$zip_path" | sort)" = "$expected"
check "zip's own sum matches" \
  bash -c 'cd "$(dirname "$0")" && sha256sum --quiet -c "$(basename "$0").sha256"' "$zip_path"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
unzip -q "$zip_path" -d "$unpacked"
dir=$unpacked/$name
check "sums of the exe, readme and licence match" \
  bash -c 'cd "$0" && sha256sum --quiet -c SHA256SUMS.txt &&
    test "$(cut -c67- SHA256SUMS.txt | sort | tr "\n" " ")" = \
      "Corvantis.exe LICENSE.txt README.txt "' "$dir"

exe=$dir/Corvantis.exe
check "exe is a 32-bit GUI program" \
  grep -q 'PE32 executable (GUI) Intel 80386' <<<"$(file -b "$exe")"
# Lean, with no packer (which antivirus programs distrust): a static
# libstdc++ with its unwind tables grows quickly with each part of it used.
size=$(stat -c %s "$exe")
check "exe is at most 256 KiB ($size bytes)" test "$size" -le $((256 * 1024))
# FileVersion and ProductVersion strings of the version resource (UTF-16).
check "exe's version resource carries $version.0" \
  test "$(strings -el "$exe" | grep -cx "$version\.0")" -ge 2

readme=$dir/README.txt
check "readme starts with a UTF-8 byte order mark" \
  test "$(head -c 3 "$readme" | od -An -tx1 | tr -d ' ')" = efbbbf
check "readme has CRLF line ends" \
  bash -c '! grep -qv $'"'"'\r$'"'"' "$0"' "$readme"
# The captions come from the panel's source, so that the readme cannot
# drift from it: the buttons and the check box of the layout table, and the
# caption the auto-refresh button takes while auto-refresh runs.
layout=src/app/form1_win32.cpp
mapfile -t captions < <(sed -n \
  's/.*{Kind::k\(Button\|CheckBox\), *[^,]*, *L"\([^"]*\)".*/\2/p' "$layout")
check "every button and check box in $layout has a caption read" \
  test "${#captions[@]}" -gt 0 -a \
  "${#captions[@]}" -eq "$(grep -cE '\{Kind::k(Button|CheckBox),' "$layout")"
auto_on=$(sed -n 's/.*kAutoRefreshOn\[\] = u"\([^"]*\)".*/\1/p' src/app/panel.cpp)
check "the auto-refresh button's running caption is read" test -n "$auto_on"
for text in "${captions[@]}" "$auto_on" \
  QQGame.exe "== 中文 ==" "== English ==" "Corvantis $version"; do
  check "readme mentions $text" grep -qF "$text" "$readme"
done
period=$(sed -n 's/.*建议\([0-9][0-9]*\)秒以上.*/\1/p' "$layout")
check "the period the text box's tooltip advises is read" test -n "$period"
check "readme advises a period of $period seconds or more, in both languages" \
  bash -c 'grep -qE "建议 ?$1 ?秒以上" "$0" && grep -qF "$1 seconds or more" "$0"' \
  "$readme" "$period"

check "licence is the MIT licence of Corvantis developers" \
  bash -c 'grep -qx "MIT License.\$" "$0" &&
    grep -qx "Copyright (c) 2026 Corvantis developers.\$" "$0"' "$dir/LICENSE.txt"
check "licence text equals LICENSE" \
  bash -c 'diff -q <(tr -d "\r" <"$0") LICENSE >/dev/null' "$dir/LICENSE.txt"

first=$(sha256sum <"$zip_path")
bash scripts/release.sh >/dev/null 2>&1
check "a second build gives the same zip" test "$(sha256sum <"$zip_path")" = "$first"

checks_done
