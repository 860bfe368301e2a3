#!/usr/bin/env bash
# Runs a command that verifies HTTPS servers against the given PEM certificate instead of the
# system's certificate bundle.
#
# Usage: tests/e2e/with-test-ca.sh <certificate.pem> <command> [args...]
#
# why: the program has no setting for extra certificate authorities (it trusts the system bundle
# only), so the test certificate is bind-mounted over that bundle in a private mount namespace. A
# nested user namespace hands the command back the caller's own uid, so the D-Bus session bus (and
# the keyring behind it) still accepts it. The command keeps this script's PID.
set -euo pipefail
if [ $# -lt 2 ]; then
  sed -n '2,5p' "$0" >&2
  exit 2
fi
certificate="$(realpath "$1")"
shift
bundle="$(curl-config --ca 2>/dev/null || echo /etc/ssl/certs/ca-certificates.crt)"
exec unshare --user --map-root-user --mount -- /bin/sh -c '
  mount --bind "$1" "$2" || exit 125
  uid=$3 gid=$4
  shift 4
  exec unshare --user --map-user="$uid" --map-group="$gid" -- "$@"' sh "$certificate" "$bundle" "$(id -u)" "$(id -g)" "$@"
