#!/usr/bin/env bash
# Usage: tests/e2e/desktop-flow.sh FOLIOPORT FAKE_CONFLUENCE
# The real tray application under Xvfb (trayer as the tray host), used with keyboard and mouse through
# xdotool against the fake site on 127.0.0.1, with private settings and keyring: a page is written in
# a new editor and created, given a new version, found in the search window, opened from the result
# and moved to the trash. After each step the site's request log must have grown by exactly the
# requests that step makes (requests sent at the same time may arrive in any order).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../../scripts/demo-lib.sh"

fail() {
  echo "FAILED: $*" >&2
  [ -z "${APP_LOG:-}" ] || { echo "--- application output:" >&2; cat "$APP_LOG" >&2; }
  exit 1
}

# wait_until SECONDS COMMAND…: runs COMMAND every 0.1 s until it succeeds; false when time runs out.
wait_until() {
  local tries=$(($1 * 10)); shift
  for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.1; done
  return 1
}

# The site's log as one line a request: METHOD PATH?NAME=VALUE&… (query decoded, in the order sent).
requests() {
  sed -E 's/^.*"line":"(([^"\\]|\\.)*)".*$/\1/; s/\\"/"/g' "$SITE_LOG"
}

# settle COUNT: waits until the log holds at least COUNT requests more than at the last check and has
# then been quiet for a second; follow-up requests (a silent reload after a write) come a moment later.
seen=0
settle() {
  local count last=-1 quiet=0
  for _ in $(seq 300); do
    count="$(wc -l < "$SITE_LOG")"
    if [ "$count" = "$last" ] && [ "$count" -ge $((seen + $1)) ]; then
      quiet=$((quiet + 1)); [ "$quiet" -ge 10 ] && return 0
    else quiet=0; fi
    last="$count"; sleep 0.1
  done
}

# expect_requests STEP LINE…: what the log gained since the last step must be the given lines, in any order.
expect_requests() {
  local step="$1" want got; shift
  settle $#
  want="$(printf '%s\n' "$@" | sort)"
  got="$(requests | tail -n +$((seen + 1)) | sort)"
  seen="$(wc -l < "$SITE_LOG")"
  [ "$got" = "$want" ] || fail "$step: the site got
$got
instead of
$want"
  echo "ok - $step"
}

# expect_sent METHOD TEXT…: the body of the last METHOD request holds each TEXT (as logged: JSON in a
# JSON string, so its quotes read \").
expect_sent() {
  local method="$1" body; shift
  body="$(grep -F "\"method\":\"$method\"" "$SITE_LOG" | tail -1)"
  for text in "$@"; do
    [[ "$body" == *"$text"* ]] || fail "the $method request did not carry $text: $body"
  done
}

# window_named TITLE: the visible window with exactly this title, waiting up to 10 s for it.
window_named() {
  local id pattern
  pattern="^$(printf '%s' "$1" | sed 's/[][\.*^$?+(){}|]/\\&/g')\$"
  for _ in $(seq 100); do
    id="$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -1 || true)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  fail "no window \"$1\" appeared"
}

# focus_window WINDOW: gives the window the keyboard (Xvfb runs no window manager to do it).
focus_window() { xdotool windowfocus --sync "$1"; sleep 0.3; }

panel_open() { [ -n "$(panel_rect 1)" ]; }
editor_gone() { [ -z "$(xdotool search --onlyvisible --name "^Desktop flow check\$" 2>/dev/null || true)" ]; }

inside() {  # SITE_URL SITE_LOG EXECUTABLE
  local site="$1" exe="$3"
  SITE_LOG="$2"
  APP_LOG="$(mktemp "${TMPDIR:-/tmp}/folioport-flow-app.XXXXXX")"
  trap 'stop_processes ${APP_PID:-} ${TRAYER_PID:-} ${XVFB_PID:-}; rm -f "$APP_LOG"' EXIT
  store_demo_settings "$site" '"pageLimit": 10'
  start_virtual_desktop 1
  start_tray_app "$APP_LOG" "$exe"
  click_tray_icon
  wait_until 10 panel_open || fail "the panel did not open"
  local load=("GET /wiki/rest/api/user/current" "GET /wiki/api/v2/spaces?status=current&sort=name&limit=250"
              "GET /wiki/api/v2/pages?status=current&sort=-modified-date&limit=10&space-id=65537")
  expect_requests "the panel loads" "${load[@]}"

  # A new page from the panel's "New page" button: title, Tab past the format picker, body, Ctrl+S.
  click_panel 1 -134 24
  editor="$(window_named "New Confluence Page")"
  focus_window "$editor"
  xdotool type --delay 20 "Desktop flow check"; xdotool key Tab Tab
  xdotool type --delay 20 "First line"; xdotool key ctrl+s
  settle 5
  id="$(requests | sed -n 's|^GET /wiki/api/v2/pages/\([0-9]*\)?.*|\1|p' | tail -1)"
  expect_requests "Ctrl+S creates the page" \
    "GET /wiki/api/v2/spaces?keys=ENG&limit=1" "POST /wiki/api/v2/pages" \
    "GET /wiki/api/v2/pages/$id?body-format=storage" "${load[@]}"
  expect_sent POST '\"title\":\"Desktop flow check\"' '<p>First line</p>' '\"spaceId\":\"65537\"'

  # A new version: a second paragraph and a version note, then Ctrl+S.
  xdotool key ctrl+End; xdotool type --delay 20 "<p>Second line</p>"
  xdotool key Tab; xdotool type --delay 20 "second"; xdotool key ctrl+s
  expect_requests "Ctrl+S saves version 2" \
    "PUT /wiki/api/v2/pages/$id" "GET /wiki/api/v2/pages/$id?body-format=storage" "${load[@]}"
  expect_sent PUT '<p>First line</p><p>Second line</p>' '\"message\":\"second\"' '\"number\":2'
  xdotool key Escape
  wait_until 5 editor_gone || fail "Escape did not close the saved editor"

  # The search window from the panel's search button; the field has the keyboard.
  click_tray_icon
  wait_until 10 panel_open || fail "the panel did not open again"
  click_panel 1 -98 24
  search="$(window_named "Search Confluence")"
  focus_window "$search"
  xdotool type --delay 20 "flow check"; xdotool key Return
  expect_requests "Return searches in the default space" \
    "GET /wiki/rest/api/search?cql=type = page AND text ~ \"flow check\" AND space = \"ENG\" ORDER BY lastmodified DESC&limit=50"

  # Tab past the Search button and the scope box to the hit's edit button; Space opens the page.
  xdotool key Tab Tab Tab space
  editor="$(window_named "Desktop flow check")"
  expect_requests "the hit opens in an editor" "GET /wiki/api/v2/pages/$id?body-format=storage"
  focus_window "$editor"
  # Tab from the title past body, note and "Open in browser" to "Move to trash…"; the question's
  # default is "Cancel", so Shift+Tab goes to "Move to trash".
  xdotool key Tab Tab Tab Tab space
  window_named "Move this page to trash?" >/dev/null
  xdotool key shift+Tab space
  expect_requests "the confirmed trash moves it and reloads the panel" "DELETE /wiki/api/v2/pages/$id" "${load[@]}"
  wait_until 5 editor_gone || fail "the editor stayed open after the page went to the trash"
}

run_flow "$here/desktop-flow.sh" "$@"
