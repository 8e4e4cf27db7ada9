#!/usr/bin/env bash
# Linux side of the certificate suite's Windows runs, before them: builds make_cert_data with the
# Linux tests' own certificate helpers (tests/platform_certs/TestCertificates.cpp, the OpenSSL
# library) and makes every fixture of the list.
#   make_cert_data.sh SOURCE_DIR LIST FOLDER
set -euo pipefail
src=$1 list=$(realpath "$2") dir=$3
rm -rf "$dir"
mkdir -p "$dir/keys" "$dir/build"
# Each source is compiled on its own so that ccache (when there is one) serves later runs.
cxx=(c++)
command -v ccache >/dev/null && cxx=(ccache c++)
objects=()
for source in tests/win32/make_cert_data.cpp tests/platform_certs/TestCertificates.cpp; do
  object=$dir/build/$(basename "$source" .cpp).o
  "${cxx[@]}" -std=c++20 -O1 -w -ffunction-sections -I"$src" -I"$src/include" -c \
    "$src/$source" -o "$object"
  objects+=("$object")
done
c++ -Wl,--gc-sections -o "$dir/build/make_cert_data" "${objects[@]}" -lcrypto
"$dir/build/make_cert_data" "$list" "$dir"
echo "$(wc -l <"$dir/index.txt") fixtures in $dir"
