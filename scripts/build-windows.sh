#!/usr/bin/env bash
# Builds the Windows DLL and zyqsec.exe for 32-bit (i686) and 64-bit (x86_64) Windows with
# mingw-w64, and with --test also the Windows test programs, run under Wine by ctest.
#
#   bash scripts/build-windows.sh            # both DLLs, import libraries, header, zyqsec.exe
#   bash scripts/build-windows.sh --test     # the same, then the Windows suites under Wine
#
# Output: build-win32/dist and build-win64/dist, each with its installer ZYQSecuritiesATL.msi
# (x86: the 32-bit DLL; x64: both DLLs), built with wixl by packaging/msi/build-msi.sh. Each build folder has its own Wine prefix
# (wineprefix/), made once under the Chinese (Taiwan) locale so that the ANSI code page is 950.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
run_tests=0
[[ ${1:-} == --test ]] && run_tests=1
jobs=${ZYQ_JOBS:-2}
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
export WINEDEBUG=-all

session=$root/tests/win32/wine_session.sh
status=0

# Some machines' kernels run no 32-bit x86 program ("Exec format error"), so Wine's 32-bit
# loader cannot start there. On such a machine the 32-bit build is compiled but nothing of it
# runs: the 64-bit build goes first and lends it the COM header that its writer would have
# written under Wine, its suites are not built or run, and Wine runs as wine64 alone (a `wine`
# that starts the 64-bit loader, first on the PATH) in 64-bit prefixes.
archs=(i686:build-win32 x86_64:build-win64)
runs32=1
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  runs32=0
  archs=(x86_64:build-win64 i686:build-win32)
  echo "This machine does not run 32-bit x86 programs: the i686 build is compiled only, and its" \
    "suites do not run here; Wine runs 64-bit only." >&2
  shim=$root/build-win64/wine64-only
  mkdir -p "$shim"
  for name in wine wine-stable; do
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$shim/$name"
    chmod +x "$shim/$name"
  done
  export PATH=$shim:$PATH WINELOADER=/usr/lib/wine/wine64
fi

for arch in "${archs[@]}"; do
  triple=${arch%%:*}-w64-mingw32
  build=$root/${arch#*:}
  runs=1
  configure=(-DZYQ_BUILD_TESTS=$([[ $run_tests == 1 ]] && echo ON || echo OFF))
  if [[ $runs32 == 0 && $triple == i686-* ]]; then
    runs=0
    configure=(-DZYQ_BUILD_TESTS=OFF
      -DZYQ_COM_METHODS_HEADER="$root/build-win64/generated/ZYQapiMethods.h")
  fi
  mkdir -p "$build"
  export WINEPREFIX=$build/wineprefix LANG=zh_TW.UTF-8
  # The build runs a program of its own under Wine (the COM header writer): the session is
  # started first, detached from this script's output.
  if [[ $runs == 1 ]]; then
    [[ -f $WINEPREFIX/system.reg ]] || echo "Making the Wine prefix $WINEPREFIX (zh_TW, code page 950)"
    bash "$session" start "$WINEPREFIX"
  fi
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$triple.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DZYQ_WERROR=ON "${configure[@]}" >/dev/null
  targets=(ZYQSecuritiesATL zyqsec zyqsec-native-host)
  [[ $run_tests == 1 && $runs == 1 ]] && targets+=(zyq_windows_tests)
  cmake --build "$build" -j"$jobs" --target "${targets[@]}"
  dist=$build/dist
  mkdir -p "$dist"
  cp "$build/api/ZYQSecuritiesATL.dll" "$build/api/ZYQSecuritiesATL.lib" "$dist/"
  cp "$build/cli/zyqsec.exe" "$build/cli/zyqsec-native-host.exe" "$root/include/ZYQSecuritiesATL.h" \
    "$dist/"
  if [[ $run_tests == 1 && $runs == 1 ]]; then
    (cd "$build" && ctest --output-on-failure -L windows) || status=1
  fi
  if [[ $runs == 1 ]]; then
    bash "$session" stop "$WINEPREFIX"
  fi
  echo "$triple: $dist"
done
version=$(sed -n 's/^project(ZYQSecuritiesATL VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
bash "$root/packaging/msi/build-msi.sh" "$root/build-win32/dist/ZYQSecuritiesATL.msi" "$version" \
  "$root/build-win32/dist"
bash "$root/packaging/msi/build-msi.sh" "$root/build-win64/dist/ZYQSecuritiesATL.msi" "$version" \
  "$root/build-win32/dist" "$root/build-win64/dist"
echo "installers: build-win32/dist/ZYQSecuritiesATL.msi (x86), build-win64/dist/ZYQSecuritiesATL.msi (x64)"
exit $status
