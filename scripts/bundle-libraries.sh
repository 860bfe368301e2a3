#!/usr/bin/env bash
# Makes a Folioport.app self-contained, in place: copies the Qt plugins a desktop needs into
# Contents/plugins/ and every library that the executable, Contents/lib and those plugins need, outside
# the baseline of packaging/baseline-libraries.txt, into Contents/lib/; points every run path at the
# bundle ($ORIGIN), writes Contents/bin/qt.conf so Qt looks for plugins only there, and strips it all.
# Usage: scripts/bundle-libraries.sh BUNDLE
# Needs readelf, strip (binutils) and patchelf. scripts/package.sh and the test suite both lay out
# bundles with it, and scripts/bundle-check.sh checks the result.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bundle="${1:?usage: bundle-libraries.sh BUNDLE}"
[ -x "$bundle/Contents/bin/Folioport" ] || { echo "bundle-libraries.sh: $bundle has no Contents/bin/Folioport" >&2; exit 1; }
source "$here/bundle-baseline.sh"
lib="$bundle/Contents/lib"
plugins="$bundle/Contents/plugins"
mkdir -p "$lib" "$plugins"

# What a desktop needs from Qt's plugins: X11 and Wayland (with the xdg shell, window decorations and GL),
# typing through the compose key and IBus, SVG images and icons, and the GTK 3 and portal themes so that
# the look and the file dialogs follow the desktop.
qt_plugins="$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)"
for plugin in \
  platforms/libqxcb.so platforms/libqwayland-generic.so platforms/libqwayland-egl.so \
  wayland-shell-integration/libxdg-shell.so wayland-decoration-client/libbradient.so \
  wayland-graphics-integration-client/libqt-plugin-wayland-egl.so \
  xcbglintegrations/libqxcb-glx-integration.so xcbglintegrations/libqxcb-egl-integration.so \
  platforminputcontexts/libcomposeplatforminputcontextplugin.so \
  platforminputcontexts/libibusplatforminputcontextplugin.so \
  imageformats/libqsvg.so iconengines/libqsvgicon.so \
  platformthemes/libqgtk3.so platformthemes/libqxdgdesktopportal.so; do
  [ -f "$qt_plugins/$plugin" ] || { echo "bundle-libraries.sh: the Qt plugin $qt_plugins/$plugin is missing" >&2; exit 1; }
  mkdir -p "$plugins/$(dirname "$plugin")"
  cp -L "$qt_plugins/$plugin" "$plugins/$plugin"
done

# Where the loader of this machine finds each library name (x86-64 only).
declare -A system_path
while read -r soname path; do
  [ -n "${system_path[$soname]:-}" ] || system_path[$soname]="$path"
done < <(ldconfig -p | awk '/x86-64/ { print $1, $NF }')

needed() { readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'; }

# Libraries the program opens itself rather than through the loader (libplist, when it reads a property
# list), so that no object names them as needs; outside the baseline they go into the bundle too.
for soname in libplist-2.0.so.3; do
  in_baseline "$soname" && continue
  [ -n "${system_path[$soname]:-}" ] || { echo "bundle-libraries.sh: $soname is not on this machine" >&2; exit 1; }
  cp -L "${system_path[$soname]}" "$lib/$soname"
  chmod u+w "$lib/$soname"
done

# The closure: every object's needs, breadth first; a library outside the baseline is copied once.
mapfile -t queue < <(find "$bundle/Contents/bin/Folioport" "$lib" "$plugins" -type f \( -name Folioport -o -name '*.so*' \))
while [ ${#queue[@]} -gt 0 ]; do
  object="${queue[0]}"; queue=("${queue[@]:1}")
  for soname in $(needed "$object"); do
    in_baseline "$soname" && continue
    [ -e "$lib/$soname" ] && continue
    source_file="${system_path[$soname]:-}"
    [ -n "$source_file" ] || { echo "bundle-libraries.sh: $soname (needed by $object) is not on this machine" >&2; exit 1; }
    cp -L "$source_file" "$lib/$soname"
    chmod u+w "$lib/$soname"
    queue+=("$lib/$soname")
  done
done

# why: RUNPATH applies only to an object's own needs, so every object gets one; none keeps a path of the
# machine it was built on.
patchelf --set-rpath '$ORIGIN/../lib' "$bundle/Contents/bin/Folioport"
for object in "$lib"/*.so*; do patchelf --set-rpath '$ORIGIN' "$object"; done
find "$plugins" -name '*.so' -exec patchelf --set-rpath '$ORIGIN/../../lib' {} +
strip --strip-unneeded "$bundle/Contents/bin/Folioport" "$lib"/*.so*
find "$plugins" -name '*.so' -exec strip --strip-unneeded {} +

# Relative to the folder of qt.conf: the bundle's plugins, never those of a Qt on the machine.
printf '[Paths]\nPrefix = ..\nPlugins = plugins\n' > "$bundle/Contents/bin/qt.conf"
chmod -R u=rwX,go=rX "$bundle"
