#!/usr/bin/env bash
# Usage: scripts/idle-bench.sh [QUIET_SECONDS]   (default 30; build tree: $FOLIOPORT_BUILD_DIR or build/)
# The tray application's idle cost, measured on the real process under Xvfb and trayer against the demo
# site on 127.0.0.1 (private settings and keyring): CPU time and wake-ups over a quiet interval with the
# panel closed (no timer is due then, so both should be about zero), resident memory after start, after
# opening the panel, and after 100 and 200 refreshes (the panel's refresh button, clicked as soon as the
# previous load has ended), which must not grow. Also the time from the start to the tray icon.
# FOLIOPORT_APP names another executable to measure, e.g. Contents/bin/Folioport of a copy of the build's
# bundle laid out by scripts/bundle-libraries.sh: its own Qt against the system's.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/demo-lib.sh"

rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$APP_PID/status"; }
cpu_ms() {  # user + system time of the process in milliseconds
  local ticks; ticks="$(awk '{print $14 + $15}' "/proc/$APP_PID/stat")"
  echo $((ticks * 1000 / $(getconf CLK_TCK)))
}
# why: the main thread runs the event loop and every timer; the pools' threads come and go, so their
# counts cannot be subtracted
wakeups() { awk '/^(non)?voluntary_ctxt_switches/ {sum += $2} END {print sum}' "/proc/$APP_PID/status"; }
loads() { curl -fsS "$1/__fake/log" | grep -o '"path":"/wiki/api/v2/pages"' | wc -l; }

quiet() {  # SECONDS LABEL: CPU time of the process and wake-ups of its main thread over a quiet interval
  local cpu wake
  cpu="$(cpu_ms)" wake="$(wakeups)"
  sleep "$1"
  printf '%-52s %6d ms CPU, %5d main-thread wake-ups in %d s\n' "$2" $(($(cpu_ms) - cpu)) $(($(wakeups) - wake)) "$1"
}

inside() {  # SITE_URL EXECUTABLE QUIET_SECONDS
  local site="$1" exe="$2" seconds="$3" log
  log="$(mktemp "${TMPDIR:-/tmp}/folioport-bench-app.XXXXXX")"
  store_demo_settings "$site"
  trap 'stop_processes ${APP_PID:-} ${TRAYER_PID:-} ${XVFB_PID:-}' EXIT
  start_virtual_desktop 1
  local started; started="$(date +%s%N)"
  start_tray_app "$log" "$exe" --demo
  # why: start_tray_app returns 2 s after the icon appears
  printf '%-52s %6d ms\n' "start to tray icon" $((($(date +%s%N) - started) / 1000000 - 2000))
  sleep 3
  printf '%-52s %6d kB\n' "resident memory after start" "$(rss_kb)"
  quiet "$seconds" "idle after start, panel never opened"

  click_tray_icon
  for _ in $(seq 50); do [ "$(loads "$site")" -ge 1 ] && break; sleep 0.1; done
  sleep 1
  printf '%-52s %6d kB\n' "resident memory with the panel open and loaded" "$(rss_kb)"
  quiet "$seconds" "idle with the panel open (nothing loading)"

  local done=0 want
  for want in 100 200; do
    while [ "$done" -lt "$want" ]; do
      click_panel 1 -62 24  # the refresh button; a click while a load runs is ignored (the button is disabled)
      local before="$done"
      for _ in $(seq 100); do done=$(($(loads "$site") - 1)); [ "$done" -gt "$before" ] && break; sleep 0.02; done
    done
    sleep 1
    printf '%-52s %6d kB\n' "resident memory after $done refreshes" "$(rss_kb)"
  done

  xdotool key Escape
  sleep 2
  quiet "$seconds" "idle after the refreshes, panel closed"
  printf '%-52s %6d kB\n' "resident memory at the end" "$(rss_kb)"
}

if [ "${1:-}" = "--inside-keyring" ]; then
  shift
  inside "$@"
  exit
fi

cd "$here/.."
build="${FOLIOPORT_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DFOLIOPORT_BUILD_TESTS=ON >/dev/null
cmake --build "$build" --target Folioport fake_confluence >/dev/null
start_demo_site "$build/fake_confluence/fake_confluence"
trap 'kill "$DEMO_SITE_PID" 2>/dev/null' EXIT
tests/keyring/with-keyring.sh "$here/idle-bench.sh" --inside-keyring "$DEMO_SITE_URL" \
  "${FOLIOPORT_APP:-$PWD/$build/Folioport.app/Contents/bin/Folioport}" "${1:-30}"
