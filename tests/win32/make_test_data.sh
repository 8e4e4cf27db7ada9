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
# Certificates for the chain cases, under names of this run (the prefix's stores keep what
# earlier runs added): a root and an intermediate (CA, ten years), a leaf of the intermediate
# valid for one day, a leaf naming the intermediate as issuer but signed with another key, and
# a certificate that is no CA with one issued under it.
stamp=$(date +%s%N)
ca_ext=$'basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,cRLSign'
openssl req -x509 -newkey rsa:1024 -nodes -keyout root.key -out root.pem -days 3650 \
  -subj "/CN=Chain Root $stamp" -addext basicConstraints=critical,CA:TRUE \
  -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:1024 -out stranger.key 2>/dev/null
# issue <name> <subject> <issuer pem> <issuer key> <serial> <days> [extensions]
issue() {
  openssl req -new -newkey rsa:1024 -nodes -keyout "$1.key" -subj "$2" 2>/dev/null |
    openssl x509 -req -CA "$3" -CAkey "$4" -set_serial "$5" -days "$6" \
      -extfile <(printf '%s\n' "${7:-basicConstraints=CA:FALSE}") -out "$1.pem" 2>/dev/null
  openssl x509 -in "$1.pem" -outform DER -out "$1.cer"
}
openssl x509 -in root.pem -outform DER -out root.cer
issue mid "/CN=Chain Mid $stamp" root.pem root.key 2 3650 "$ca_ext"
issue leaf "/CN=Chain Leaf $stamp" mid.pem mid.key 3 1
# The forged leaf: the intermediate's name as issuer, the stranger's key as signer (through a
# self-signed stand-in of that name).
openssl req -x509 -key stranger.key -subj "/CN=Chain Mid $stamp" -days 30 -out fake-mid.pem
issue forged "/CN=Chain Forged $stamp" fake-mid.pem stranger.key 4 30 \
  $'basicConstraints=CA:FALSE\nauthorityKeyIdentifier=none'
issue clerk "/CN=Chain Clerk $stamp" root.pem root.key 5 3650 basicConstraints=critical,CA:FALSE
issue under "/CN=Chain Under $stamp" clerk.pem clerk.key 6 30
