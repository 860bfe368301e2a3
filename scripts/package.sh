#!/usr/bin/env bash
# Builds a release of Folioport and everything needed to publish it as an update:
#   <out>/Folioport.app                    the bundle, sealed with the maker's key
#   <out>/Folioport-<version>.zip          the update archive that holds it
#   <out>/Folioport-<version>.zip.sha256   its SHA-256 (sha256sum format)
#   <out>/appcast.json                     the feed document that offers it
# Usage: scripts/package.sh --key PRIVATE_KEY_FILE [--url BASE_URL] [--out DIR]
#   PRIVATE_KEY_FILE  the team's Ed25519 release key; it lives outside the repository and is never committed
#   BASE_URL          where the archive will be published (default https://updates.tessaly.com/folioport/);
#                     appcast.json goes to the same folder
#   DIR               output folder (default build-package/dist/)
# The release build has its own build tree (build-package/), without tests, trusting the release key.
set -euo pipefail
cd "$(dirname "$0")/.."

key="" base_url="https://updates.tessaly.com/folioport/" out="build-package/dist"
while [ $# -gt 0 ]; do
  case "$1" in
    --key) key="$2"; shift 2 ;;
    --url) base_url="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    *) sed -n '2,12p' "$0" >&2; exit 2 ;;
  esac
done
[ -n "$key" ] || { sed -n '2,12p' "$0" >&2; exit 2; }
[ -r "$key" ] || { echo "package.sh: cannot read the key $key" >&2; exit 1; }
case "$base_url" in */) ;; *) base_url="$base_url/" ;; esac

build="build-package"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DFOLIOPORT_BUILD_TESTS=OFF -DFOLIOPORT_UPDATE_TEST_KEY=OFF -DFOLIOPORT_TEST_GATEWAY_ARGUMENT=OFF \
  -DFOLIOPORT_SERVICES_FROM_BUILD_TREE=OFF
cmake --build "$build" --target Folioport folioport_desktop folioport-seal

plist_string() {  # the <string> after <key>$1</key> in the bundle's Info.plist
  sed -n "/<key>$1<\/key>/{n;s/.*<string>\(.*\)<\/string>.*/\1/p}" "$build/Folioport.app/Contents/Info.plist"
}
version="$(plist_string CFBundleShortVersionString)"
build_number="$(plist_string CFBundleVersion)"

mkdir -p "$out"
bundle="$out/Folioport.app"
rm -rf "$bundle"
mkdir -p "$bundle/Contents/bin" "$bundle/Contents/lib" "$bundle/Contents/Resources"
cp "$build/Folioport.app/Contents/Info.plist" "$bundle/Contents/"
cp "$build/Folioport.app/Contents/bin/Folioport" "$bundle/Contents/bin/"
cp "$build/Folioport.app/Contents/lib/"*.so "$bundle/Contents/lib/"
cp -R app/resources/. "$bundle/Contents/Resources/"
strip --strip-unneeded "$bundle/Contents/bin/Folioport" "$bundle/Contents/lib/"*.so
chmod -R u=rwX,go=rX "$bundle"

"$build/updater/folioport-seal" sign "$key" "$bundle"
# why: proves that the key used is the one the application has compiled in, before anything is published.
"$build/updater/folioport-seal" verify "$bundle"

archive="Folioport-$version.zip"
rm -f "$out/$archive"
bsdtar -c --format zip -f "$out/$archive" -C "$out" Folioport.app
sha256="$(sha256sum "$out/$archive" | cut -d' ' -f1)"
(cd "$out" && sha256sum "$archive" > "$archive.sha256")
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
echo "Publish $out/$archive and then $out/appcast.json at $base_url"
