#!/usr/bin/env bash
# Usage: scripts/screenshots.sh [FOLDER]   (default: build-shots/; build tree: $FOLIOPORT_BUILD_DIR or build/)
# Runs the real tray application under Xvfb with trayer as the tray host, against the demo site on
# 127.0.0.1 with private settings and keyring, clicks the tray icon with xdotool and saves PNGs of the
# panel in its states at 100 % and 200 % scale: not configured, waiting for a locked keyring (then its
# password prompt, and the list once it is unlocked), loading (3 s latency), list, error, busy
# row, update offered and the row actions menu; also the tray tooltip, a settings window (also scrolled
# to its foot, where assistants are let only read) and a page editor (new, created, the notice that the
# page changed meanwhile, the question on quitting with unsaved text) opened from the panel, the search
# window (as opened, with hits, with none, asking for a page link, and the editor that link opens) and
# the About window; with a scoped token, the panel's expired-token banner and the settings window
# connected through the (fake) API gateway; on a big wiki (2,000 more spaces), the space picker with a filter
# typed and, the site down, the line saying the timed refresh failed (a minute after start); checking on the way that the icon toggles the panel and that
# a window closes it (a line with MISMATCH says otherwise). Xvfb has no window manager, so windows have
# no frames.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/demo-lib.sh"

inside() {  # SITE_URL FOLDER EXECUTABLE GATEWAY_URL BIG_SITE_URL
  local site="$1" folder="$2" exe="$3" gateway="$4" big_site="$5" demo_site="$1" scale log
  log="$(mktemp "${TMPDIR:-/tmp}/folioport-shots-app.XXXXXX")"
  control() { curl -fsS -o /dev/null -X POST -d "$2" "$site/__fake/$1"; }
  start_app() {  # PREFERENCES_JSON_MEMBERS (empty: not configured) [TOKEN]
    if [ -n "$1" ]; then store_demo_settings "$site" "$1" "${2:-}"; else
      mkdir -p "$XDG_CONFIG_HOME/com.tessaly.folioport"; echo '{}' > "$XDG_CONFIG_HOME/com.tessaly.folioport/preferences.json"
    fi
    # why: "Demo" marks a run against the demo site, which a not-configured one is not; the gateway
    # argument exists in test builds only
    start_tray_app "$log" env QT_SCALE_FACTOR="$scale" "$exe" ${1:+--demo} --test-gateway-root "$gateway"
  }
  shot() {  # NAME [whole]: the panel, or the whole screen with "whole" (for menus leaving the panel)
    local file="$folder/$1@${scale}x.png" rect
    rect="$(panel_rect "$scale")"
    if [ "${2:-}" = whole ] || [ -z "$rect" ]; then import -window root "$file"; else
      import -window root -crop "$rect" +repage "$file"
    fi
    echo "  $file"
  }
  window_shot() {  # WINDOW NAME: just that window (it has no frame: there is no window manager)
    local file="$folder/$2@${scale}x.png"
    import -window "$1" "$file"
    echo "  $file"
  }
  add_page() {  # SPACE_KEY TITLE STORAGE_BODY: creates a page on the demo site through its API
    local space
    space="$(curl -fsS -u demo@example.com:demo-token "$site/wiki/api/v2/spaces?keys=$1" |
      grep -o '"id":"[0-9]*"' | head -1 | tr -dc 0-9)"
    curl -fsS -o /dev/null -u demo@example.com:demo-token -H 'Content-Type: application/json' \
      -d '{"spaceId": "'"$space"'", "status": "current", "title": "'"$2"'", "body": {"representation": "storage", "value": "'"$3"'"}}' \
      "$site/wiki/api/v2/pages"
  }
  save_elsewhere() {  # TITLE: a second client saves the page titled TITLE as version 2, as the browser would
    local id
    id="$(curl -fsS -G -u demo@example.com:demo-token --data-urlencode "title=$1" "$site/wiki/api/v2/pages" |
      grep -o '"id":"[0-9]*"' | head -1 | tr -dc 0-9)"
    curl -fsS -o /dev/null -X PUT -u demo@example.com:demo-token -H 'Content-Type: application/json' \
      -d '{"id": "'"$id"'", "status": "current", "title": "'"$1"'", "version": {"number": 2},
           "body": {"representation": "storage", "value": "<p>Edited in the browser.</p>"}}' \
      "$site/wiki/api/v2/pages/$id"
  }
  results_look() {  # a digest of the search window below its search bar, where the caret does not blink
    import -window "$SEARCH_WINDOW" png:- | convert - -chop 0x$((80 * scale)) rgb:- | md5sum
  }
  search_shot() {  # TEXT NAME: searches for TEXT and shoots the search window once its results changed and settled
    local before last="" now
    before="$(results_look)"
    xdotool key ctrl+a; xdotool type --delay 30 "$1"; xdotool key Return
    for _ in $(seq 30); do
      sleep 0.3
      now="$(results_look)"
      [ "$now" != "$before" ] && [ "$now" = "$last" ] && break
      last="$now"
    done
    window_shot "$SEARCH_WINDOW" "$2"
  }
  trap 'stop_processes ${APP_PID:-} ${TRAYER_PID:-} ${XVFB_PID:-}' EXIT
  # why: no demo page is long enough to show how a hit's title and excerpt are cut
  add_page TEAM "Search tips: quotes, space filters, the editor and browser buttons, what the lines under each hit show when a page is long, and why a blog post has no edit button" \
    "<p>Searching matches words in titles and page text. Put a phrase in quotes to find it as written, tick the space box to stay in the default space, and open any hit in the editor using its pencil button. The site sends the text around the first match, cut after a couple of hundred characters.</p>"

  for scale in 1 2; do
    echo "Scale $((scale * 100)) %:"
    start_virtual_desktop "$scale"

    start_app ""
    click_tray_icon; sleep 1; shot not-configured
    stop_processes "$APP_PID"

    # Started while the keyring is locked: the panel waits for it and says so; "Unlock" brings up the
    # keyring's own password prompt (started by the bus, which needs the display for it), and once it is
    # answered the pages load without a restart.
    dbus-update-activation-environment DISPLAY
    store_demo_settings "$site" '"spaceKey": "ENG"'
    dbus-send --session --print-reply --dest=org.freedesktop.secrets /org/freedesktop/secrets \
      org.freedesktop.Secret.Service.Lock array:objpath:/org/freedesktop/secrets/collection/login >/dev/null
    start_tray_app "$log" env QT_SCALE_FACTOR="$scale" "$exe" --demo --test-gateway-root "$gateway"
    click_tray_icon; sleep 1; shot keyring-locked
    click_panel "$scale" 280 392; sleep 3; shot keyring-prompt whole  # the "Unlock" button
    PROMPT="$(timeout 10 xdotool search --sync --onlyvisible --classname gcr-prompter | head -1)"
    xdotool windowfocus --sync "$PROMPT"; xdotool type --delay 30 folioport-test; xdotool key Return; sleep 3
    click_tray_icon; sleep 1; shot keyring-unlocked
    stop_processes "$APP_PID"

    start_app '"spaceKey": "ENG", "assistantsReadOnly": true'
    xdotool mousemove $((1200 * scale)) $((400 * scale)); sleep 0.3
    eval "$(xdotool getwindowgeometry --shell "$TRAY_ICON")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)); sleep 2; shot tray-tooltip whole
    control latency '{"ms": 3000}'
    click_tray_icon; sleep 1; shot loading
    control latency '{"ms": 0}'
    sleep 3; shot list
    click_panel "$scale" -32 114; sleep 1; shot actions-menu whole  # the first row's actions button
    xdotool key Escape; sleep 0.5
    # The tray glue: a click on the icon closes the open panel, the next one opens it again, and a
    # window opened from the panel (the settings gear) closes it.
    click_tray_icon; sleep 1
    [ -z "$(panel_rect "$scale")" ] || echo "  MISMATCH: a click on the tray icon did not close the panel" >&2
    click_tray_icon; sleep 1
    [ -n "$(panel_rect "$scale")" ] || echo "  MISMATCH: a second click on the tray icon did not open the panel" >&2
    click_panel "$scale" -26 24; sleep 1; shot settings-window whole
    [ -z "$(panel_rect "$scale")" ] || echo "  MISMATCH: opening the settings window left the panel open" >&2
    # the wheel over the left margin, where it scrolls the form and turns no picker
    SETTINGS_WINDOW="$(timeout 10 xdotool search --sync --onlyvisible --name '^Folioport Settings$' | head -1)"
    eval "$(xdotool getwindowgeometry --shell "$SETTINGS_WINDOW")"
    xdotool mousemove $((X + 4 * scale)) $((Y + HEIGHT / 2)) click --repeat 20 5; sleep 0.5
    window_shot "$SETTINGS_WINDOW" settings-read-only
    stop_processes "$APP_PID"

    # A page editor from the panel's "New page" button, before and after Ctrl+S creates the page; then
    # quitting from the tray menu with unsaved text asks first, and Escape ("Keep editing") keeps it running.
    start_app '"spaceKey": "ENG"'
    click_tray_icon; sleep 2
    click_panel "$scale" -134 24; sleep 1; shot editor-new whole
    # a title of its own per scale, as the site keeps the page of the first run
    xdotool type --delay 30 "Launch plan at $((scale * 100)) %"; xdotool key Tab Tab  # past the format picker
    xdotool type --delay 30 "# Plan"; xdotool key Return Return; xdotool type --delay 30 -- "- search first"
    xdotool key ctrl+s; sleep 1.5; shot editor-created whole
    save_elsewhere "Launch plan at $((scale * 100)) %"
    xdotool key ctrl+End; xdotool type --delay 30 " and sync"
    xdotool key ctrl+s; sleep 1.5; shot editor-change-notice whole
    eval "$(xdotool getwindowgeometry --shell "$TRAY_ICON")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3; sleep 0.5
    xdotool key Up Return; sleep 1; shot quit-question whole
    xdotool key Escape; sleep 1
    kill -0 "$APP_PID" 2>/dev/null || echo "  MISMATCH: \"Keep editing\" did not keep the application running" >&2
    stop_processes "$APP_PID"

    # The search window from the panel's magnifier: as opened (the scope box ticked, as a default space is
    # set), with hits across all spaces, with none; then the About window from the footer's version button.
    start_app '"spaceKey": "ENG"'
    click_tray_icon; sleep 2
    click_panel "$scale" -98 24
    SEARCH_WINDOW="$(timeout 10 xdotool search --sync --onlyvisible --name '^Search Confluence$' | head -1)"
    sleep 0.5; window_shot "$SEARCH_WINDOW" search-opened
    [ -z "$(panel_rect "$scale")" ] || echo "  MISMATCH: opening the search window left the panel open" >&2
    xdotool windowfocus --sync "$SEARCH_WINDOW"
    xdotool key Tab space shift+Tab  # unticks "Only in ENG" (the Search button takes no Tab stop while disabled)
    search_shot search search-results
    search_shot zeppelin search-nothing
    # "Open a page link…" (Shift+Tab from the query field passes "Close"): the link asked for, then the
    # editor of the page it names, titled by the page's id.
    page_id="$(curl -fsS -u demo@example.com:demo-token "$site/wiki/api/v2/pages?limit=1&sort=-modified-date" |
      grep -o '"id":"[0-9]*"' | head -1 | tr -dc 0-9)"
    xdotool key shift+Tab shift+Tab space
    LINK_DIALOG="$(timeout 10 xdotool search --sync --onlyvisible --name '^Open a page link$' | head -1)"
    xdotool type --delay 10 "$site/wiki/spaces/ENG/pages/$page_id"; sleep 0.5
    window_shot "$LINK_DIALOG" page-link-dialog
    xdotool key Return; sleep 1.5
    window_shot "$(timeout 10 xdotool search --sync --onlyvisible --name "^Page $page_id\$" | head -1)" editor-from-link
    xdotool key Escape; sleep 0.5  # closes the editor, which has nothing unsaved
    xdotool windowfocus --sync "$SEARCH_WINDOW"
    xdotool key Escape; sleep 0.5
    click_tray_icon; sleep 1
    click_panel "$scale" 24 $((700 - 16))
    window_shot "$(timeout 10 xdotool search --sync --onlyvisible --name '^About Folioport$' | head -1)" about
    stop_processes "$APP_PID"

    start_app '"autoUpdate": true, "updateFeedURL": "'"$site"'/feed.json"'
    click_tray_icon; sleep 7; shot update-offered  # the updater's first check comes 5 s after the panel opened
    stop_processes "$APP_PID"

    start_app '"spaceKey": ""'
    control fail '{"status": 503, "path": "/wiki/api/v2/pages", "count": 1}'
    click_tray_icon; sleep 2; shot error
    stop_processes "$APP_PID"

    # A scoped token: the site refuses it, so the panel explains an expired token; the settings window's
    # test (Tab from the site field to "Test connection") finds the way through the API gateway.
    start_app '"spaceKey": "ENG"' scoped-token
    click_tray_icon; sleep 2; shot expired-token
    click_panel "$scale" -26 24
    SETTINGS_WINDOW="$(timeout 10 xdotool search --sync --onlyvisible --name '^Folioport Settings$' | head -1)"
    xdotool windowfocus --sync "$SETTINGS_WINDOW"; sleep 0.5
    xdotool key Tab Tab Tab Tab Tab Tab Tab Tab space; sleep 2
    window_shot "$SETTINGS_WINDOW" settings-gateway
    stop_processes "$APP_PID"

    start_app '"spaceKey": "OPS"'
    click_tray_icon; sleep 2
    control latency '{"ms": 4000}'
    # "Move to trash…" is the menu's last item; its submenu holds the one confirmation item
    click_panel "$scale" -32 114; sleep 0.5
    xdotool key Up Right Return; sleep 1; shot busy-row
    control latency '{"ms": 0}'
    sleep 4
    stop_processes "$APP_PID"

    # The big wiki: the space picker under the space bar's menu button, a filter typed; then the site goes
    # down and the panel, left open, shows the quiet line once the timed refresh (a minute) has failed.
    site="$big_site"
    start_app '"spaceKey": "ENG", "refreshMinutes": 1'
    local started=$SECONDS
    click_tray_icon; sleep 3
    click_panel "$scale" 40 68; sleep 1
    xdotool type --delay 80 "des 1"; sleep 0.5; shot space-picker whole
    xdotool key Escape; sleep 0.5
    # why: one failure, which the timed refresh takes, so the next scale's run starts on a site that answers
    control fail '{"status": 503, "body": "Service unavailable", "path": "/wiki/rest/api/user", "count": 1}'
    sleep $((65 - (SECONDS - started))); shot stale-list
    stop_processes "$APP_PID" "$TRAYER_PID" "$XVFB_PID"
    site="$demo_site"
  done
}

if [ "${1:-}" = "--inside-keyring" ]; then
  shift
  inside "$@"
  exit
fi

cd "$here/.."
folder="$(mkdir -p "${1:-build-shots}" && cd "${1:-build-shots}" && pwd)"
build="${FOLIOPORT_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DFOLIOPORT_BUILD_TESTS=ON >/dev/null
cmake --build "$build" --target Folioport fake_confluence
feed="$(mktemp -d "${TMPDIR:-/tmp}/folioport-feed.XXXXXX")"
printf '{"version": "9.9.0", "build": "90", "url": "http://127.0.0.1:9/Folioport-9.9.0.zip", "notes": "Faster search."}\n' \
  > "$feed/feed.json"
DEMO_EXTRA_SPACES=2000 DEMO_EXTRA_PAGES=250 start_demo_site "$build/fake_confluence/fake_confluence"
big_site="$DEMO_SITE_URL" big_site_pid="$DEMO_SITE_PID"
start_demo_site "$build/fake_confluence/fake_confluence" --gateway-port 0 --serve "/feed.json=$feed/feed.json"
trap 'kill "$DEMO_SITE_PID" "$big_site_pid" 2>/dev/null; rm -rf "$feed"' EXIT
tests/keyring/with-keyring.sh "$here/screenshots.sh" --inside-keyring "$DEMO_SITE_URL" "$folder" \
  "$PWD/$build/Folioport.app/Contents/bin/Folioport" "$DEMO_GATEWAY_URL" "$big_site"
echo "Saved in $folder (Xvfb has no window manager: no window frames)."
