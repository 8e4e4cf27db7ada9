#!/usr/bin/env bash
# The COM server as Windows programs use it, under Wine:
#   1. `regsvr32` registers a copy of the DLL;
#   2. the JScript and the VBScript clients run under `cscript`, each in two steps around the
#      authority (openssl): a request, then the answer, export, registration and signatures,
#      which openssl checks;
#   3. the C++ client (early and late binding, the type library, safety, aggregation) runs;
#   4. `regsvr32 /u` unregisters, and the classes part of the registry must be exactly as it was
#      before step 1.
#   run_com_clients.sh <ZYQSecuritiesATL.dll> <client .exe> <work folder> <syswow64|system32>
# syswow64 for the 32-bit DLL (the 32-bit regsvr32, cscript and reg), system32 for the 64-bit
# one, whose tools are started with Wine's 64-bit loader: started by the 32-bit one, "system32"
# would lead to the 32-bit tools. WINEPREFIX is set by the caller.
set -euo pipefail
dll=$(realpath "$1")
client=$(realpath "$2")
work=$3
system=$4
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work/files"
cp "$dll" "$work/ZYQSecuritiesATL.dll"
cd "$work"
winpath() { echo "Z:$(realpath "$1" | tr / '\\')"; }
loader=wine
[[ $system == system32 ]] && loader=/usr/lib/wine/wine64
tool() { echo "C:\\windows\\$system\\$1"; }
server=$(winpath ZYQSecuritiesATL.dll)

# The classes as the registry view of this architecture holds them.
export_classes() {
  "$loader" "$(tool reg.exe)" export 'HKLM\Software\Classes' "$(winpath .)\\$1" /y >/dev/null
  iconv -f UTF-16LE -t UTF-8 "$1" | tr -d '\r' > "$1.txt"
}
# The script host registers its own type library the first time it runs in a prefix; run it once
# before the first snapshot so that only the server's entries differ.
printf 'WScript.Echo("ready")\n' > warm.js
"$loader" "$(tool cscript.exe)" //nologo "$(winpath warm.js)" >/dev/null 2>&1 || true
export_classes before.reg
"$loader" "$(tool regsvr32.exe)" /s "$server"
registered=1
unregister() {
  if [[ $registered == 1 ]]; then "$loader" "$(tool regsvr32.exe)" /u /s "$server" || true; fi
}
trap unregister EXIT

# The sentinel line is required: cscript ends with status 0 whatever happens in the script.
run_script() {
  local out
  out=$("$@" 2>/dev/null | tr -d '\r')
  printf '%s\n' "$out" | grep -v '^DATA ' >&2
  if ! tail -n 1 <<<"$out" | grep -Eq '^[1-9][0-9]* passed, 0 failed$'; then
    echo "FAIL: the script did not end with \"<n> passed, 0 failed\"" >&2
    exit 1
  fi
  printf '%s\n' "$out"
}
data() { sed -n "s/^DATA $1 //p" <<<"$2"; }

openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -subj "/CN=Scenario CA" \
  -days 30 2>/dev/null
printf 'keyUsage=digitalSignature,nonRepudiation,keyEncipherment\n' > ext.cnf
printf 'ok\tpassword=Scen#2024\n' > dialogs.txt
printf '%s' "BUY 2330 1000 shares @ 580.00" > order.txt

for script in client.js client.vbs; do
  echo "== $script"
  # A user ID as the certificate's common name gives it back: a letter and nine digits.
  prefix=J
  [[ $script == *.vbs ]] && prefix=V
  user="$prefix$(date +%s%N | tail -c 10)"
  out=$(run_script "$loader" "$(tool cscript.exe)" //nologo "$(winpath "$here/$script")" request "$user")
  data pkcs10 "$out" | base64 -d > "$user.req"
  openssl req -inform DER -in "$user.req" -verify -noout 2>&1 | grep -q 'verify OK'
  # Eight bytes whose first has the high bit clear, so that the integer's bytes are the serial's.
  serial=$(printf '%02X' $((RANDOM % 0x70 + 0x10)))$(openssl rand -hex 7)
  openssl x509 -req -inform DER -in "$user.req" -CA ca.pem -CAkey ca.key \
    -set_serial "0x$serial" -days 30 -extfile ext.cnf -out "$user.pem" 2>/dev/null
  openssl crl2pkcs7 -nocrl -certfile "$user.pem" -certfile ca.pem -outform DER -out "$user.p7b"
  out=$(ZYQSEC_UI="script:$(winpath dialogs.txt)" run_script "$loader" "$(tool cscript.exe)" //nologo \
    "$(winpath "$here/$script")" finish "$user" "$(base64 -w0 "$user.p7b")" "$(winpath files)")
  # What the script got, checked by openssl: the signer's certificate is the one the authority
  # issued, the exported file holds it with its key, both signatures verify.
  cmp <(data cert "$out" | base64 -d) <(openssl x509 -in "$user.pem" -outform DER)
  got=$(data serial "$out")
  [[ ${got^^} == "${serial^^}" ]] || { echo "FAIL: GetCertSerial $got, issued $serial"; exit 1; }
  openssl pkcs12 -in "files/$(data pfx "$out")" -passin pass:Scen#2024 -nodes -out "$user.pfx.pem" \
    2>/dev/null
  cmp <(openssl pkey -in "$user.pfx.pem" -pubout) <(openssl x509 -in "$user.pem" -noout -pubkey)
  data pkcs7 "$out" | base64 -d > "$user.p7"
  if ! openssl cms -verify -binary -inform DER -in "$user.p7" -CAfile ca.pem -out "$user.signed"; then
    echo "FAIL: openssl does not verify the PKCS#7 signature of $script"
    exit 1
  fi
  cmp "$user.signed" order.txt
  data pkcs1 "$out" | base64 -d > "$user.sig"
  openssl dgst -sha1 -verify <(openssl x509 -in "$user.pem" -noout -pubkey) \
    -signature "$user.sig" order.txt
  echo "$script: certificate, PKCS#12 file, PKCS#7 and PKCS#1 signatures checked by openssl"
done

echo "== C++ client"
wine "$client"

"$loader" "$(tool regsvr32.exe)" /u /s "$server"
registered=0
# Unregistering what is not registered is no error.
"$loader" "$(tool regsvr32.exe)" /u /s "$server"
export_classes after.reg
if ! diff before.reg.txt after.reg.txt; then
  echo "FAIL: unregistration left the registry different from before registration"
  exit 1
fi
echo "registration undone without a trace"
