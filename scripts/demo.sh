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
./build/cli/zyqsec "$@" GetDllVersion GetErrorMsg PresetPasswdLengthRange 20 5 GetCapiErrorMsg
