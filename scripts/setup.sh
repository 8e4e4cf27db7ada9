#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing, packaging and benchmarking need. Run
# as root (or with sudo available). Safe to run again: installed packages are skipped.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ccache git
  libssl-dev openssl libsqlite3-dev
  libgtk-3-dev xvfb xauth fonts-noto-cjk
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  openjdk-17-jdk-headless
  clang libclang-rt-14-dev
  python3
  dpkg-dev file lintian man-db
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
