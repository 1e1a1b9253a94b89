#!/usr/bin/env bash
# The release command: builds Corvantis.exe for 32-bit Windows and packs it
# with a players' readme (Chinese and English), the licence and SHA-256 sums
# into build/release/Corvantis-VERSION-win32.zip, with the zip's own sum
# beside it. VERSION is the project version of the top CMakeLists.txt, the
# same one the exe's version resource carries. Then the Windows test kit,
# Corvantis-VERSION-win32-tests.zip with its sum: that very exe beside the
# i686 test programs (the mingw-i686 preset's build) and their runner
# (tests/kit/). Prints the two zips' paths, the release's first.
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
cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686 -j 2 >/dev/null

# The version the build gave the exe's resource, without its fourth number.
version=$(sed -n 's/^#define CORVANTIS_VERSION_TEXT "\([0-9]*\.[0-9]*\.[0-9]*\)\..*"$/\1/p' \
  "$build/src/app/corvantis_version.h")
[ -n "$version" ] || {
  echo "release: no version in $build/src/app/corvantis_version.h" >&2
  exit 1
}
name=Corvantis-$version-win32
stage=$out/$name
kit=$name-tests
rm -rf "$stage" "$out/$name.zip" "$out/$name.zip.sha256" \
  "${out:?}/$kit" "$out/$kit.zip" "$out/$kit.zip.sha256"
mkdir -p "$stage"

# Windows tools want CRLF; Notepad reads UTF-8 by its byte order mark.
crlf() { sed 's/$/\r/'; }
cp "$build/src/app/Corvantis.exe" "$stage/Corvantis.exe"
crlf <LICENSE >"$stage/LICENSE.txt"
{
  printf '\xEF\xBB\xBF'
  # The Chinese text quotes with Chinese quotation marks.
  # shellcheck disable=SC1111
  crlf <<README
Corvantis $version

== 中文 ==

Corvantis 管理 QQ游戏 的大厅和游戏窗口：列出它们，只显示你选中的那一个，
其余的全部隐藏。

安装：把 Corvantis.exe 放进 QQ游戏 的安装文件夹，和 QQGame.exe、
自动升级.exe 放在一起，然后运行它。它启动时会运行 自动升级.exe。

按钮：
  手动刷新      重新列出打开的大厅和游戏，并隐藏它们。
  自动刷新      每隔 N 秒自动刷新一次（N 填在旁边的框里）；按钮随即变成
                “取消自动”，再点一次停止。框的提示：“自动刷新时间太短的话
                将导致你无法操作游戏窗口,建议20秒以上！”每次刷新都会隐藏
                你正在用的窗口。
  全部关闭      关闭所有列出的游戏和大厅。
  窗口置顶      （勾选框，启动时已勾选）让 Corvantis 始终在其他窗口之上。
  新开一个大厅  再启动一个 QQ游戏 大厅。
  下载Ostrel    打开下载页面。

点击列表中的一项：显示那个窗口，隐藏其余窗口。
关闭 Corvantis 时，它隐藏的所有窗口都会重新显示。

第二个 Corvantis.exe：从第一次刷新或点击列表开始，任务管理器里会多出一个
没有窗口的 Corvantis.exe。它是 Corvantis 的守护进程：如果 Corvantis 不是
正常关闭的（在任务管理器里被结束，或者崩溃），它会马上重新显示 Corvantis
隐藏的所有窗口。Corvantis 关闭时它也会自己退出。如果把它也结束了（例如
结束所有 Corvantis.exe），隐藏的窗口会一直隐藏，直到下次启动 Corvantis，
那时它们会重新显示。
只结束守护进程的话，下次刷新或点击列表时 Corvantis 会再启动一个；如果
启动不了（例如被杀毒软件拦住），它会提示一次。如果之前的 Corvantis 还在
运行但已经没有响应，再启动一个 Corvantis 会显示它隐藏的窗口，并提示你在
任务管理器里结束旧的那个。

管理员身份：如果 QQ游戏 以管理员身份运行，请也以管理员身份运行 Corvantis。
否则 Windows 不允许它标记、隐藏或关闭 QQ游戏 的窗口；Corvantis 会让这些
窗口保持原样，并提示一次。

== English ==

Corvantis keeps order among the lobby and game windows of the QQ Game
client: it lists them, shows the one you pick and hides all the others.

Install: put Corvantis.exe in the QQ Game client's folder, beside
QQGame.exe and 自动升级.exe (the client's updater, which Corvantis starts),
and start it.

Buttons:
  手动刷新      Refresh: list the open lobbies and games again, and hide them.
  自动刷新      Auto-refresh every N seconds (N is the box beside it); the
                caption turns to 取消自动, which stops it. The box's tooltip
                advises 20 seconds or more: each refresh hides the window
                you are using.
  全部关闭      Close all listed games and lobbies.
  窗口置顶      (a check box, ticked at start) Stay on top of other windows.
  新开一个大厅  Start another QQ Game client (lobby).
  下载Ostrel    Open the download page.

Click an entry in a list to show that window and hide the rest.
Closing Corvantis shows every window it hid again.

The second Corvantis.exe: from your first refresh or choice on, Task
Manager shows a second Corvantis.exe without a window. It is Corvantis's
guard: if Corvantis ends any other way than by closing (ended in Task
Manager, or crashed), the guard shows again within a moment every window
Corvantis hid. It leaves by itself when Corvantis closes. If you end it
too (say, by ending all Corvantis.exe), hidden windows stay hidden until
Corvantis next starts, which shows them again.
If only the guard is ended, Corvantis starts a new one at the next
refresh or choice; if it cannot (say, an antivirus blocks it), it says so
once. If an earlier Corvantis still runs but no longer answers, starting
Corvantis again shows the windows it hid and asks you to end the old one
in Task Manager.

Administrator: if the QQ Game client runs as administrator, start
Corvantis as administrator too. Otherwise Windows does not let it mark,
hide or close the client's windows; Corvantis then leaves them as they are
and says so once.

Licence: MIT, see LICENSE.txt.
README
} >"$stage/README.txt"
(cd "$stage" && sha256sum Corvantis.exe LICENSE.txt README.txt >SHA256SUMS.txt)

bash tests/kit/stage.sh "$root/build/mingw-i686" "$out/$kit" "$version" \
  "$stage/Corvantis.exe"

# Same bytes for the same inputs: fixed times, no extra attributes.
find "$stage" "$out/$kit" -exec touch -h -d "@${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 0)}" {} +
files=(Corvantis.exe LICENSE.txt README.txt SHA256SUMS.txt)
mapfile -t kit_files < <(cd "$out" && find "$kit" -type f | LC_ALL=C sort)
(cd "$out" && TZ=UTC zip -q -X -D "$name.zip" "${files[@]/#/$name/}" &&
  sha256sum "$name.zip" >"$name.zip.sha256" &&
  TZ=UTC zip -q -X -D "$kit.zip" "${kit_files[@]}" &&
  sha256sum "$kit.zip" >"$kit.zip.sha256")
echo "$out/$name.zip"
echo "$out/$kit.zip"
