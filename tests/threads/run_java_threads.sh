#!/usr/bin/env bash
# Makes a user's PKCS#12 file with openssl, runs JavaThreads against the built library in fresh
# folders, and has openssl verify every PKCS#7 signature the Java threads wrote.
# Usage: run_java_threads.sh <java> <classpath> <library folder>
set -euo pipefail
java=$1 classpath=$2 libdir=$3
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/home" "$root/state" "$root/tmp" "$root/pfx" "$root/out"
export HOME=$root/home ZYQSEC_HOME=$root/state TMPDIR=$root/tmp ZYQSEC_UI=none
id=J100000001
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$root/pfx/key.pem" -out "$root/pfx/cert.pem" \
  -days 30 -subj "/C=TW/O=Test/CN=$id" 2>/dev/null
openssl pkcs12 -export -inkey "$root/pfx/key.pem" -in "$root/pfx/cert.pem" \
  -out "$root/pfx/user.pfx" -passout pass:java-pass
# ZYQ_JAVA_PRELOAD: a sanitizer runtime that only the virtual machine loads.
LD_PRELOAD=${ZYQ_JAVA_PRELOAD:-${LD_PRELOAD:-}} "$java" -Xcheck:jni -Djava.library.path="$libdir" -cp "$classpath" JavaThreads \
  "$root/pfx" user.pfx java-pass "$id" "$root/pfx/cert.pem" "$root/out" 2>&1 | tee "$root/log"
status=${PIPESTATUS[0]}
if grep -q -e "WARNING in native method" -e "WARNING: ThreadSanitizer" "$root/log"; then
  echo "the virtual machine or the sanitizer reported a fault" >&2
  exit 1
fi
((status == 0)) || exit "$status"
verified=0
for b64 in "$root"/out/sig-*.b64; do
  base=${b64%.b64}
  fold -w 64 "$b64" | openssl base64 -d | openssl cms -verify -noverify -inform DER \
    -out "$base.signed" 2>/dev/null || { echo "openssl rejects $b64" >&2; exit 1; }
  cmp -s "$base.signed" "$base.txt" || { echo "$b64 signs other content" >&2; exit 1; }
  verified=$((verified + 1))
done
((verified > 0)) || { echo "no PKCS#7 signature to verify" >&2; exit 1; }
echo "openssl verified $verified PKCS#7 signatures"
