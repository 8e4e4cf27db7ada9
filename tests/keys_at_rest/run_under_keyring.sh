#!/usr/bin/env bash
# Runs a test program with the master key in a real keyring: a session bus of its own
# (dbus-run-session) and a keyring daemon unlocked with a made-up password in a fresh HOME, so
# that nothing of the user's own session is touched. Every process started here ends with the
# session bus.
#
#   run_under_keyring.sh PROGRAM [ARGS...]
set -euo pipefail

for tool in dbus-run-session gnome-keyring-daemon secret-tool; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/setup.sh installs it)" >&2; exit 1; }
done

root=$(mktemp -d "${TMPDIR:-/tmp}/zyq-keyring-XXXXXX")
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/home" "$root/runtime"
chmod 700 "$root/runtime"
export HOME=$root/home XDG_RUNTIME_DIR=$root/runtime ZYQSEC_KEYRING=required
unset XDG_CONFIG_HOME XDG_DATA_HOME ZYQSEC_KEY_FILE DBUS_SESSION_BUS_ADDRESS

exec dbus-run-session -- bash -c '
  set -euo pipefail
  # Creates the login keyring with this password and unlocks it; the daemon stays on the bus.
  printf %s made-up-password | gnome-keyring-daemon --unlock --components=secrets >/dev/null
  exec "$@"' keyring "$@"
