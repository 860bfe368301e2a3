#!/usr/bin/env bash
# Builds a release of Folioport, or its Debian package.
# Usage: scripts/package.sh --key PRIVATE_KEY_FILE [--url BASE_URL] [--out DIR]
#          <out>/Folioport.app                      the self-contained bundle, sealed with the maker's key
#          <out>/Folioport-<version>.tar.gz         the first download: install.sh, uninstall.sh, launch.sh
#                                                   and the bundle, in a folder Folioport-<version>/
#          <out>/Folioport-<version>.zip            the update archive that holds the bundle
#          <out>/*.sha256                           their SHA-256 (sha256sum format)
#          <out>/appcast.json                       the feed document that offers the zip
#        scripts/package.sh --deb [--out DIR]
#          <out>/folioport_<version>_amd64.deb      on Debian's own Qt, updated by apt
#        scripts/package.sh --trial [--deb] [--out DIR]
#          the same, built in build-trial/ and sealed with a throwaway key made there, which that build
#          trusts instead of the team's: for trying a release (scripts/try-fresh-debian.sh), never to publish;
#          built like the test build (RelWithDebInfo, then stripped), so that it reuses the compiler cache
#   PRIVATE_KEY_FILE  the team's Ed25519 release key; it lives outside the repository and is never committed
#   BASE_URL          where the archives will be published (default https://updates.tessaly.com/folioport/);
#                     appcast.json goes to the same folder
#   DIR               output folder (default build-package/dist/, build-trial/dist/ for a trial)
# Each builds in its own tree (build-package/, build-trial/), without tests.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { sed -n '2,22p' "$0" >&2; exit 2; }
key="" base_url="https://updates.tessaly.com/folioport/" out="" deb=false build="build-package" trusted_key=OFF
build_type=Release
while [ $# -gt 0 ]; do
  case "$1" in
    --key) key="$2"; shift 2 ;;
    --url) base_url="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    --deb) deb=true; shift ;;
    --trial) build="build-trial" trusted_key=ON key="build-trial/update-test-key/private.pem" build_type=RelWithDebInfo
             shift ;;
    *) usage ;;
  esac
done
out="${out:-$build/dist}"
if [ "$deb" = false ] && [ "$trusted_key" = OFF ]; then
  [ -n "$key" ] || usage
  [ -r "$key" ] || { echo "package.sh: cannot read the key $key" >&2; exit 1; }
fi
case "$base_url" in */) ;; *) base_url="$base_url/" ;; esac

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" -DFOLIOPORT_BUILD_TESTS=OFF -DFOLIOPORT_UPDATE_TEST_KEY="$trusted_key" \
  -DFOLIOPORT_TEST_GATEWAY_ARGUMENT=OFF \
  -DFOLIOPORT_SERVICES_FROM_BUILD_TREE=OFF
cmake --build "$build" --target Folioport folioport_desktop folioport-seal

plist_string() {  # the <string> after <key>$1</key> in the bundle's Info.plist
  sed -n "/<key>$1<\/key>/{n;s/.*<string>\(.*\)<\/string>.*/\1/p}" "$build/Folioport.app/Contents/Info.plist"
}
version="$(plist_string CFBundleShortVersionString)"
build_number="$(plist_string CFBundleVersion)"
mkdir -p "$out"

# The application's own files, laid out as a bundle at $1.
assemble_bundle() {
  rm -rf "$1"
  mkdir -p "$1/Contents/bin" "$1/Contents/lib" "$1/Contents/Resources"
  cp "$build/Folioport.app/Contents/Info.plist" "$1/Contents/"
  cp "$build/Folioport.app/Contents/bin/Folioport" "$1/Contents/bin/"
  cp "$build/Folioport.app/Contents/lib/"*.so "$1/Contents/lib/"
  cp -R app/resources/. "$1/Contents/Resources/"
  strip --strip-unneeded "$1/Contents/bin/Folioport" "$1/Contents/lib/"*.so
  chmod -R u=rwX,go=rX "$1"
}

# The Debian package: the bundle's own files under /usr/lib/folioport, the command on the PATH, the launcher
# entry, icons and AppStream metadata under /usr/share; dependencies as dpkg-shlibdeps finds them.
package_deb() {
  local root="$build/deb/debian/folioport" package="folioport_${version}_amd64.deb" size depends
  rm -rf "$build/deb"
  assemble_bundle "$root/usr/lib/folioport/Folioport.app"
  # why: the updater reads this and leaves updates to apt (the files are root's, but root runs it too).
  sed -i 's|^</dict>|\t<key>FolioportUpdatedBy</key>\n\t<string>package manager</string>\n</dict>|' \
    "$root/usr/lib/folioport/Folioport.app/Contents/Info.plist"
  # The launcher entry and icons go to /usr/share below; the program itself takes its icons from within.
  rm -rf "$root/usr/lib/folioport/Folioport.app/Contents/Resources"
  # why: libplist's name differs between Debian 12 (libplist-2.0.so.3) and 13 (.so.4), so one package for
  # both carries its own copy, found beside the program; every other library is Debian's.
  local plist_library library
  plist_library="$(ldconfig -p | awk '/libplist-2\.0\.so\.3 .*x86-64/ { print $NF; exit }')"
  cp -L "$plist_library" "$root/usr/lib/folioport/Folioport.app/Contents/lib/"
  strip --strip-unneeded "$root/usr/lib/folioport/Folioport.app/Contents/lib/libplist-2.0.so.3"
  patchelf --set-rpath '$ORIGIN/../lib' "$root/usr/lib/folioport/Folioport.app/Contents/bin/Folioport"
  for library in "$root/usr/lib/folioport/Folioport.app/Contents/lib/"libfolioport*.so; do
    patchelf --set-rpath '$ORIGIN' "$library"
  done
  mkdir -p "$root/usr/bin" "$root/usr/share/applications" "$root/usr/share/metainfo" \
    "$root/usr/share/doc/folioport" "$root/usr/share/man/man1" "$root/DEBIAN"
  ln -s ../lib/folioport/Folioport.app/Contents/bin/Folioport "$root/usr/bin/folioport"
  sed -e 's|^Exec=.*|Exec=folioport|' app/resources/com.tessaly.folioport.desktop \
    > "$root/usr/share/applications/com.tessaly.folioport.desktop"
  for size in app/resources/png/folioport-*.png; do
    size="${size##*-}"; size="${size%.png}"
    install -D -m 644 "app/resources/png/folioport-$size.png" \
      "$root/usr/share/icons/hicolor/${size}x${size}/apps/com.tessaly.folioport.png"
  done
  install -D -m 644 app/resources/folioport.svg "$root/usr/share/icons/hicolor/scalable/apps/com.tessaly.folioport.svg"
  sed -e "s|@VERSION@|$version|" -e "s|@DATE@|$(date -u +%Y-%m-%d)|" packaging/com.tessaly.folioport.metainfo.xml \
    > "$root/usr/share/metainfo/com.tessaly.folioport.metainfo.xml"
  cp packaging/debian/copyright "$root/usr/share/doc/folioport/"
  sed -e "s|@VERSION@|$version|" -e "s|@DATE@|$(date -u -R)|" packaging/debian/changelog |
    gzip -9n > "$root/usr/share/doc/folioport/changelog.gz"
  gzip -9n < packaging/debian/folioport.1 > "$root/usr/share/man/man1/folioport.1.gz"

  # dpkg-shlibdeps reads the package's name from debian/control and takes debian/folioport/ as its files.
  mkdir -p "$build/deb/debian"
  printf 'Source: folioport\n\nPackage: folioport\nArchitecture: amd64\n' > "$build/deb/debian/control"

  local bundled=debian/folioport/usr/lib/folioport/Folioport.app/Contents
  # why: it warns about the private libplist, which no package of the system provides; that is the point.
  depends="$(cd "$build/deb" && dpkg-shlibdeps -O -e "$bundled/bin/Folioport" -e "$bundled"/lib/*.so* 2>/dev/null |
    sed -n 's/^shlibs:Depends=//p')"
  sed -e "s|@VERSION@|$version|" -e "s|@DEPENDS@|$depends|" \
    -e "s|@SIZE@|$(du -sk --exclude=DEBIAN "$root" | cut -f1)|" packaging/debian/control > "$root/DEBIAN/control"
  find "$root" -type d -exec chmod 755 {} +
  chmod 644 "$root/usr/lib/folioport/Folioport.app/Contents/lib/"*.so*  # opened by the program, not run
  dpkg-deb --root-owner-group -Zxz --build "$root" "$out/$package" >/dev/null
  echo "Folioport $version: $out/$package, $(stat -c %s "$out/$package") bytes"
  echo "Depends: $depends"
}
if [ "$deb" = true ]; then package_deb; exit 0; fi

bundle="$out/Folioport.app"
assemble_bundle "$bundle"
scripts/bundle-libraries.sh "$bundle"
scripts/bundle-check.sh "$bundle"
if grep -rlF -e "$PWD" -e "$(cd "$build" && pwd -P)" "$bundle"; then
  echo "package.sh: the files above hold a path of this machine" >&2
  exit 1
fi

"$build/updater/folioport-seal" sign "$key" "$bundle"
# why: proves that the key used is the one the application has compiled in, before anything is published.
"$build/updater/folioport-seal" verify "$bundle"

archive="Folioport-$version.zip"
rm -f "$out/$archive"
bsdtar -c --format zip -f "$out/$archive" -C "$out" Folioport.app
# The first download unpacks with plain tar; its install.sh puts the bundle where updates can replace it.
first="Folioport-$version"
rm -rf "$out/$first" "$out/$first.tar.gz"
mkdir "$out/$first"
cp -R "$bundle" "$out/$first/"
cp scripts/install.sh scripts/uninstall.sh scripts/launch.sh "$out/$first/"
tar -C "$out" --owner=0 --group=0 -czf "$out/$first.tar.gz" "$first"
rm -rf "${out:?}/$first"
(cd "$out" && sha256sum "$archive" > "$archive.sha256" && sha256sum "$first.tar.gz" > "$first.tar.gz.sha256")
sha256="$(cut -d' ' -f1 "$out/$archive.sha256")"
cat > "$out/appcast.json" <<JSON
{
  "version": "$version",
  "build": "$build_number",
  "date": "$(date -u +%Y-%m-%d)",
  "url": "$base_url$archive",
  "sha256": "$sha256"
}
JSON
echo "Folioport $version (build $build_number): $out/$archive, $(stat -c %s "$out/$archive") bytes, sha256 $sha256"
echo "First download: $out/$first.tar.gz, $(stat -c %s "$out/$first.tar.gz") bytes; unpacked $(du -sb "$bundle" | cut -f1) bytes"
echo "Publish $out/$archive, $out/$first.tar.gz and then $out/appcast.json at $base_url"
