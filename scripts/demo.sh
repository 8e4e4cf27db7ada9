#!/usr/bin/env bash
# Builds the component and runs a short session of the zyqsec command in a fresh state folder.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target zyqsec
state=$(mktemp -d)
trap 'rm -rf "$state"' EXIT
export ZYQSEC_HOME=$state/state HOME=$state/home ZYQSEC_UI=none
mkdir -p "$HOME"
# The version, the SHA-1 of the ANSI text "abc", a registry value written and read back.
./build/cli/zyqsec "$@" GetDllVersion Hash abc 18 \
  RegWriteHKCUInt 'Software\ZYQSecurities\Demo' -5 RegReadHKCU 'Software\ZYQSecurities\Demo' \
  GetDefaultCertPath GetWindowsSystemName
