#!/usr/bin/env bash
# Builds the installer with wixl from ZYQSecuritiesATL.wxs.
#   build-msi.sh <output .msi> <version> <32-bit dist folder> [<64-bit dist folder>]
# With a 64-bit folder the package is for x64 Windows and holds both DLLs; without, it is for
# x86 Windows. The COM identities come from include/ZYQapi.h.
set -euo pipefail
out=$1
version=$2
dist32=$3
dist64=${4:-}
root=$(cd "$(dirname "$0")/../.." && pwd)
guid() {
  grep -B1 "ZYQ_GUID_CONSTANT($1," "$root/include/ZYQapi.h" | sed -n 's|^/\* \({[0-9A-F-]*}\):.*|\1|p'
}
# wixl takes the files by paths relative to the descriptor: a folder of links to them.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$root/packaging/msi/ZYQSecuritiesATL.wxs" "$stage/"
ln -s "$(realpath "$dist32")" "$stage/dist32"
ln -s "$root/docs" "$stage/docs"
ln -s "$root/packaging/native-messaging/windows" "$stage/native-messaging"
args=(-D "Version=$version" -D "Clsid=$(guid CLSID_ZYQapi)"
      -D "Libid=$(guid LIBID_ZYQSECURITIESATLLib)" -D "Iid=$(guid IID_IZYQapi)")
if [[ -n $dist64 ]]; then
  ln -s "$(realpath "$dist64")" "$stage/dist64"
  args+=(-a x64 -D Arch=x64)
else
  args+=(-a x86 -D Arch=x86)
fi
out=$(realpath -m "$out")
(cd "$stage" && wixl "${args[@]}" -o "$out" ZYQSecuritiesATL.wxs)
