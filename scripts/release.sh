#!/usr/bin/env bash
# The release command: builds Corvantis.exe for 32-bit Windows and packs it
# with a players' readme (Chinese and English), the licence and SHA-256 sums
# into build/release/Corvantis-VERSION-win32.zip, with the zip's own sum
# beside it. VERSION is the project version of the top CMakeLists.txt, the
# same one the exe's version resource carries.
#   bash scripts/release.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$root/build/bench-release-i686
out=$root/build/release

bash scripts/setup.sh >&2
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCORVANTIS_BUILD_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake >/dev/null
cmake --build "$build" -j 2 --target Corvantis >/dev/null

# The version the build gave the exe's resource, without its fourth number.
version=$(sed -n 's/^#define CORVANTIS_VERSION_TEXT "\([0-9]*\.[0-9]*\.[0-9]*\)\..*"$/\1/p' \
  "$build/src/app/corvantis_version.h")
[ -n "$version" ] || {
  echo "release: no version in $build/src/app/corvantis_version.h" >&2
  exit 1
}
name=Corvantis-$version-win32
stage=$out/$name
rm -rf "$stage" "$out/$name.zip" "$out/$name.zip.sha256"
mkdir -p "$stage"

# Windows tools want CRLF; Notepad reads UTF-8 by its byte order mark.
crlf() { sed 's/$/\r/'; }
cp "$build/src/app/Corvantis.exe" "$stage/Corvantis.exe"
crlf <LICENSE >"$stage/LICENSE.txt"
{
  printf '\xEF\xBB\xBF'
  crlf <<README
Corvantis $version

== 中文 ==

Corvantis 管理 QQ游戏 的大厅和游戏窗口：列出它们，只显示你选中的那一个，
其余的全部隐藏。

安装：把 Corvantis.exe 放进 QQ游戏 的安装文件夹，和 QQGame.exe 放在一起，
然后运行它。

按钮：
  手动刷新      重新列出打开的大厅和游戏，并隐藏它们。
  自动刷新      每隔 N 秒自动刷新一次（N 填在旁边的框里，建议 20 秒以上，
                因为每次刷新都会隐藏你正在用的窗口）；再点一次（取消自动）停止。
  全部关闭      关闭所有列出的游戏和大厅。
  窗口置顶      让 Corvantis 始终在其他窗口之上。
  新开一个大厅  再启动一个 QQ游戏 大厅。
  下载Ostrel    打开下载页面。

点击列表中的一项：显示那个窗口，隐藏其余窗口。
关闭 Corvantis 时，它隐藏的所有窗口都会重新显示。

== English ==

Corvantis keeps order among the lobby and game windows of the QQ Game
client: it lists them, shows the one you pick and hides all the others.

Install: put Corvantis.exe in the QQ Game client's folder, beside
QQGame.exe, and start it.

Buttons:
  手动刷新      Refresh: list the open lobbies and games again, and hide them.
  自动刷新      Auto-refresh every N seconds (N is the box beside it; 20 or
                more is advised, since each refresh hides the window you are
                using); click again (取消自动) to stop.
  全部关闭      Close all listed games and lobbies.
  窗口置顶      Stay on top of other windows.
  新开一个大厅  Start another QQ Game client (lobby).
  下载Ostrel    Open the download page.

Click an entry in a list to show that window and hide the rest.
Closing Corvantis shows every window it hid again.

Licence: MIT, see LICENSE.txt.
README
} >"$stage/README.txt"
(cd "$stage" && sha256sum Corvantis.exe LICENSE.txt README.txt >SHA256SUMS.txt)

# Same bytes for the same inputs: fixed times, no extra attributes.
find "$stage" -exec touch -h -d "@${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 0)}" {} +
files=(Corvantis.exe LICENSE.txt README.txt SHA256SUMS.txt)
(cd "$out" && TZ=UTC zip -q -X -D "$name.zip" "${files[@]/#/$name/}" &&
  sha256sum "$name.zip" >"$name.zip.sha256")
echo "$out/$name.zip"
