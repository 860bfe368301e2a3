#!/bin/sh
# Starts the installed Folioport; the launcher entry and the autostart entry run this. An update swaps bundles by
# renames, so a swap cut short (crash, power cut, logout) can leave the previous bundle whole at BUNDLE.old and
# BUNDLE missing or incomplete: that bundle is put back first. The swap holds the lock .BUNDLE.lock beside the
# bundle while it renames, and so does this while it looks, so a swap under way is waited for, never undone.
# Usage: launch.sh BUNDLE [ARGUMENTS...]      recover if needed, then start BUNDLE with ARGUMENTS
#        launch.sh --recover-only BUNDLE      only recover (the installer's first step)
recover_only=false
if [ "${1:-}" = "--recover-only" ]; then recover_only=true; shift; fi
bundle="$1"; shift

complete() { [ -f "$1/Contents/Info.plist" ] && [ -s "$1/Contents/bin/Folioport" ]; }
# why: a folder the user cannot write to has no swap to wait for, and nothing could be put back there.
if { command exec 9>>"$(dirname -- "$bundle")/.$(basename -- "$bundle").lock"; } 2>/dev/null; then
  flock 9
  if ! complete "$bundle" && complete "$bundle.old"; then
    rm -rf "$bundle" && mv -T "$bundle.old" "$bundle"
  fi
  exec 9>&-
fi
if [ "$recover_only" = false ]; then exec "$bundle/Contents/bin/Folioport" "$@"; fi
