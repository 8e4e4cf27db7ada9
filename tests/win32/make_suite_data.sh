#!/usr/bin/env bash
# Linux side of the shared suites' Windows runs, before them: the files MakeUserPfx makes with
# the openssl command on Linux (tests/registration/UserPfxOpenSsl.cpp, the same commands), one
# folder per line of the list, users/<n>/, with users/index.txt naming each folder's line.
#   make_suite_data.sh <list> <folder>
set -euo pipefail
list=$(realpath "$1")
dir=$2
rm -rf "$dir"
mkdir -p "$dir/users"
cd "$dir"
# authority <folder> <subject>: the test authority, made once.
authority() {
  [[ -f $1/ca.pem ]] && return
  mkdir -p "$1"
  openssl req -x509 -newkey rsa:1024 -nodes -keyout "$1/ca.key" -out "$1/ca.pem" -days 3650 \
    -subj "$2" -addext basicConstraints=critical,CA:TRUE \
    -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
}
n=0
while IFS= read -r line; do
  [[ -z $line || $line == \#* ]] && continue
  IFS='|' read -r cn password file usage include days other <<<"$line"
  ca=ca
  subject="/C=TW/O=Test/CN=Test CA"
  [[ $other == 1 ]] && ca=ca2 subject="/C=TW/O=Other Test/CN=Other Test CA"
  authority "$ca" "$subject"
  n=$((n + 1))
  user=users/$n
  mkdir -p "$user"
  if [[ -z $usage ]]; then echo "basicConstraints=CA:FALSE"; else echo "keyUsage=$usage"; fi \
    >"$user/ext.cnf"
  openssl req -new -newkey rsa:1024 -nodes -utf8 -keyout "$user/key.pem" -out "$user/req.csr" \
    -subj "/C=TW/O=Test/CN=$cn" 2>/dev/null
  openssl x509 -req -in "$user/req.csr" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -CAcreateserial \
    -days "$days" -extfile "$user/ext.cnf" -out "$user/cert.pem" 2>/dev/null
  extra=()
  [[ $include == 1 ]] && extra=(-certfile "$ca/ca.pem")
  openssl pkcs12 -export -inkey "$user/key.pem" -in "$user/cert.pem" -out "$user/$file" \
    -passout "pass:$password" "${extra[@]}"
  printf '%s|%s\n' "$n" "$line" >>users/index.txt
done <"$list"
