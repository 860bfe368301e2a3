#!/usr/bin/env bash
# Usage: tests/bundle/lay-out-release.sh BUILD_BUNDLE SOURCE_ROOT
# Lays out a copy of the test build's bundle as a release is laid out (scripts/bundle-libraries.sh), checks
# that everything it loads resolves inside it or the baseline (scripts/bundle-check.sh), and that the
# laid-out, stripped executable still answers as an MCP server.
set -euo pipefail
build_bundle="$1" source_root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp -R "$build_bundle" "$work/Folioport.app"
"$source_root/scripts/bundle-libraries.sh" "$work/Folioport.app"
"$source_root/scripts/bundle-check.sh" "$work/Folioport.app"

answer="$(printf '%s\n' '{"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-03-26"}}' |
  env -i HOME="$work" XDG_CONFIG_HOME="$work/config" "$work/Folioport.app/Contents/bin/Folioport" --mcp 2>"$work/stderr")"
case "$answer" in
  *'"id":1'*'"serverInfo"'*|*'"serverInfo"'*'"id":1'*) ;;
  *) echo "the laid-out Folioport --mcp did not answer initialize: $answer $(cat "$work/stderr")" >&2; exit 1 ;;
esac
echo "the laid-out bundle answers initialize: $(du -sh "$work/Folioport.app" | cut -f1) unpacked"
