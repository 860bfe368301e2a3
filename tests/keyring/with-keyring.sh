#!/usr/bin/env bash
# Usage: tests/keyring/with-keyring.sh [--service=PROGRAM | --no-service] [--run-user] <command> [args...]
# Runs the command against a private, unlocked Secret Service (gnome-keyring on its own session
# bus), with HOME and XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_RUNTIME_DIR in a fresh temporary folder,
# so the user's keyring and preferences are never touched. --service runs PROGRAM as the Secret
# Service instead (it must take the name org.freedesktop.secrets). --no-service starts none, on a bus that
# starts no service on demand, so the command sees the keyring absent until it starts one. --run-user puts the runtime
# folder, and so the bus, where desktop sessions do (/run/user/<uid>/bus), on a private tmpfs in a
# mount namespace of its own (needs unshare; exits with 77 when the machine forbids that). Exits with
# the command's status, or 125 when the private keyring could not be started.
set -euo pipefail
[ $# -gt 0 ] || { sed -n '2,10p' "$0" >&2; exit 2; }
service="" run_user=""
case "${1:-}" in --service=*|--no-service) service="${1#--service=}"; shift ;; esac
case "${1:-}" in
  --run-user) shift
    # why: containers and CI runners often forbid user or mount namespaces; that is the machine's limit, not a
    # fault, so it is reported as a skip (77) with the reason instead of a failure.
    if ! reason="$(unshare --user --map-current-user --mount mount -t tmpfs -o mode=755 folioport-probe /run/user 2>&1)"; then
      echo "with-keyring.sh: skipped: this machine does not allow a private /run/user (${reason:-unshare failed})" >&2
      exit 77
    fi
    service_option="${service:+--service=$service}"
    [ "$service" = --no-service ] && service_option=--no-service
    exec unshare --user --map-current-user --mount "$0" ${service_option:+"$service_option"} --inside-run-user "$@" ;;
  --inside-run-user) run_user=1; shift; mount -t tmpfs -o mode=755 folioport-run-user /run/user ;;
esac

if [ -n "$run_user" ]; then
  root="/run/user/$(id -u)"
  mkdir -p "$root"
else
  root="$(mktemp -d "${TMPDIR:-/tmp}/folioport-keyring.XXXXXX")"
fi
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

runtime="$root/runtime"
[ -n "$run_user" ] && runtime="$root"
mkdir -p "$root/home" "$root/config" "$root/data" "$runtime"
chmod 700 "$runtime"
export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data" XDG_RUNTIME_DIR="$runtime"

bus_config=(--session)
if [ "$service" = --no-service ]; then
  # why: the standard session bus would start gnome-keyring on the first call, so it could never be absent.
  cat > "$root/bus.conf" <<'CONF'
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy>
</busconfig>
CONF
  bus_config=(--config-file="$root/bus.conf")
fi
{ read -r DBUS_SESSION_BUS_ADDRESS; read -r bus_pid; } < <(dbus-daemon "${bus_config[@]}" --fork --nopidfile --nosyslog \
  --address="unix:path=$runtime/bus" --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS

if [ "$service" = --no-service ]; then
  status=0
  "$@" || status=$?
  exit "$status"
elif [ -n "$service" ]; then
  "$service" > "$root/keyring.log" 2>&1 &
else
  # why: a password on stdin creates the login keyring unlocked with no prompt; an empty one does not.
  printf 'folioport-test' | gnome-keyring-daemon --foreground --unlock --components=secrets \
    --control-directory="$runtime/keyring" > "$root/keyring.log" 2>&1 &
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
