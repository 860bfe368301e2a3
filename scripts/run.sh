#!/usr/bin/env bash
# Sets up the machine, builds Folioport and starts it. The desktop application is not built yet,
# so for now this builds everything and explains how to start and register the MCP server.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build.sh

executable="$PWD/build/Folioport.app/Contents/bin/Folioport"
preferences="${XDG_CONFIG_HOME:-$HOME/.config}/com.tessaly.folioport/preferences.json"

"$executable"
cat <<EOF

What works today is the MCP server, which gives an AI coding assistant tools over your
Confluence pages. The executable is:

    $executable

1. Settings, until the settings window exists. Put your site, e-mail and default space in
   $preferences
   (create the folder first if needed):

    {"baseURL": "https://your-site.atlassian.net", "email": "you@example.com", "spaceKey": "ENG"}

   and store your Atlassian API token in the keyring (paste it when asked):

    secret-tool store --label="Folioport API token" service com.tessaly.folioport account apiToken

2. Register the server with Claude Code, inside the repository where you want it:

    claude mcp add folioport -s project -- "$executable" --mcp

3. Or talk to it by hand (one JSON-RPC message per line, answers on standard output):

    printf '%s\n' '{"jsonrpc":"2.0","id":1,"method":"tools/list"}' | "$executable" --mcp
EOF
