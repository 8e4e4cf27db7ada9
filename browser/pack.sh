#!/usr/bin/env bash
# Packs browser/extension/ into browser/zyqsec-extension.zip, the same bytes every time (sorted
# names, fixed times): the file Firefox installs as an add-on and Chromium-family browsers
# install from policy or the extensions page. `pack.sh --check` fails when the file is stale.
set -euo pipefail
cd "$(dirname "$0")"
out=zyqsec-extension.zip
python3 - "$out.new" <<'PY'
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for name in sorted(os.listdir("extension")):
        info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
        info.external_attr = 0o644 << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        with open(os.path.join("extension", name), "rb") as f:
            z.writestr(info, f.read())
PY
if [[ ${1:-} == --check ]]; then
  cmp -s "$out.new" "$out" || { rm -f "$out.new"; echo "$out is stale: run browser/pack.sh" >&2; exit 1; }
  rm -f "$out.new"
else
  mv "$out.new" "$out"
fi
