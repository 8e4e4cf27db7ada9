#!/usr/bin/env bash
# Builds the Debian packages (library, development files, zyqsec, Java class) into dist/ from a
# build folder, then checks them with lintian (any error fails).
#
#   scripts/package.sh [BUILD_FOLDER]     default: build (as scripts/test.sh makes it)
#
# A folder that does not exist yet is configured for a release build without the tests. Only the
# packaged targets are brought up to date, so in a tree that scripts/test.sh has built nothing is
# compiled again.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
jobs=${ZYQ_JOBS:-2}

if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZYQ_BUILD_TESTS=OFF
fi
cmake --build "$build" -j "$jobs" --target ZYQSecuritiesATL zyqsec ZYQSecuritiesATL_jar

rm -rf "$build/packages" dist
mkdir -p dist
(cd "$build" && cpack -G DEB --config CPackConfig.cmake)
cp "$build"/packages/*.deb dist/
ls -l dist

echo "lintian:"
lintian --fail-on error --display-info dist/*.deb
echo "lintian: no errors"
