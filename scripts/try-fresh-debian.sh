#!/usr/bin/env bash
# Tries a release as a new user would, on pristine Debian roots that hold only what a stock desktop has
# (packaging/desktop-<suite>.txt): installs the bundle with the README's command, checks that nothing it
# loads is missing, asks `Folioport --mcp` for initialize and tools/list, starts the tray application under
# Xvfb with a tray host (trayer), clicks its icon and takes a screenshot of the panel, uninstalls; then
# installs the Debian package with apt and does the same with `folioport`.
# Usage: FRESH_RIG=RUN_FRESH_SH scripts/try-fresh-debian.sh [SUITE...]     (default: bookworm trixie)
#   RUN_FRESH_SH  a rig that runs a command in a pristine Debian root made with debootstrap
#                 (run-fresh.sh: --suite, --packages, --keep); it needs root and unshare
# Takes build-trial/dist/ from "scripts/package.sh --trial" and "scripts/package.sh --trial --deb"; writes
# each suite's log and screenshots (PNG) to build-trial/fresh/<suite>/. Not part of the test suite: each
# suite takes a few minutes and needs the network for Debian's archive.
set -euo pipefail
self="$(realpath "$0")"

if [ "${1:-}" = --inside ]; then
  # In the pristine root, as root, with this script and the downloads in the current folder.
  shift
  out="$PWD/out"; mkdir -p "$out"
  say() { echo "== $*"; }
  mcp_check() {  # $1: the executable, $2: a name for the files
    printf '%s\n' '{"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-03-26","capabilities":{},"clientInfo":{"name":"trial","version":"1"}}}' \
      '{"jsonrpc":"2.0","method":"notifications/initialized"}' '{"jsonrpc":"2.0","id":2,"method":"tools/list"}' |
      timeout 20 "$1" --mcp > "$out/mcp-$2.txt" 2>&1 || true
    grep -o '"serverInfo":{[^}]*}' "$out/mcp-$2.txt" || { cat "$out/mcp-$2.txt"; return 1; }
    echo "tools/list: $(grep -o '"inputSchema"' "$out/mcp-$2.txt" | wc -l) tools"
  }
  missing_libraries() {  # every object under $1 with a library the loader cannot find
    find "$1" -type f \( -name '*.so*' -o -path '*/bin/Folioport' \) | sort | while read -r object; do
      /lib64/ld-linux-x86-64.so.2 --list "$object" 2>&1 | grep 'not found' | sed "s|^|${object#"$1"/}: |" || true
    done
  }
  desktop_check() {  # $1: a name for the files, then the command that starts the application
    local name="$1"; shift
    # why: a free display number of the server's choosing; the root shares this machine's abstract sockets
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$out/display" & local xvfb=$!
    for _ in $(seq 100); do [ -s "$out/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(tr -d '\n' < "$out/display")"
    rm -f "$out/display"
    trayer --edge top --align right --widthtype request --height 28 --SetDockType true & local tray=$!
    sleep 1
    local started; started=$(date +%s%N)
    "$@" > "$out/app-$name.log" 2>&1 & local app=$!
    local icon=""
    for _ in $(seq 100); do
      local panel; panel=$(xdotool search --classname '^panel$' 2>/dev/null | head -1 || true)
      [ -n "$panel" ] && icon=$(xwininfo -tree -id "$panel" | awk '/"Folioport"/{print $1; exit}')
      [ -n "$icon" ] && break
      sleep 0.1
    done
    echo "tray icon after $(( ($(date +%s%N) - started) / 1000000 )) ms: ${icon:-none}"
    sleep 1.5
    if [ -n "$icon" ]; then
      eval "$(xdotool getwindowgeometry --shell "$icon")"
      xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
    fi
    sleep 2
    xwd -root -silent > "$out/panel-$name.xwd"
    # The settings window, opened with the panel's gear button (top right): its Updates section.
    local window; window=$(xdotool search --onlyvisible --pid "$app" 2>/dev/null | head -1 || true)
    if [ -n "$window" ]; then
      eval "$(xdotool getwindowgeometry --shell "$window")"
      xdotool mousemove $((X + WIDTH - 27)) $((Y + 24)) click 1
      sleep 2
      xwd -root -silent > "$out/settings-$name.xwd"
    fi
    # why: the launcher execs the program, so the process started is the application itself
    if kill -0 "$app" 2>/dev/null; then
      grep -E 'VmRSS|VmHWM' "/proc/$app/status" | tr -s ' \t' ' '
      grep -oE '/[^ ]*lib(Qt6Core|icuuc|Qt6XcbQpa|plist-2\.0)[^ ]*|/[^ ]*platforms/libqxcb.so' "/proc/$app/maps" | sort -u | sed 's/^/maps /'
      kill "$app"
    else
      echo "the application is not running:"; cat "$out/app-$name.log"
    fi
    kill "$app" "$tray" 2>/dev/null || true; sleep 0.5; kill "$xvfb"; wait 2>/dev/null || true
  }

  say "Debian $(cat /etc/debian_version); glibc $(ldd --version | head -1 | grep -o '[0-9.]*$')"
  say "the README's install command"
  archive="$(ls Folioport-*.tar.gz)"
  (cd "$HOME" && cp "$OLDPWD/$archive" . && tar -xzf "$archive" && "${archive%.tar.gz}/install.sh")
  bundle="$HOME/Applications/Folioport.app"
  say "libraries the loader cannot find in the installed bundle"
  missing_libraries "$bundle"
  say "Folioport --mcp from the bundle"
  mcp_check "$bundle/Contents/bin/Folioport" bundle

  say "tools for the desktop check (Xvfb, trayer, xdotool, xwd)"
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    xvfb trayer xdotool x11-utils x11-apps procps > "$out/apt-tools.log" 2>&1 || { tail "$out/apt-tools.log"; exit 1; }
  say "the tray application from the bundle, started by its launcher entry"
  desktop_check bundle /bin/sh "$HOME/.local/share/folioport/launch.sh" "$bundle"

  say "uninstall"
  "$HOME/.local/share/folioport/uninstall.sh"
  echo "left behind: $(find "$HOME/Applications" "$HOME/.local/share" -mindepth 1 2>/dev/null | grep -c . || true) files and folders"

  say "apt install ./folioport_*.deb"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q ./folioport_*_amd64.deb > "$out/apt-deb.log" 2>&1 ||
    { tail -20 "$out/apt-deb.log"; exit 1; }
  grep -E '^(Need to get|After this operation|[0-9]+ upgraded)' "$out/apt-deb.log" || true
  say "folioport --mcp from the package"
  mcp_check folioport deb
  say "the tray application from the package"
  desktop_check deb folioport
  exit 0
fi

cd "$(dirname "$self")/.."
rig="${FRESH_RIG:?set FRESH_RIG to the run-fresh.sh that makes the pristine roots}"
suites=("$@"); [ ${#suites[@]} -gt 0 ] || suites=(bookworm trixie)
dist="build-trial/dist"
ls "$dist"/Folioport-*.tar.gz "$dist"/folioport_*_amd64.deb >/dev/null ||
  { echo "try-fresh-debian.sh: run scripts/package.sh --trial and scripts/package.sh --trial --deb first" >&2; exit 1; }
# why: the rig copies a git project into the root; this one holds only the downloads and this script.
project="$(mktemp -d)"
trap 'rm -rf "$project"' EXIT
cp "$self" "$dist"/Folioport-*.tar.gz "$dist"/folioport_*_amd64.deb "$project/"
git -C "$project" init -q && git -C "$project" add -A &&
  git -C "$project" -c user.name=trial -c user.email=trial@localhost commit -q -m trial
failed=()
for suite in "${suites[@]}"; do
  results="build-trial/fresh/$suite"
  rm -rf "$results"; mkdir -p "$results"
  # why: a cache of its own, so that these desktop roots never replace the rig's default build root.
  FRESH_CACHE="${FRESH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/folioport-fresh}" \
    "$rig" --suite "$suite" --packages "packaging/desktop-$suite.txt" --keep "$project" \
    "bash ./$(basename "$self") --inside" 2>&1 | tee "$results/trial.log" || failed+=("$suite")
  kept="$(sed -n 's/.*kept the root at \(.*\) (nothing is mounted there).*/\1/p' "$results/trial.log" | tail -1)"
  if [ -n "$kept" ] && [ -d "$kept/root/project/out" ]; then
    cp -R "$kept/root/project/out/." "$results/"
    rm -rf --one-file-system "$(dirname "$kept")"
  fi
  for shot in "$results"/*.xwd; do
    [ -e "$shot" ] && convert "xwd:$shot" "${shot%.xwd}.png" && rm "$shot"
  done
  echo "try-fresh-debian.sh: $suite: results in $results"
done
[ ${#failed[@]} -eq 0 ] || { echo "try-fresh-debian.sh: failed on ${failed[*]}" >&2; exit 1; }
