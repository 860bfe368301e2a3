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

# --- Decisions read kinds, never sentences ---
# An error's sentence is its rendering only. Outside the code that words it (describe() of each error type, and
# the record decoder wording a parse failure), no code searches an error text or compares one with a text. A
# "message" may also be a JSON-RPC message, so only a text's own searches count for that name.
tail='(\(\))?(\.value_or\([^)]*\))?'
sentence="([A-Za-z_]*([Ss]entence|[Rr]eason|[Ee]rrorText|[Ee]rrorMessage)[A-Za-z_]*${tail}|describe\([^;]*\)|\.error\(\)|what\(\))"
message="[A-Za-z_]*[Mm]essage[A-Za-z_]*${tail}"
text='("|describe\(|tr\(|QString|QLatin1String|QStringLiteral|std::string)'
searched="${sentence}(\.|->)(startsWith|endsWith|starts_with|ends_with|contains|find|rfind|indexOf|compare)\("
searched+="|${message}(\.|->)(startsWith|endsWith|starts_with|ends_with|indexOf|compare)\("
compared="(${sentence}|${message}) *(==|!=) *${text}|\" *(==|!=) *(${sentence}|${message})"
compared+="|(==|!=) *describe\(|describe\([^;]*\) *(==|!=)"
found="$(grep -rnE "${searched}|${compared}" app appinfo async confluence mcp platform state storage ui updater \
  --include='*.h' --include='*.cpp' 2>/dev/null | grep -vE '^[^:]*Error\.cpp:|^confluence/RecordDecoder\.cpp:')"
if [ -n "$found" ]; then
  echo "a decision on an error sentence (read the error's kind instead):"; echo "$found"; status=1
fi

exit "$status"
