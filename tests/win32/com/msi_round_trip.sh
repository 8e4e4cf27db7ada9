#!/usr/bin/env bash
# The installer in a fresh Wine prefix (a copy of a prefix made once and never run): an older
# version installed, then replaced by this one (the major upgrade), the JScript client's request
# step through the installed server, then uninstallation, after which the ProgID no longer
# resolves and no installed file is left.
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

wine msiexec /x "$(winpath new.msi)" /qn
printf '%s\n' 'try { new ActiveXObject("ZYQSecuritiesATL.ZYQapi"); WScript.Echo("created"); }' \
  'catch (e) { WScript.Echo("not created " + (e.number >>> 0).toString(16)); }' > probe.js
probe=$(wine 'C:\windows\syswow64\cscript.exe' //nologo "$(winpath probe.js)" 2>/dev/null | tr -d '\r')
echo "after uninstallation: $probe"
[[ $probe == "not created "* ]]
[[ -z $(installed_versions) ]] || { echo "FAIL: still listed as installed"; exit 1; }
if [[ -e $folder ]]; then
  echo "FAIL: left behind:"
  find "$folder"
  exit 1
fi
echo "uninstalled: the ProgID no longer resolves and no file is left"
