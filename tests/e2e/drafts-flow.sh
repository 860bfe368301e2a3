#!/usr/bin/env bash
# Usage: tests/e2e/drafts-flow.sh FOLIOPORT FAKE_CONFLUENCE
# The real tray application under Xvfb (trayer as the tray host) against the fake site on 127.0.0.1, with
# private settings, keyring and state folder, ended the two ways a session ends under an editor with unsaved
# text: SIGTERM (what a logout sends) right after typing into a new page, and SIGKILL (a crash) 2.5 s after
# typing into that page's editor. Each time the draft must be on disk (mode 0600, in a folder of mode 0700
# under $XDG_STATE_HOME), the next start must offer it in the panel, "Reopen" must bring its editor back, and
# Ctrl+S there must send exactly the text typed before the end; saved, the draft must be gone.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../../scripts/demo-lib.sh"

# expect SECONDS WHAT COMMAND…: COMMAND must succeed within SECONDS (it is tried every 0.1 s); otherwise the test
# fails, saying that WHAT did not happen, with the application's output.
expect() {
  local tries=$(($1 * 10 + 1)) what="$2"; shift 2
  for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.1; done
  echo "FAILED: $what" >&2
  [ -z "${APP_LOG:-}" ] || { echo "--- application output:" >&2; cat "$APP_LOG" >&2; }
  exit 1
}

panel_open() { [ -n "$(panel_rect 1)" ]; }
drafts_kept() { [ "$(find "$DRAFTS" -name '*.json' 2>/dev/null | wc -l)" = "$1" ]; }
# sent METHOD TEXT: the site's log holds a METHOD request whose body carries TEXT.
sent() { grep -F "\"method\":\"$1\"" "$SITE_LOG" | grep -qF -- "$2"; }

# focus_editor TITLE: waits for the visible window of that title and gives it the keyboard.
focus_editor() {
  local window
  window="$(timeout 10 xdotool search --sync --onlyvisible --name "^$1\$" | head -1)" || true
  expect 0 "a window \"$1\" appeared" [ -n "$window" ]
  xdotool windowfocus --sync "$window"
  sleep 0.3
}

# end_app SIGNAL: sends the signal to the application and waits for it to end.
end_app() {
  kill "-$1" "$APP_PID"
  wait "$APP_PID" 2>/dev/null || true
  APP_PID=""
}

# start_and_reopen: starts the application, opens the panel, which must offer one draft, and presses "Reopen".
start_and_reopen() {
  start_tray_app "$APP_LOG" "$EXE"
  click_tray_icon
  expect 10 "the panel opened" panel_open
  sleep 1
  # "Reopen" sits at the right end of the band above the footer.
  click_panel 1 -50 634
}

inside() {  # SITE_URL SITE_LOG EXECUTABLE
  local site="$1"
  SITE_LOG="$2" EXE="$3"
  export XDG_STATE_HOME="$HOME/state"
  DRAFTS="$XDG_STATE_HOME/com.tessaly.folioport/drafts"
  APP_LOG="$(mktemp "${TMPDIR:-/tmp}/folioport-drafts-app.XXXXXX")"
  trap 'stop_processes ${APP_PID:-} ${TRAYER_PID:-} ${XVFB_PID:-}; rm -f "$APP_LOG"' EXIT
  store_demo_settings "$site" '"pageLimit": 10'
  start_virtual_desktop 1

  # A new page typed, then SIGTERM at once: nothing typed is lost.
  start_tray_app "$APP_LOG" "$EXE"
  click_tray_icon
  expect 10 "the panel opened" panel_open
  click_panel 1 -134 24
  focus_editor "New Confluence Page"
  xdotool type --delay 20 "Kept through a logout"; xdotool key Tab Tab
  xdotool type --delay 20 "Typed just before the end"
  end_app TERM
  expect 0 "SIGTERM left one draft in $DRAFTS" drafts_kept 1
  expect 0 "the drafts folder is private (700)" [ "$(stat -c %a "$DRAFTS")" = 700 ]
  draft="$(find "$DRAFTS" -name '*.json')"
  expect 0 "the draft is private (600)" [ "$(stat -c %a "$draft")" = 600 ]
  expect 0 "the draft holds the last words typed" grep -qF "Typed just before the end" "$draft"
  echo "ok - SIGTERM keeps what was typed"

  start_and_reopen
  focus_editor "New Confluence Page"
  xdotool key ctrl+s
  expect 10 "Ctrl+S in the reopened editor created the page" sent POST '\"title\":\"Kept through a logout\"'
  expect 0 "the page was created with the typed text" sent POST '<p>Typed just before the end</p>'
  expect 5 "the draft went once its page was created" drafts_kept 0
  echo "ok - the next start offers it, and Reopen and Ctrl+S create the page with it"

  # More text in that page's editor, then a crash 2.5 s later: the draft holds it.
  sleep 1
  xdotool key Tab ctrl+End; xdotool type --delay 20 "<p>Then a crash</p>"  # from the title into the body
  sleep 2.5
  end_app KILL
  expect 0 "SIGKILL 2.5 s after typing left one draft in $DRAFTS" drafts_kept 1
  expect 0 "the draft holds what was typed before the crash" grep -qF "Then a crash" "$(find "$DRAFTS" -name '*.json')"
  echo "ok - SIGKILL 2.5 s after typing keeps what was typed"

  start_and_reopen
  focus_editor "Kept through a logout"
  xdotool key ctrl+s
  expect 10 "Ctrl+S in the reopened editor saved the text typed before the crash" \
    sent PUT '<p>Typed just before the end</p><p>Then a crash</p>'
  expect 5 "the draft went once its text was saved" drafts_kept 0
  echo "ok - reopened after the crash, the text is saved as the page's next version"
  end_app TERM
}

run_flow "$here/drafts-flow.sh" "$@"
