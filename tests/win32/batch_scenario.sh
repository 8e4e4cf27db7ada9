#!/usr/bin/env bash
# The whole key lifecycle through `wine zyqsec.exe --batch`, against `openssl` as the
# certification authority and as the party that checks every output: enrollment (PKCS#10 and
# the PKCS#7 answer), export to PKCS#12, registration, PKCS#7 and PKCS#1 signatures, import of a
# PKCS#12 file written by openssl.
#   batch_scenario.sh <zyqsec.exe> <work folder>     (WINEPREFIX set by the caller)
set -euo pipefail
exe=$1
work=$2
rm -rf "$work"
mkdir -p "$work/files"
cd "$work"
winpath() { echo "Z:$(realpath "$1" | tr / '\\')"; }
# A batch line: the export's name and its arguments; whole numbers go as integers.
json() {
  python3 -c 'import json,re,sys
print(json.dumps([int(a) if re.fullmatch(r"-?[0-9]+", a) else a for a in sys.argv[1:]], ensure_ascii=False))' "$@"
}
# One batch line per argument (JSON arrays); prints the answers, one per line.
batch() { printf '%s\n' "$@" | wine "$exe" --batch 2>/dev/null | tr -d '\r'; }
field() { python3 -c 'import json,sys; d=json.loads(sys.argv[1]); v=d[sys.argv[2]]; print(v if v is not None else "")' "$1" "$2"; }
expect_code() {
  local line=$1 what=$2
  [[ $(field "$line" code) == 0 ]] || { echo "FAIL $what: $line"; exit 1; }
}

user="U$(date +%s%N | tail -c 10)"
provider="Microsoft Enhanced Cryptographic Provider v1.0"
order="BUY 2330 1000 shares @ 580.00"

# The authority.
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -subj "/CN=Scenario CA" \
  -days 30 2>/dev/null

# 1. The request: a new key in a container of the provider.
mapfile -t out < <(batch '["SetProviderName","'"$provider"'"]' '["SetKeyBits",2048]' \
  '["CreatePKCS10","'"$user"'"]')
expect_code "${out[2]}" CreatePKCS10
field "${out[2]}" result | base64 -d > req.der
openssl req -inform DER -in req.der -verify -noout 2>&1 | grep -q 'verify OK'
echo "request verified by openssl"

# 2. The authority's answer, installed into the personal store.
printf 'keyUsage=digitalSignature,nonRepudiation,keyEncipherment\n' > ext.cnf
openssl x509 -req -inform DER -in req.der -CA ca.pem -CAkey ca.key -set_serial 0x$RANDOM$RANDOM \
  -days 30 -extfile ext.cnf -out user.pem 2>/dev/null
openssl crl2pkcs7 -nocrl -certfile user.pem -certfile ca.pem -outform DER -out answer.p7b
answer=$(base64 -w0 answer.p7b)
mapfile -t out < <(batch "[\"AcceptPKCS7\",\"$answer\"]")
expect_code "${out[0]}" AcceptPKCS7
echo "answer accepted"

# 3. Export to PKCS#12 (the password from the scripted file dialog), register, sign.
printf 'ok\tpassword=Scen#2024\n' > dialogs.txt
folder=$(winpath files)
mapfile -t out < <(ZYQSEC_UI="script:$(winpath dialogs.txt)" batch \
  "$(json ExportPfxFromIE "CN=$user" "$folder" "" 8 0)" '["GetExportedPfxFileName"]')
[[ $(field "${out[0]}" result) == 0 ]] || { echo "FAIL ExportPfxFromIE: ${out[0]}"; exit 1; }
name=$(field "${out[1]}" result)
openssl pkcs12 -in "files/$name" -passin pass:Scen#2024 -nodes -out exported.pem 2>/dev/null
cmp <(openssl x509 -in exported.pem -noout -pubkey) <(openssl x509 -in user.pem -noout -pubkey)
cmp <(openssl pkey -in exported.pem -pubout) <(openssl x509 -in user.pem -noout -pubkey)
echo "PKCS#12 file read by openssl: certificate and its key"

mapfile -t out < <(batch "$(json RegisterPfx "$folder" "$name" "Scen#2024" 3 0 0)" \
  "$(json SignPkcs7 "$user" "$order" $((0x800 | 0x2000)) 0)" \
  "$(json SignPkcs1 "$user" "$order" $((0x800 | 0x100)) 0)")
expect_code "${out[0]}" RegisterPfx
expect_code "${out[1]}" SignPkcs7
expect_code "${out[2]}" SignPkcs1
printf '%s' "$order" > order.txt
field "${out[1]}" result | base64 -d > order.p7
# Attached content: the signed bytes come out of the message and are the order's.
openssl cms -verify -binary -inform DER -in order.p7 -CAfile ca.pem -out signed.txt 2>/dev/null
cmp signed.txt order.txt
echo "PKCS#7 signature verified by openssl"
field "${out[2]}" result | base64 -d > order.sig
openssl dgst -sha1 -verify <(openssl x509 -in user.pem -noout -pubkey) -signature order.sig \
  order.txt
echo "PKCS#1 signature verified by openssl"

# 4. Import of a file that openssl wrote.
openssl req -x509 -newkey rsa:2048 -nodes -keyout other.key -out other.pem \
  -subj "/CN=Imported $user" -days 30 -addext keyUsage=digitalSignature 2>/dev/null
openssl pkcs12 -export -in other.pem -inkey other.key -out files/other.pfx -passout pass:imp0rt \
  -certpbe PBE-SHA1-3DES -keypbe PBE-SHA1-3DES -macalg sha1
mapfile -t out < <(batch "$(json ImportPfxToIE "$folder" other.pfx imp0rt 0 0)" \
  "$(json SelectCertFromIE "CN=Imported $user" 8 0)" '["GetCertSubjectCN"]')
[[ $(field "${out[0]}" result) == 0 ]] || { echo "FAIL ImportPfxToIE: ${out[0]}"; exit 1; }
[[ $(field "${out[1]}" result) == 0 ]] || { echo "FAIL SelectCertFromIE: ${out[1]}"; exit 1; }
[[ $(field "${out[2]}" result) == "Imported $user" ]] || { echo "FAIL: ${out[2]}"; exit 1; }
echo "openssl's PKCS#12 file imported into the personal store"
echo "scenario passed"
