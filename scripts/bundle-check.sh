#!/usr/bin/env bash
# Checks that a bundle laid out by scripts/bundle-libraries.sh runs on any desktop of the baseline: every
# library that its executable, libraries and Qt plugins need resolves inside the bundle or is named by
# packaging/baseline-libraries.txt, and every run path is relative to the bundle ($ORIGIN).
# Usage: scripts/bundle-check.sh BUNDLE      prints each fault and exits 1 when there is one
# why: the loader of this machine resolves the needs, as it would on a user's; a library missing from the
# bundle resolves here to the machine's own copy, which is exactly what the check reports.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bundle="$(cd "${1:?usage: bundle-check.sh BUNDLE}" && pwd -P)"
source "$here/bundle-baseline.sh"
loader=/lib64/ld-linux-x86-64.so.2

faults=0
fault() { echo "bundle-check.sh: $*" >&2; faults=$((faults + 1)); }

[ -f "$bundle/Contents/bin/qt.conf" ] || fault "Contents/bin/qt.conf is missing: Qt would look for the machine's plugins"
[ -f "$bundle/Contents/plugins/platforms/libqxcb.so" ] || fault "the X11 platform plugin is missing"

mapfile -t objects < <(find "$bundle/Contents" -type f \( -path '*/bin/Folioport' -o -name '*.so' -o -name '*.so.*' \) | sort)
for object in "${objects[@]}"; do
  name="${object#"$bundle"/}"
  runpath="$(readelf -d "$object" | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]/\2/p')"
  IFS=: read -r -a entries <<< "$runpath"
  for entry in "${entries[@]}"; do
    case "$entry" in '$ORIGIN'|'$ORIGIN/'*) ;; *) fault "$name has the run path $entry outside the bundle" ;; esac
  done
  # Where the loader finds each library of the object's closure; only the object's own needs are judged
  # here, since the libraries of the baseline bring what they need themselves.
  declare -A found=()
  while read -r soname arrow path _; do
    [ "$arrow" = "=>" ] && found[$soname]="$path"
  done < <(env -u LD_LIBRARY_PATH -u LD_PRELOAD "$loader" --list "$object" 2>&1 || true)
  for soname in $(readelf -d "$object" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    path="${found[$soname]:-not}"
    case "$(realpath -m "$path")" in "$bundle"/*) continue ;; esac
    in_baseline "$soname" && continue
    if [ "$path" = "not" ]; then fault "$name needs $soname, which is neither in the bundle nor in the baseline"
    else fault "$name needs $soname from $path, outside the bundle and the baseline"; fi
  done
  unset found
done

[ "$faults" -eq 0 ] || { echo "bundle-check.sh: $faults fault(s) in $bundle" >&2; exit 1; }
echo "bundle-check.sh: ${#objects[@]} objects of $bundle resolve inside the bundle or the baseline"
