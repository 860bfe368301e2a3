#!/usr/bin/env bash
# Runs one command against a private, unlocked Secret Service (gnome-keyring on its own D-Bus
# session bus), so keyring tests never touch the user's real keyring.
#
# Usage: tests/keyring/with-keyring.sh <command> [args...]
#
# The command runs with DBUS_SESSION_BUS_ADDRESS pointing to the private bus, and with HOME,
# XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_RUNTIME_DIR inside a fresh temporary directory (so the
# preferences file is private too). Afterwards the bus and the keyring daemon started here are
# ended by their PIDs and the directory is removed. The exit status is the command's; 125 means
# the private keyring could not be started.
set -euo pipefail

if [ $# -eq 0 ]; then
  sed -n '2,12p' "$0" >&2
  exit 2
fi

root="$(mktemp -d "${TMPDIR:-/tmp}/folioport-keyring.XXXXXX")"
bus_pid=""
keyring_pid=""
cleanup() {
  [ -n "$keyring_pid" ] && kill "$keyring_pid" 2>/dev/null || true
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null || true
  [ -n "$keyring_pid" ] && wait "$keyring_pid" 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

mkdir -p "$root/home" "$root/config" "$root/data" "$root/runtime"
chmod 700 "$root/runtime"
export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data" XDG_RUNTIME_DIR="$root/runtime"

# The bus forks itself and reports its address and PID on two lines.
{ read -r address; read -r bus_pid; } < <(dbus-daemon --session --fork --nopidfile --nosyslog \
  --address="unix:path=$root/runtime/bus" --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS="$address"

# why: a password on stdin creates the login keyring unlocked with no prompt; an empty one does not.
printf 'folioport-test' | gnome-keyring-daemon --foreground --unlock --components=secrets \
  --control-directory="$root/runtime/keyring" > "$root/keyring.log" 2>&1 &
keyring_pid=$!

# Wait until the Secret Service owns its bus name, so the command never triggers D-Bus activation
# of a second, locked daemon.
for _ in $(seq 1 100); do
  if dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
       org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q 'boolean true'; then
    set +e
    "$@"
    status=$?
    set -e
    exit "$status"
  fi
  kill -0 "$keyring_pid" 2>/dev/null || break
  sleep 0.05
done
echo "with-keyring.sh: the private keyring did not start" >&2
cat "$root/keyring.log" >&2 || true
exit 125
