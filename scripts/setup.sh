#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing, packaging and benchmarking need. Run
# as root (or with sudo available). Safe to run again: installed packages are skipped.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ccache git
  libssl-dev openssl libsqlite3-dev
  libgtk-3-dev xvfb xauth fonts-noto-cjk x11-apps imagemagick
  libsecret-1-dev gnome-keyring libsecret-tools dbus
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  openjdk-17-jdk-headless
  clang libclang-rt-14-dev
  python3
  dpkg-dev file lintian man-db
  chromium firefox-esr
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Windows build (scripts/build-windows.sh): mingw-w64 and Wine with its 32-bit half, whose
# PKCS#12 import needs the 32-bit GnuTLS (only a recommendation of Wine, so named here), and
# the zh_TW locale under which the test prefix gets code page 950; wixl builds the installer.
windows_packages=(
  wine wine32:i386 wine64 g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools
  libgnutls30:i386 locales wixl
)
sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
missing=()
for p in "${windows_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
if ! locale -a 2>/dev/null | grep -qi '^zh_TW\.utf8$'; then
  "${sudo_cmd[@]}" localedef -i zh_TW -f UTF-8 zh_TW.UTF-8
fi
