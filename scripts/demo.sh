#!/usr/bin/env bash
# Builds the component and runs `zyqsec demo`: one user's whole key lifecycle (enrollment with an
# authority built into the demo, export of the key to a PKCS#12 file, registration, an order
# signed as PKCS#7 and PKCS#1 and checked as the receiver would, a password change followed by a
# silent signature, the mobile key record), in a fresh state folder, without network, display or
# input. Extra arguments go to zyqsec demo.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target zyqsec
# The demo runs in a private folder of its own; this one keeps even the loading of the library
# away from the user's own state.
state=$(mktemp -d)
trap 'rm -rf "$state"' EXIT
export ZYQSEC_HOME=$state/state HOME=$state/home ZYQSEC_UI=none
mkdir -p "$HOME"
./build/cli/zyqsec demo "$@" </dev/null
