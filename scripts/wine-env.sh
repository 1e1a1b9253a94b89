# The one Wine set-up for tests and for running Corvantis under Linux.
# Source this file, then:
#   wine_env_up [STATE_DIR]   locale, display, prefix and a persistent
#                             wineserver; exports everything Wine needs
#   wine_run EXE ARGS...      runs a Windows program in the foreground
#   wine_env_locale NAME      compiles another locale (e.g. en_US.UTF-8)
#                             into LOCPATH, for LC_ALL=NAME wine_run ...
#   wine_env_down             stops what wine_env_up started (idempotent)
#
# STATE_DIR keeps the locale and the prefix; when given, a later run reuses
# them. Without it a temporary directory is used and removed at the end.
# Options (environment):
#   WINE_ENV_USE_DISPLAY=1   use the caller's $DISPLAY instead of an Xvfb
#   WINE_ENV_WM=openbox      run openbox on the Xvfb display, as players
#                            who run the client under Wine have a window
#                            manager (a new prefix only)
#   WINE_ENV_NO_TRAP=1       do not install the EXIT/INT/TERM teardown trap
#   WINE_RUN_TIMEOUT=SECS    wine_run kills a program still running after it
#   WINE_ENV_VERBOSE=1       print set-up timings to stderr
#   WINE_ENV_ARCH=win32      a 32-bit prefix run by 32-bit Wine under
#                            qemu-user, for i686 programs (default win64)
#   WINE_ENV_LOCPATH=DIR     keep the compiled locale there instead (it
#                            takes seconds to build and never changes)
# Exports: WINEPREFIX, WINEARCH, WINEDEBUG, WINEDLLOVERRIDES, LOCPATH, LC_ALL, DISPLAY,
# WINE (the loader of the prefix's architecture, wrapped), WINE64, WINESERVER,
# CORVANTIS_BROWSER_LOG (file that receives every URL Wine would open in a
# browser, one line per call), WINE_ENV_STATE.

WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
# Where scripts/setup.sh unpacks the qemu-user that runs 32-bit Wine.
WINE_ENV_QEMU_DIR=${CORVANTIS_QEMU_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/corvantis/qemu-user}

_wine_env_log() {
  if [ "${WINE_ENV_VERBOSE:-0}" = 1 ]; then
    echo "wine-env: $(date +%T.%3N) $*" >&2
  fi
}

_wine_env_now_ms() { date +%s%3N; }

# Starts Xvfb on a display it picks itself; -displayfd reports the number
# only once the server accepts connections, so no polling is needed.
_wine_env_start_xvfb() {
  local fifo="$WINE_ENV_STATE/displayfd"
  rm -f "$fifo"
  mkfifo "$fifo" || return 1
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" \
    >"$WINE_ENV_STATE/xvfb.log" 2>&1 </dev/null &
  _WINE_ENV_XVFB_PID=$!
  local number
  if ! read -r -t 20 number <"$fifo" || [ -z "$number" ]; then
    echo "wine-env: Xvfb did not start (see $WINE_ENV_STATE/xvfb.log)" >&2
    return 1
  fi
  rm -f "$fifo"
  export DISPLAY=":$number"
  if [ "${WINE_ENV_WM:-}" = openbox ]; then
    openbox --sm-disable >"$WINE_ENV_STATE/openbox.log" 2>&1 </dev/null &
    _WINE_ENV_WM_PID=$!
    # Managing begins once it has announced itself on the root window. Its
    # first start on a machine builds the font cache, which can take long.
    local tries=0
    until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
      tries=$((tries + 1))
      if [ "$tries" -gt 1200 ] || ! kill -0 "$_WINE_ENV_WM_PID" 2>/dev/null; then
        echo "wine-env: openbox did not start (see $WINE_ENV_STATE/openbox.log)" >&2
        return 1
      fi
      sleep 0.05
    done
  fi
}

# Compiles a glibc locale such as zh_CN.UTF-8 into LOCPATH unless it is
# there already. Wine takes the ANSI code page from the locale it runs in.
wine_env_locale() {
  local name=$1
  if [ ! -f "$LOCPATH/$name/LC_CTYPE" ]; then
    mkdir -p "$LOCPATH"
    localedef -i "${name%%.*}" -f UTF-8 "$LOCPATH/$name" 2>/dev/null ||
      [ -f "$LOCPATH/$name/LC_CTYPE" ] || return 1
  fi
}

_wine_env_make_locale() {
  export LOCPATH="${WINE_ENV_LOCPATH:-$WINE_ENV_STATE/locale}"
  wine_env_locale zh_CN.UTF-8 || return 1
  # bash itself cannot load a locale from LOCPATH and would warn.
  { export LC_ALL=zh_CN.UTF-8; } 2>/dev/null
}

# The browser Wine starts for URLs: it records them instead of opening one.
_wine_env_write_browser() {
  local script="$WINE_ENV_STATE/record-browser.sh"
  cat >"$script" <<EOF
#!/bin/sh
printf '%s\n' "\$*" >>"\${CORVANTIS_BROWSER_LOG:-$WINE_ENV_STATE/browser.log}"
EOF
  chmod +x "$script"
  echo "$script"
}

# This kernel runs no 32-bit code, so 32-bit Wine runs under the qemu-user
# that scripts/setup.sh unpacks. Wine starts every process, its own
# services too, through <its bindir>/wine and finds its files relative to
# that: a private copy of /usr's layout holds in lib/wine a wrapper of that
# name around a copy of the i386 loader (a link would lead Wine back to
# /usr/lib/wine) and the server, beside links to the rest.
_wine_env_make_wine32() {
  local qemu="$WINE_ENV_QEMU_DIR/usr/bin/qemu-i386"
  local top="$WINE_ENV_STATE/wine32"
  local bindir="$top/lib/wine"
  if [ ! -x "$qemu" ]; then
    echo "wine-env: no $qemu (scripts/setup.sh fetches it)" >&2
    return 1
  fi
  mkdir -p "$bindir" "$top/share" || return 1
  cp /usr/lib/wine/wine "$bindir/wine.elf" || return 1
  ln -sfn "$WINESERVER" "$bindir/wineserver" &&
    ln -sfn /usr/share/wine "$top/share/wine" &&
    ln -sfn /usr/lib/i386-linux-gnu "$top/lib/i386-linux-gnu" || return 1
  cat >"$bindir/wine" <<EOF || return 1
#!/bin/sh
WINELOADERNOEXEC=1 exec "$qemu" -0 "$bindir/wine" "$bindir/wine.elf" "\$@"
EOF
  chmod +x "$bindir/wine" || return 1
  WINE="$bindir/wine"
}

# Debian's wine64 has no preloader, and its loader is linked at 0x7d000000.
# This kernel starts the heap of such a program anywhere in the 1 GB above
# it, so about one start in several thousand finds its heap on 0x7ffe0000,
# the page Windows programs read the shared user data from. Wine then
# reports the clash on its err channel, which WINEDEBUG=-all silences, and
# exits with 1 before it reaches the server, and the CreateProcess that
# started it fails with ERROR_INTERNAL_ERROR. Without address randomization
# the heap starts right after the loader; every process Wine starts
# inherits the setting.
_wine_env_make_wine64() {
  local wrapper="$WINE_ENV_STATE/wine64"
  cat >"$wrapper" <<EOF || return 1
#!/bin/sh
exec setarch "$(uname -m)" --addr-no-randomize "$WINE64" "\$@"
EOF
  chmod +x "$wrapper" || return 1
  WINE=$wrapper
}

_wine_env_make_prefix() {
  local ready="$WINEPREFIX/.corvantis-ready"
  [ -f "$ready" ] && return 0
  local browser
  browser=$(_wine_env_write_browser)
  "$WINE" wineboot -i >"$WINE_ENV_STATE/wineboot.log" 2>&1 </dev/null ||
    return 1
  _wine_env_log "wineboot done"
  # Without a window manager, "Managed"="N" keeps each hide or destroy from
  # waiting ~2 s for the withdrawn state.
  local managed=N
  [ -n "${WINE_ENV_WM:-}" ] && managed=Y
  local reg="$WINE_ENV_STATE/settings.reg"
  printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' "\"Managed\"=\"$managed\"" '' \
    '[HKEY_CURRENT_USER\Software\Wine\WineBrowser]' \
    "\"Browsers\"=\"$browser\"" >"$reg"
  "$WINE" regedit /S "$(_wine_env_unix_to_dos "$reg")" \
    >>"$WINE_ENV_STATE/wineboot.log" 2>&1 </dev/null || return 1
  # Debian's Wine does not find its own fonts: caption buttons need marlett.
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" ||
    return 1
  touch "$ready"
  _wine_env_log "prefix configured"
}

# Wine maps / to drive Z:.
_wine_env_unix_to_dos() {
  printf 'Z:%s' "$1" | tr / '\\'
}

wine_env_up() {
  local start
  start=$(_wine_env_now_ms)
  if [ -n "${1:-}" ]; then
    mkdir -p "$1" || return 1
    WINE_ENV_STATE=$(cd "$1" && pwd)
    _WINE_ENV_OWN_STATE=0
  else
    WINE_ENV_STATE=$(mktemp -d /tmp/corvantis-wine.XXXXXX) || return 1
    _WINE_ENV_OWN_STATE=1
  fi
  export WINE_ENV_STATE
  WINE_ENV_ARCH=${WINE_ENV_ARCH:-win64}
  case $WINE_ENV_ARCH in
    win64)
      export WINEPREFIX="$WINE_ENV_STATE/prefix"
      _wine_env_make_wine64 || return 1
      ;;
    win32)
      export WINEPREFIX="$WINE_ENV_STATE/prefix-win32"
      _wine_env_make_wine32 || return 1
      ;;
    *)
      echo "wine-env: WINE_ENV_ARCH is win64 or win32" >&2
      return 1
      ;;
  esac
  # The server, started first, makes the prefix of this architecture.
  export WINEARCH=$WINE_ENV_ARCH
  export WINEDEBUG=-all
  # No debugger: a crashed program ends as it does on a Windows without
  # one, instead of waiting on a second process that writes a backtrace
  # and opens a box (which, on a loaded machine, took seconds to come).
  export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
  export CORVANTIS_BROWSER_LOG="${CORVANTIS_BROWSER_LOG:-$WINE_ENV_STATE/browser.log}"
  export WINE WINE64 WINESERVER
  _WINE_ENV_XVFB_PID=
  _WINE_ENV_WM_PID=
  _WINE_ENV_SERVER_UP=0
  if [ "${WINE_ENV_NO_TRAP:-0}" != 1 ]; then
    trap 'wine_env_down' EXIT
    trap 'wine_env_down; exit 130' INT
    trap 'wine_env_down; exit 143' TERM
  fi

  _wine_env_make_locale || {
    echo "wine-env: localedef failed" >&2
    return 1
  }
  _wine_env_log "locale $(($(_wine_env_now_ms) - start)) ms"
  if [ "${WINE_ENV_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
    _wine_env_log "using display $DISPLAY"
  else
    _wine_env_start_xvfb || return 1
    _wine_env_log "Xvfb on $DISPLAY $(($(_wine_env_now_ms) - start)) ms"
  fi
  # One server for the whole run: each program then starts in ~0.1 s.
  mkdir -p "$WINEPREFIX" || return 1
  "$WINESERVER" -p </dev/null >/dev/null 2>&1 || return 1
  _WINE_ENV_SERVER_UP=1
  _wine_env_make_prefix || {
    echo "wine-env: prefix set-up failed (see $WINE_ENV_STATE/wineboot.log)" >&2
    return 1
  }
  _wine_env_log "ready $(($(_wine_env_now_ms) - start)) ms"
}

# Runs EXE under $WINE and waits for it. Output goes through a file, since
# Wine processes left in the background would keep a pipe open; it is
# replayed on stdout afterwards. Returns the program's exit code (124 on
# WINE_RUN_TIMEOUT).
wine_run() {
  local out rc
  out=$(mktemp "$WINE_ENV_STATE/run.XXXXXX") || return 1
  if [ -n "${WINE_RUN_TIMEOUT:-}" ]; then
    timeout -k 5 "$WINE_RUN_TIMEOUT" "$WINE" "$@" >"$out" 2>&1 </dev/null
  else
    "$WINE" "$@" >"$out" 2>&1 </dev/null
  fi
  rc=$?
  cat "$out"
  rm -f "$out"
  return "$rc"
}

wine_env_down() {
  if [ "${_WINE_ENV_SERVER_UP:-0}" = 1 ]; then
    # Ends this prefix's server and every program still running in it; the
    # server writes the registry back before it exits.
    "$WINESERVER" -k >/dev/null 2>&1
    "$WINESERVER" -w >/dev/null 2>&1
    _WINE_ENV_SERVER_UP=0
  fi
  if [ -n "${_WINE_ENV_WM_PID:-}" ]; then
    kill "$_WINE_ENV_WM_PID" 2>/dev/null
    wait "$_WINE_ENV_WM_PID" 2>/dev/null
    _WINE_ENV_WM_PID=
  fi
  if [ -n "${_WINE_ENV_XVFB_PID:-}" ]; then
    kill "$_WINE_ENV_XVFB_PID" 2>/dev/null
    wait "$_WINE_ENV_XVFB_PID" 2>/dev/null
    _WINE_ENV_XVFB_PID=
  fi
  if [ "${_WINE_ENV_OWN_STATE:-0}" = 1 ] && [ -d "${WINE_ENV_STATE:-}" ]; then
    rm -rf "$WINE_ENV_STATE"
    _WINE_ENV_OWN_STATE=0
  fi
  return 0
}
