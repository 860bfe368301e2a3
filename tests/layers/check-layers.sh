#!/usr/bin/env bash
# Usage: tests/layers/check-layers.sh <source root>
# Keeps the layers one-way: the core (no Qt) never includes Qt, no layer includes app/, which holds only
# the entry point and the application scene, and ui/ stays above the store. Prints each offending line.
set -uo pipefail
cd "$1"
status=0
offences() {
  local what="$1" pattern="$2"; shift 2
  local found
  found="$(grep -rnE "$pattern" "$@" --include='*.h' --include='*.cpp' 2>/dev/null)"
  if [ -n "$found" ]; then echo "$what:"; echo "$found"; status=1; fi
}
offences "Qt in the core" '#include <Q' storage platform confluence appinfo mcp
offences "a layer reaching up into app/" '#include "app/' storage platform confluence appinfo mcp async state updater ui

# Widgets ask the store and the updater; the system's services, the MCP server and the REST client are reached
# through them, or handed in by app/, which assembles the windows.
offences "ui reaching the platform layer" '#include "platform/' ui
offences "ui reaching the MCP server" '#include "mcp/' ui
offences "ui reaching the REST client" '#include "confluence/(ConfluenceClient|SiteRequest)\.h"' ui
exit "$status"
