#!/usr/bin/env bash
# Removes what install.sh added (the bundle, the launcher entry and its script, the icons, the folders it
# made) and the autostart entry that "Launch at login" writes. The settings and the API token stay, so a
# later install finds them, unless asked.
# Usage: uninstall.sh [--forget-settings]
#   --forget-settings   also delete the preferences file and the API token in the keyring
# install.sh copies this script to ~/.local/share/folioport/uninstall.sh.
set -euo pipefail

forget=false
case "${1:-}" in
  "") ;;
  --forget-settings) forget=true ;;
  *) sed -n '5,6p' "$0" >&2; exit 2 ;;
esac
data="${XDG_DATA_HOME:-$HOME/.local/share}"
config="${XDG_CONFIG_HOME:-$HOME/.config}"
record="$data/folioport/installed"
[ -f "$record" ] || { echo "uninstall.sh: Folioport is not installed for this user ($record is missing)" >&2; exit 1; }

# Newest first: files before the folders that held them; a folder goes only when nothing else is in it.
tac "$record" | while IFS= read -r path; do
  case "$path" in
    */) rmdir --ignore-fail-on-non-empty "${path%/}" 2>/dev/null || true ;;
    # why: beside the bundle, the launcher's lock and what an update cut short leaves belong to it too
    *.app) rm -rf "$path" "$path.old" "$path.new" "$(dirname "$path")/.$(basename "$path").lock" \
             "$(dirname "$path")/.$(basename "$path").update-failed" "$(dirname "$path")"/.FolioportUpdate-* ;;
    *) rm -f "$path" ;;
  esac
done
rm -f "$config/autostart/com.tessaly.folioport.desktop"
echo "Folioport is uninstalled."

if [ "$forget" = true ]; then
  rm -rf "$config/com.tessaly.folioport"
  if command -v secret-tool >/dev/null && secret-tool clear service com.tessaly.folioport account apiToken 2>/dev/null; then
    echo "Its preferences and its API token are deleted."
  else
    echo "Its preferences are deleted. Delete the API token (\"com.tessaly.folioport\") in your keyring's"
    echo "application (Passwords and Keys, or KWalletManager): secret-tool is missing or the keyring did not answer."
  fi
else
  echo "Your settings and the API token stay; \"uninstall.sh --forget-settings\" deletes them too."
fi
