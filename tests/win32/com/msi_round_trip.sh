#!/usr/bin/env bash
# The installer in a fresh Wine prefix (a copy of a prefix made once and never run): an older
# version installed, then replaced by this one (the major upgrade), the JScript client's request
# step through the installed server, the browsers' native messaging keys naming the installed
# host manifests and the installed host answering a framed request, then uninstallation, after
# which the ProgID no longer resolves, the browsers' keys are gone and no installed file is left.
#   msi_round_trip.sh <root> <32-bit dist folder> <work folder> <template prefix> <version>
set -euo pipefail
root=$1
dist32=$(realpath "$2")
work=$3
template=$4
version=$5
build_msi=$root/packaging/msi/build-msi.sh
export WINEDEBUG=-all LANG=zh_TW.UTF-8

# The template: made once (wineboot), then only copied. Wine rewrites its registry files in
# place, so those and the user's folder are copied for real; the rest is hard-linked.
if [[ ! -f $template/system.reg ]]; then
  rm -rf "$template"
  WINEPREFIX=$template wineboot -i </dev/null >/dev/null 2>&1
  WINEPREFIX=$template wineserver -w
fi
rm -rf "$work"
mkdir -p "$work"
cd "$work"
cp -al "$template" prefix
for f in prefix/*.reg; do cp --remove-destination "$template/${f#prefix/}" "$f"; done
rm -rf prefix/drive_c/users
cp -a "$template/drive_c/users" prefix/drive_c/users
export WINEPREFIX=$work/prefix
trap 'wineserver -k 2>/dev/null || true' EXIT
winpath() { echo "Z:$(realpath "$1" | tr / '\\')"; }

# The older version: the same files under a lower version number. Windows Installer compares
# only the first three fields of a version, so the third is the one lowered.
IFS=. read -r major minor patch tweak <<<"$version"
((patch > 0)) || { echo "FAIL: no older version below $version to test the upgrade with"; exit 1; }
older=$major.$minor.$((patch - 1)).$tweak
bash "$build_msi" old.msi "$older" "$dist32"
bash "$build_msi" new.msi "$version" "$dist32"

installed_versions() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:32 2>/dev/null |
    tr -d '\r' | awk '/DisplayName/ && /ZYQSecuritiesATL/ {found=1; next}
                      found && /DisplayVersion/ {print $NF; found=0}'
}
folder="$WINEPREFIX/drive_c/Program Files (x86)/ZYQSecuritiesATL"
[[ -d $WINEPREFIX/drive_c/Program\ Files\ \(x86\) ]] || folder="$WINEPREFIX/drive_c/Program Files/ZYQSecuritiesATL"

wine msiexec /i "$(winpath old.msi)" /qn
wine msiexec /i "$(winpath new.msi)" /qn
[[ $(installed_versions) == "$version" ]] || {
  echo "FAIL: installed versions after the upgrade: $(installed_versions | tr '\n' ' ')"
  exit 1
}
for f in ZYQSecuritiesATL.dll zyqsec.exe docs/com.md docs/windows.md; do
  [[ -f $folder/$f ]] || { echo "FAIL: $f not installed"; exit 1; }
done
echo "installed $version over $older"

# The installed server answers the script client.
script=$(winpath "$root/tests/win32/com/client.js")
out=$(wine 'C:\windows\syswow64\cscript.exe' //nologo "$script" request "M$(date +%s%N | tail -c 10)" \
  2>/dev/null | tr -d '\r')
tail -n 1 <<<"$out"
tail -n 1 <<<"$out" | grep -Eq '^[1-9][0-9]* passed, 0 failed$' || { echo "$out"; exit 1; }

# The browsers find the host: each key's default value is the full path of an installed host
# manifest, whose "path" (relative to the manifest) names the installed host program.
host=com.zyqsecurities.zyqsec
browser_keys=('HKLM\Software\Google\Chrome\NativeMessagingHosts'
              'HKLM\Software\Chromium\NativeMessagingHosts'
              'HKLM\Software\Mozilla\NativeMessagingHosts')
for key in "${browser_keys[@]}"; do
  manifest=$(wine reg query "$key\\$host" /ve /reg:32 2>/dev/null | tr -d '\r' |
    LC_ALL=C sed -n 's/.*REG_SZ[[:space:]]*//p')
  [[ -n $manifest ]] || { echo "FAIL: no $key\\$host"; exit 1; }
  unix_manifest=$(winepath -u "$manifest" 2>/dev/null)
  program=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["path"])' \
    "$unix_manifest") || { echo "FAIL: $key names $manifest, not a host manifest"; exit 1; }
  [[ -f $(dirname "$unix_manifest")/$program ]] ||
    { echo "FAIL: $manifest names $program, which is not installed beside it"; exit 1; }
done
echo "browser keys: ${#browser_keys[@]} name installed host manifests"

# The installed host answers a framed version request byte for byte, as a browser starts it
# (by its path, with the caller as the argument). The request's length has a ^Z (0x1A) byte and
# the answer's length a line feed (0x0A) byte, which text-mode standard streams would end the
# input at or write as CR LF.
python3 - "$folder/zyqsec-native-host.exe" <<'PY'
import json, struct, subprocess, sys

def padded_to(n, low):  # the least length >= n whose low byte is `low`
    return n + ((low - n) % 256)

def ask(identity):
    body = json.dumps({"id": identity, "origin": "https://quotes.example", "op": "GetVersion",
                       "args": []}).encode()
    body += b" " * (padded_to(len(body), 0x1A) - len(body))
    caller = "chrome-extension://gadbacgoajfhdmkcgapplolnaepophak/"
    run = subprocess.run(["wine", sys.argv[1], caller], capture_output=True, timeout=120,
                         input=struct.pack("<I", len(body)) + body)
    out = run.stdout
    if len(out) < 4 or struct.unpack("<I", out[:4])[0] != len(out) - 4 or run.returncode != 0:
        sys.exit(f"FAIL: the host answered {out[:80]!r}... (exit {run.returncode})")
    answer = json.loads(out[4:])
    if answer["id"] != identity or answer["code"] != 0 or not answer["result"]:
        sys.exit(f"FAIL: the host answered {answer}")
    return len(out) - 4, answer

first, _ = ask("a")
length, answer = ask("a" * (1 + padded_to(first, 0x0A) - first))
assert length % 256 == 0x0A, length
print(f"native host: version {answer['result']} in a {length}-byte answer")
PY

wine msiexec /x "$(winpath new.msi)" /qn
printf '%s\n' 'try { new ActiveXObject("ZYQSecuritiesATL.ZYQapi"); WScript.Echo("created"); }' \
  'catch (e) { WScript.Echo("not created " + (e.number >>> 0).toString(16)); }' > probe.js
probe=$(wine 'C:\windows\syswow64\cscript.exe' //nologo "$(winpath probe.js)" 2>/dev/null | tr -d '\r')
echo "after uninstallation: $probe"
[[ $probe == "not created "* ]]
[[ -z $(installed_versions) ]] || { echo "FAIL: still listed as installed"; exit 1; }
for key in "${browser_keys[@]}"; do
  if wine reg query "$key\\$host" /reg:32 >/dev/null 2>&1; then
    echo "FAIL: $key\\$host left behind"
    exit 1
  fi
done
if [[ -e $folder ]]; then
  echo "FAIL: left behind:"
  find "$folder"
  exit 1
fi
echo "uninstalled: the ProgID no longer resolves, the browser keys are gone and no file is left"
