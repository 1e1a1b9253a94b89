#!/usr/bin/env bash
# Installs what building and testing Corvantis needs on Debian 12, only what
# is missing. Safe to run again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"

packages=(
  cmake ninja-build g++ pkg-config
  googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
  wine wine64 xvfb xauth x11-utils openbox fonts-wqy-microhei fonts-wine
  locales imagemagick file zip unzip gnuplot-nox
  # The shipped program is 32-bit: the tests run it under 32-bit Wine.
  wine32:i386
)

# The Windows workflow is validated with an npm package: npm from Debian
# where none is installed (another Node.js may bring its own).
command -v npm >/dev/null || packages+=(npm)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null |
    grep -q 'install ok installed' || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  "${sudo_cmd[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q \
    --no-install-recommends "${missing[@]}"
fi

# This kernel runs no 32-bit code, so 32-bit Wine runs under qemu-user.
# Bookworm's qemu 7.2 cannot carry it (it treats MAP_FIXED_NOREPLACE as a
# hint and Wine cannot map its shared user data); trixie's can. Its static
# binaries are fetched through an apt configuration of our own and only
# unpacked: the system's sources stay as they are and nothing from trixie
# is installed.
if [ ! -x "$WINE_ENV_QEMU_DIR/usr/bin/qemu-i386" ]; then
  echo "setup: fetching qemu-user from trixie into $WINE_ENV_QEMU_DIR"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/deb"
  echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
    "http://deb.debian.org/debian trixie main" >"$work/sources.list"
  apt_private=(
    -o "Dir::Etc::SourceList=$work/sources.list"
    -o Dir::Etc::SourceParts=/dev/null
    -o "Dir::State::Lists=$work/lists"
    -o "Dir::Cache=$work/cache"
    -o APT::Architectures=amd64
    # Runs as whoever runs this; nothing here needs root.
    -o APT::Sandbox::User="$(id -un)"
  )
  apt-get -q "${apt_private[@]}" update
  (cd "$work/deb" && apt-get -q "${apt_private[@]}" download qemu-user)
  dpkg-deb -x "$work"/deb/qemu-user_*.deb "$work/unpacked"
  # Of its emulators (450 MB) only the i386 one is kept.
  rm -rf "$WINE_ENV_QEMU_DIR"
  mkdir -p "$WINE_ENV_QEMU_DIR/usr/bin" "$WINE_ENV_QEMU_DIR/usr/share/doc"
  mv "$work/unpacked/usr/share/doc/qemu-user" "$WINE_ENV_QEMU_DIR/usr/share/doc/"
  mv "$work/unpacked/usr/bin/qemu-i386" "$WINE_ENV_QEMU_DIR/usr/bin/"
  "$WINE_ENV_QEMU_DIR/usr/bin/qemu-i386" --version | head -1
fi

# The validator of GitHub workflow files, for .github/workflows/.
if ! command -v action-validator >/dev/null; then
  echo "setup: installing @action-validator/cli from npm"
  "${sudo_cmd[@]}" npm install -g -q --no-audit --no-fund \
    @action-validator/cli@0.6.0
fi
