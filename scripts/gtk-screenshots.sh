#!/usr/bin/env bash
# Takes the pictures of the GTK dialogs for docs/screenshots/linux/: every template (201, 202 in
# file and folder mode, 203, 204) and both pickers, as the GTK dialog tests show them under Xvfb
# with the Chinese (Taiwan) locale. Needs a build with ui_gtk_tests, xvfb, xauth and a CJK font
# (fonts-noto-cjk).
#
#   bash scripts/gtk-screenshots.sh [build folder] [output folder]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=${2:-$root/docs/screenshots/linux}
program=$build/tests/ui_gtk/ui_gtk_tests
[[ -x $program ]] || { echo "no $program: cmake --build $build --target ui_gtk_tests" >&2; exit 1; }
fc-list :lang=zh-tw family | grep -q . || { echo "no Chinese (Taiwan) font installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$out"
out=$(cd "$out" && pwd)
cd "$work"  # the file choosers list the current folder
# A home of its own, so the file choosers show no bookmarks or recent files of this machine.
HOME=$work/home LANG=zh_TW.UTF-8 LC_ALL=zh_TW.UTF-8 ZYQSEC_TEST_BINARY_DIR=$work \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$program" >"$work/log" 2>&1 || {
  cat "$work/log" >&2
  exit 1
}

# The tests' picture names, and the names the Windows pictures have.
while read -r shot name; do
  cp "$work/screenshots/$shot.png" "$out/$name.png"
  echo "$out/$name.png"
done <<'NAMES'
201-certificate-list 201
202-register 202-file
202-export-folder 202-folder
203-change-password 203
204-folder 204
202-browse-file open-file-picker
204-folder-picker folder-picker
NAMES
