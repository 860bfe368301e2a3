#!/usr/bin/env bash
# Installs Folioport for the current user, into a folder the user owns (so that updates can replace it), with
# a launcher entry and the icon in the user's icon theme. Needs nothing a desktop lacks (tar, coreutils).
# Usage: install.sh [Folioport.app | Folioport-<version>.tar.gz | Folioport-<version>.zip]
#   default: the Folioport.app beside this script (an unpacked download), else build-package/dist/Folioport.app
#   FOLIOPORT_INSTALL_DIR   where the bundle goes (default ~/Applications)
# An archive with a "<archive>.sha256" file beside it is checked against it first. What it adds is listed in
# ~/.local/share/folioport/installed, which uninstall.sh (copied there too) removes again.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
if [ $# -gt 0 ]; then source_path="$1"
elif [ -d "$here/Folioport.app" ]; then source_path="$here/Folioport.app"
else source_path="$here/../build-package/dist/Folioport.app"; fi
install_dir="${FOLIOPORT_INSTALL_DIR:-$HOME/Applications}"
data="${XDG_DATA_HOME:-$HOME/.local/share}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

case "$source_path" in
  *.tar.gz|*.tgz|*.zip)
    if [ -f "$source_path.sha256" ]; then
      (cd "$(dirname "$source_path")" && sha256sum --check --quiet "$(basename "$source_path").sha256")
    fi
    case "$source_path" in
      *.zip)
        command -v bsdtar >/dev/null ||
          { echo "install.sh: unpacking a .zip needs bsdtar; install from the Folioport-<version>.tar.gz download instead" >&2; exit 1; }
        bsdtar -x -f "$source_path" -C "$work" ;;
      *) tar -x -z -f "$source_path" -C "$work" --no-same-owner ;;
    esac
    bundle="$(find "$work" -mindepth 1 -maxdepth 2 -name 'Folioport.app' -type d | head -1)" ;;
  *) bundle="$work/Folioport.app"; cp -R "$source_path" "$bundle" ;;
esac
if [ -z "$bundle" ] || [ ! -f "$bundle/Contents/Info.plist" ] || [ ! -x "$bundle/Contents/bin/Folioport" ]; then
  echo "install.sh: $source_path holds no Folioport.app bundle" >&2
  exit 1
fi

# Every folder and file this adds, so that uninstalling removes exactly these.
record="$data/folioport/installed"
added=()
make_folder() {  # mkdir -p that notes each folder it creates
  local missing=() folder="$1"
  while [ ! -d "$folder" ]; do missing=("$folder" "${missing[@]}"); folder="$(dirname "$folder")"; done
  # why: updates refuse a folder that others can write to, whatever the umask would make of it.
  for folder in "${missing[@]}"; do mkdir -m 755 "$folder"; added+=("$folder/"); done
}

# The same swap as an update makes: the new bundle is copied beside the installed one first, so that the
# swap itself is renames only; an earlier swap cut short is recovered before anything else. The renames hold
# the lock that an update's swap and the launcher take, so a launch never sees them half done.
target="$install_dir/Folioport.app"
make_folder "$install_dir"
launcher_dir="$data/folioport"
make_folder "$launcher_dir"
for script in launch.sh uninstall.sh; do
  cp "$here/$script" "$launcher_dir/$script.new" && mv -T "$launcher_dir/$script.new" "$launcher_dir/$script"
  added+=("$launcher_dir/$script")
done
launcher="$launcher_dir/launch.sh"
sh "$launcher" --recover-only "$target"
rm -rf "$target.new"
mv "$bundle" "$target.new"
exec 9>>"$install_dir/.Folioport.app.lock"
flock 9
rm -rf "$target.old"
if [ -e "$target" ]; then mv -T "$target" "$target.old"; fi
mv -T "$target.new" "$target"
rm -rf "$target.old"
exec 9>&-
added+=("$target")

# The icon in every rendered size and as SVG, under the name the launcher entry gives.
icons="$data/icons/hicolor"
for png in "$target/Contents/Resources/png/folioport-"*.png; do
  size="${png##*-}"; size="${size%.png}"
  make_folder "$icons/${size}x${size}/apps"
  cp "$png" "$icons/${size}x${size}/apps/com.tessaly.folioport.png"
  added+=("$icons/${size}x${size}/apps/com.tessaly.folioport.png")
done
make_folder "$icons/scalable/apps"
cp "$target/Contents/Resources/folioport.svg" "$icons/scalable/apps/com.tessaly.folioport.svg"
added+=("$icons/scalable/apps/com.tessaly.folioport.svg")
touch "$icons"  # why: GTK and Qt reread a theme folder whose time changed

applications="$data/applications"
make_folder "$applications"
entry="$applications/com.tessaly.folioport.desktop"
executable="$target/Contents/bin/Folioport"
sed -e "s|^Exec=.*|Exec=/bin/sh \"$launcher\" \"$target\"|" \
  "$target/Contents/Resources/com.tessaly.folioport.desktop" > "$entry"
added+=("$entry")

added+=("$record")
{ [ -f "$record" ] && cat "$record"; printf '%s\n' "${added[@]}"; } | awk '!seen[$0]++' > "$record.new"
mv -T "$record.new" "$record"

echo "Installed $target"
echo "Launcher entry: $entry (Folioport is in the application menu)"
echo "MCP server for an AI coding assistant: \"$executable\" --mcp"
echo "  for Claude Code, in a repository: claude mcp add folioport -s project -- \"$executable\" --mcp"
echo "To uninstall: $launcher_dir/uninstall.sh"
