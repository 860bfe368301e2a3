#!/bin/sh
# Starts the installed Folioport; the launcher entry runs this. An update swaps bundles by renames, so a swap
# cut short (crash, power cut, logout) can leave the previous bundle whole at BUNDLE.old and BUNDLE missing
# or incomplete: that bundle is put back first.
# Usage: launch.sh BUNDLE [ARGUMENTS...]      recover if needed, then start BUNDLE with ARGUMENTS
#        launch.sh --recover-only BUNDLE      only recover (the installer's first step)
recover_only=false
if [ "${1:-}" = "--recover-only" ]; then recover_only=true; shift; fi
bundle="$1"; shift

complete() { [ -f "$1/Contents/Info.plist" ] && [ -s "$1/Contents/bin/Folioport" ]; }
if ! complete "$bundle" && complete "$bundle.old"; then
  rm -rf "$bundle" && mv -T "$bundle.old" "$bundle"
fi
if [ "$recover_only" = false ]; then exec "$bundle/Contents/bin/Folioport" "$@"; fi
