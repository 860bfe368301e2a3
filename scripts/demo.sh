#!/usr/bin/env bash
# Usage: scripts/demo.sh BUILD_DIR
# Starts the tray application of BUILD_DIR in demo mode against the demo site on 127.0.0.1, with its
# settings in a private preferences file and its token in a private keyring, so the user's own
# preferences and keyring items are never read or written. Ends when the application quits.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/demo-lib.sh"

if [ "${1:-}" = "--inside-keyring" ]; then
  store_demo_settings "$2"
  restore_user_session
  "$3" --demo
  exit
fi

build="$(cd "${1:?usage: scripts/demo.sh BUILD_DIR}" && pwd)"
start_demo_site "$build/fake_confluence/fake_confluence"
trap 'kill "$DEMO_SITE_PID" 2>/dev/null' EXIT
echo "Demo: a local Confluence site at $DEMO_SITE_URL; your own settings and keyring are not touched."
echo "Click the document icon in the system tray for the panel; quit from the panel or the icon's menu."
echo "Where the demo cannot reach a tray (its private session bus hides it from trays that use D-Bus, as"
echo "most do), the panel opens as an ordinary window instead, and closing that window ends the demo."
keep_user_session
"$here/../tests/keyring/with-keyring.sh" "$0" --inside-keyring "$DEMO_SITE_URL" \
  "$build/Folioport.app/Contents/bin/Folioport"
