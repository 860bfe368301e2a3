#!/usr/bin/env bash
# Usage: ./scripts/run.sh [--demo]
# Sets up the machine, builds Folioport and starts the tray application. With no Confluence site stored
# yet, or with --demo, it starts the demo: a local demo site and settings kept apart from your own.
set -euo pipefail
cd "$(dirname "$0")/.."
demo=false
case "${1:-}" in
  --demo) demo=true ;;
  "") ;;
  *) sed -n '2,4p' "$0" >&2; exit 2 ;;
esac

./scripts/setup.sh
cmake -S . -B build -G Ninja -DFOLIOPORT_BUILD_TESTS=ON >/dev/null
cmake --build build --target Folioport fake_confluence

executable="$PWD/build/Folioport.app/Contents/bin/Folioport"
preferences="${XDG_CONFIG_HOME:-$HOME/.config}/com.tessaly.folioport/preferences.json"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat <<EOF
There is no graphical display here, so the tray application cannot start; the MCP server, which gives
an AI coding assistant tools over your Confluence pages, needs none:

1. Store your settings: put your site, e-mail and default space in
   $preferences
   (create the folder first if needed):

    {"baseURL": "https://your-site.atlassian.net", "email": "you@example.com", "spaceKey": "ENG"}

   and your Atlassian API token in the keyring (paste it when asked):

    secret-tool store --label="Folioport API token" service com.tessaly.folioport account apiToken

2. Register the server with Claude Code, inside the repository where you want it:

    claude mcp add folioport -s project -- "$executable" --mcp

3. Or talk to it by hand (one JSON-RPC message per line, answers on standard output):

    printf '%s\n' '{"jsonrpc":"2.0","id":1,"method":"tools/list"}' | "$executable" --mcp
EOF
  exit 1
fi

if ! $demo && ! grep -Eq '"baseURL"[[:space:]]*:[[:space:]]*"[^"[:space:]]' "$preferences" 2>/dev/null; then
  echo "No Confluence site is stored yet, so this is the demo; \"$executable\" starts your own."
  demo=true
fi
if $demo; then
  exec ./scripts/demo.sh build
fi
exec "$executable"
