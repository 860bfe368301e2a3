#!/usr/bin/env bash
# Installs Folioport for the current user, into a folder the user owns (so that updates can replace it),
# with a launcher entry for the desktop's application menu.
# Usage: scripts/install.sh [ARCHIVE.zip | Folioport.app]   (default: build-package/dist/Folioport.app from package.sh)
#   FOLIOPORT_INSTALL_DIR   where the bundle goes (default ~/Applications)
# An archive with a "<archive>.sha256" file beside it is checked against it first.
set -euo pipefail

source_path="${1:-$(dirname "$0")/../build-package/dist/Folioport.app}"
install_dir="${FOLIOPORT_INSTALL_DIR:-$HOME/Applications}"
applications="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

case "$source_path" in
  *.zip)
    if [ -f "$source_path.sha256" ]; then
      (cd "$(dirname "$source_path")" && sha256sum --check --quiet "$(basename "$source_path").sha256")
    fi
    bsdtar -x -f "$source_path" -C "$work"
    bundle="$(find "$work" -mindepth 1 -maxdepth 1 -name '*.app' | head -1)" ;;
  *) bundle="$work/Folioport.app"; cp -R "$source_path" "$bundle" ;;
esac
if [ -z "$bundle" ] || [ ! -f "$bundle/Contents/Info.plist" ] || [ ! -x "$bundle/Contents/bin/Folioport" ]; then
  echo "install.sh: $source_path holds no Folioport.app bundle" >&2
  exit 1
fi

# The same swap as an update makes: the new bundle is copied beside the installed one first, so that the
# swap itself is renames only; an earlier swap cut short is recovered before anything else.
target="$install_dir/Folioport.app"
# why: updates refuse a folder that others can write to, whatever the umask made of it.
mkdir -p -m 755 "$install_dir"
launcher_dir="${XDG_DATA_HOME:-$HOME/.local/share}/folioport"
mkdir -p "$launcher_dir"
cp "$(dirname "$0")/launch.sh" "$launcher_dir/launch.sh.new" && mv -T "$launcher_dir/launch.sh.new" "$launcher_dir/launch.sh"
launcher="$launcher_dir/launch.sh"
sh "$launcher" --recover-only "$target"
rm -rf "$target.new" "$target.old"
mv "$bundle" "$target.new"
if [ -e "$target" ]; then mv -T "$target" "$target.old"; fi
mv -T "$target.new" "$target"
rm -rf "$target.old"

mkdir -p "$applications"
entry="$applications/com.tessaly.folioport.desktop"
executable="$target/Contents/bin/Folioport"
exec_line="/bin/sh \"$launcher\" \"$target\""
icon="$target/Contents/Resources/folioport.svg"
if [ -f "$target/Contents/Resources/com.tessaly.folioport.desktop" ]; then
  sed -e "s|^Exec=.*|Exec=$exec_line|" -e "s|^Icon=.*|Icon=$icon|" \
    "$target/Contents/Resources/com.tessaly.folioport.desktop" > "$entry"
else
  printf '[Desktop Entry]\nType=Application\nName=Folioport\nExec=%s\nIcon=%s\nTerminal=false\n' \
    "$exec_line" "$icon" > "$entry"
fi
if command -v update-desktop-database >/dev/null; then update-desktop-database -q "$applications" || true; fi

echo "Installed $target"
echo "Launcher entry: $entry"
echo "MCP server for an AI coding assistant: \"$executable\" --mcp"
