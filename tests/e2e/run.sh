#!/usr/bin/env bash
# Runs the end-to-end tests of `Folioport --mcp` with the official MCP client, against the fake
# Confluence site over HTTPS, with the token in a private gnome-keyring.
#
# Usage: tests/e2e/run.sh [--run-user] <Folioport binary> <fake_confluence binary> [test files...]
# --run-user puts the keyring's session bus at /run/user/<uid>/bus (see tests/keyring/with-keyring.sh).
set -euo pipefail
keyring_options=()
if [ "${1:-}" = --run-user ]; then keyring_options=(--run-user); shift; fi
if [ $# -lt 2 ]; then
  sed -n '2,7p' "$0" >&2
  exit 2
fi
here="$(cd "$(dirname "$0")" && pwd)"
FOLIOPORT_BIN="$(realpath "$1")"
FAKE_CONFLUENCE_BIN="$(realpath "$2")"
export FOLIOPORT_BIN FAKE_CONFLUENCE_BIN
shift 2

"$here/install.sh"
cd "$here"
if [ $# -eq 0 ]; then set -- ./*.test.mjs; fi
exec "$here/../keyring/with-keyring.sh" "${keyring_options[@]}" node --test "$@"
