#!/usr/bin/env bash
# Both builds' PKCS#12 writer give the same bytes for the same inputs: the Windows program
# (under Wine) and the same source built here for Linux with the port's OpenSSL primitives write
# a file from the fixed inputs; the files must be identical, and openssl must read them in the
# form Windows writes (3DES bags, SHA-1 MAC, 2000 iterations).
#
#   compare_pkcs12.sh SOURCE_DIR DATA_DIR WINDOWS_PROGRAM
set -euo pipefail
src=$1 dir=$2 program=$3
cd "$dir"
openssl x509 -in other.pem -outform DER -out other.cer
openssl pkcs8 -topk8 -nocrypt -in user.key -outform DER -out user.p8
# Each source is compiled on its own, so that ccache (when there is one) lets the second
# architecture's run and later runs skip the compilation; only the writer and what it calls are
# linked (the rest of Der.cpp is left out).
cxx=(c++)
command -v ccache >/dev/null && cxx=(ccache c++)
objects=()
for source in tests/win32/Pkcs12FixedWriter.cpp platform/common/certs/Pkcs12Encoding.cpp \
    platform/common/certs/Der.cpp platform/posix/certs/Digest.cpp \
    platform/posix/certs/Pkcs12Primitives.cpp; do
  object=linux-$(basename "$source" .cpp).o
  "${cxx[@]}" -std=c++20 -O1 -w -ffunction-sections -I"$src" -I"$src/include" -c \
    "$src/$source" -o "$object"
  objects+=("$object")
done
c++ -Wl,--gc-sections -o fixed-writer-linux "${objects[@]}" -lcrypto
./fixed-writer-linux user.cer user.p8 other.cer fixed-linux.pfx
wine "$program" 'Z:'"$dir"'/user.cer' 'Z:'"$dir"'/user.p8' 'Z:'"$dir"'/other.cer' \
  'Z:'"$dir"'/fixed-windows.pfx'
cmp fixed-linux.pfx fixed-windows.pfx
info=$(openssl pkcs12 -in fixed-windows.pfx -info -nodes -passin pass:'固定密碼 1' 2>&1)
for want in 'MAC: sha1, Iteration 2000' \
  'Shrouded Keybag: pbeWithSHA1And3-KeyTripleDES-CBC, Iteration 2000' \
  'PKCS7 Encrypted data: pbeWithSHA1And3-KeyTripleDES-CBC, Iteration 2000' \
  'friendlyName: fixed-container' 'Microsoft CSP Name: Microsoft Enhanced Cryptographic Provider v1.0'; do
  grep -aqF "$want" <<<"$info" || { echo "missing: $want"; echo "$info"; exit 1; }
done
[[ $(grep -ac 'BEGIN CERTIFICATE' <<<"$info") == 2 ]] || { echo "$info"; exit 1; }
echo "the Linux and Windows writers gave the same $(stat -c %s fixed-linux.pfx) bytes"
