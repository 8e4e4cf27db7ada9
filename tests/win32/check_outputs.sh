#!/usr/bin/env bash
# Linux side of the Windows port tests, after them: `openssl` reads what the port wrote.
set -euo pipefail
dir=$1
cd "$dir"
# The PKCS#12 file written by the port opens with its password and holds the key of the
# certificate.
openssl pkcs12 -in exported.pfx -passin pass:pw5678 -nodes -out exported.pem 2>/dev/null
cert_key=$(openssl x509 -in user.pem -noout -pubkey | openssl pkey -pubin -outform DER | sha256sum)
file_key=$(openssl pkey -in exported.pem -pubout -outform DER | sha256sum)
[[ "$cert_key" == "$file_key" ]] || { echo "exported key does not match"; exit 1; }
openssl x509 -in exported.pem -noout -subject
# The SignedData made with the imported key verifies over its content.
openssl cms -verify -binary -noverify -inform DER -in signed.p7 -content content.txt \
  -out /dev/null
# The PKCS#1 signature verifies with the certificate's key.
openssl dgst -sha1 -verify <(openssl x509 -in user.pem -noout -pubkey) -signature pkcs1.sig \
  content.txt
echo "openssl accepted the port's outputs"
