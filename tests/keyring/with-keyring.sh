#!/usr/bin/env bash
# Usage: tests/keyring/with-keyring.sh [--service=PROGRAM] <command> [args...]
# Runs the command against a private, unlocked Secret Service (gnome-keyring on its own session
# bus), with HOME and XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_RUNTIME_DIR in a fresh temporary folder,
# so the user's keyring and preferences are never touched. --service runs PROGRAM as the Secret
# Service instead (it must take the name org.freedesktop.secrets). Exits with the command's status,
# or 125 when the private keyring could not be started.
set -euo pipefail
[ $# -gt 0 ] || { sed -n '2,7p' "$0" >&2; exit 2; }
service=""
case "$1" in --service=*) service="${1#--service=}"; shift ;; esac

root="$(mktemp -d "${TMPDIR:-/tmp}/folioport-keyring.XXXXXX")"
bus_pid="" keyring_pid=""
cleanup() {
  set +e
  [ -n "$keyring_pid" ] && kill "$keyring_pid" 2>/dev/null && wait "$keyring_pid" 2>/dev/null
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null
  rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

mkdir -p "$root/home" "$root/config" "$root/data" "$root/runtime"
chmod 700 "$root/runtime"
export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data" XDG_RUNTIME_DIR="$root/runtime"

{ read -r DBUS_SESSION_BUS_ADDRESS; read -r bus_pid; } < <(dbus-daemon --session --fork --nopidfile --nosyslog \
  --address="unix:path=$root/runtime/bus" --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS

if [ -n "$service" ]; then
  "$service" > "$root/keyring.log" 2>&1 &
else
  # why: a password on stdin creates the login keyring unlocked with no prompt; an empty one does not.
  printf 'folioport-test' | gnome-keyring-daemon --foreground --unlock --components=secrets \
    --control-directory="$root/runtime/keyring" > "$root/keyring.log" 2>&1 &
fi
keyring_pid=$!

# why: run only once the daemon owns its name, or the command would activate a second, locked one.
for _ in $(seq 1 100); do
  if dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
       org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q 'boolean true'; then
    status=0
    "$@" || status=$?
    exit "$status"
  fi
  kill -0 "$keyring_pid" 2>/dev/null || break
  sleep 0.05
done
echo "with-keyring.sh: the private keyring did not start" >&2
cat "$root/keyring.log" >&2 || true
exit 125
