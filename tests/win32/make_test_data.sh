#!/usr/bin/env bash
# Linux side of the Windows port tests, before them: `openssl` writes a key, its self-signed
# certificate and PKCS#12 files of them into the folder given, for the port to import.
set -euo pipefail
dir=$1
rm -rf "$dir"
mkdir -p "$dir"
cd "$dir"
subject="/CN=Win32 Port $(date +%s%N)"
openssl req -x509 -newkey rsa:2048 -nodes -keyout user.key -out user.pem -subj "$subject" \
  -days 30 -addext keyUsage=digitalSignature,nonRepudiation,keyEncipherment 2>/dev/null
openssl x509 -in user.pem -outform DER -out user.cer
# The algorithms a Windows 7 system reads: 3DES for certificates and keys, SHA-1 MAC.
openssl pkcs12 -export -in user.pem -inkey user.key -out user.pfx -passout pass:pw1234 \
  -certpbe PBE-SHA1-3DES -keypbe PBE-SHA1-3DES -macalg sha1
# A second user with a key of its own.
openssl req -x509 -newkey rsa:2048 -nodes -keyout other.key -out other.pem \
  -subj "/CN=Win32 Other $(date +%s%N)" -days 30 2>/dev/null
openssl pkcs12 -export -in other.pem -inkey other.key -out other.pfx -passout pass:pw1234 \
  -certpbe PBE-SHA1-3DES -keypbe PBE-SHA1-3DES -macalg sha1
