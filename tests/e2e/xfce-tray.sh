#!/usr/bin/env bash
# Usage: tests/e2e/xfce-tray.sh FOLIOPORT FAKE_CONFLUENCE [SCREENSHOT_FOLDER]
# The real tray application on the real XFCE panel (xfce4-panel holding only its Status Tray, under Xvfb
# with xfwm4), against the fake site on 127.0.0.1 with private settings, keyring and session bus:
# - tray along the top, then the bottom: the icon is there with its tooltip, a left click opens the panel
#   at the icon, a click elsewhere and Escape close it, the menu's Open, Settings… and Quit work;
# - no tray: the panel is a window that stays when Settings closes, a second launch brings it forward,
#   a tray started 3 s later takes the icon and closes the window, the window comes back when that tray
#   goes away, and closing it ends the application.
# With SCREENSHOT_FOLDER, saves the panel at the top and the bottom and the window with Settings open.
# Exits 77 with the reason when the desktop cannot start here (CTest counts that as skipped).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../../scripts/demo-lib.sh"

skip() { echo "SKIPPED: $*"; exit 77; }
fail() {
  echo "FAILED: $*" >&2
  [ -z "${APP_LOG:-}" ] || { echo "--- application output:" >&2; cat "$APP_LOG" >&2; }
  exit 1
}
wait_until() {  # SECONDS COMMAND…: tries COMMAND every 0.1 s
  local tries=$(($1 * 10)); shift
  for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.1; done
  return 1
}
shot() { [ -z "$SHOTS" ] || { import -window root "$SHOTS/$1.png"; echo "  saved $SHOTS/$1.png"; }; }

watcher() {  # PROPERTY: a property of the tray's StatusNotifierWatcher
  dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher "string:$1" 2>/dev/null
}
tray_ready() { watcher IsStatusNotifierHostRegistered | grep -q 'boolean true'; }
item() {  # the tray item's bus name and path, as the tray learnt them
  watcher RegisteredStatusNotifierItems | sed -n 's/.*string "\([^/]*\)\(\/.*\)".*/\1 \2/p' | head -1
}
item_tooltip() {  # the tooltip title the tray shows, read from the item as the tray reads it
  local service path
  read -r service path < <(item)
  dbus-send --session --print-reply --dest="$service" "$path" org.freedesktop.DBus.Properties.Get \
    string:org.kde.StatusNotifierItem string:ToolTip | sed -n 's/^ *string "\(.\+\)"$/\1/p' | tail -1
}

activate_item() {  # X Y: what a tray sends on a click or a keyboard activation of the item
  local service path
  read -r service path < <(item)
  dbus-send --session --type=method_call --dest="$service" "$path" org.kde.StatusNotifierItem.Activate "int32:$1" "int32:$2"
}

start_panel() {  # top|bottom: xfce4-panel with one 28 px panel holding a spacer and the Status Tray
  local position=6
  [ "$1" = bottom ] && position=8
  if [ -n "${PANEL_CONFIGURED:-}" ]; then  # why: the settings daemon keeps what it read first
    xfconf-query -c xfce4-panel -p /panels/panel-1/position -s "p=$position;x=0;y=0"
  fi
  PANEL_CONFIGURED=1
  mkdir -p "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
  cat > "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=$position;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="28"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/><value type="int" value="2"/></property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="separator">
      <property name="expand" type="bool" value="true"/>
      <property name="style" type="uint" value="0"/>
    </property>
    <property name="plugin-2" type="string" value="systray"/>
  </property>
</channel>
XML
  xfce4-panel >>"$PANEL_LOG" 2>&1 & PANEL_PID=$!
  wait_until 10 tray_ready || skip "xfce4-panel did not start its Status Tray: $(cat "$PANEL_LOG")"
}
stop_panel() {  # why: the panel sometimes lingers on SIGTERM while its tray plugin ends; it gets 5 s
  kill "$PANEL_PID" 2>/dev/null || true
  wait_until 5 eval '! kill -0 "$PANEL_PID" 2>/dev/null' || kill -KILL "$PANEL_PID" 2>/dev/null || true
  wait "$PANEL_PID" 2>/dev/null || true
  PANEL_PID=""
}

# icon_box top|bottom: the icon's box in the panel strip as "LEFT TOP RIGHT BOTTOM", found by the
# badge's blue, which nothing else on this desktop has.
icon_box() {
  local strip_y=0
  [ "$1" = bottom ] && strip_y=$((800 - 28))
  import -window root png:- | convert - -crop "1280x28+0+$strip_y" +repage txt:- |
    awk -F'[,: ]+' -v top="$strip_y" 'tolower($0) ~ /#1f5fd6/ {
        if (n++ == 0 || $1 < l) l = $1; if ($1 > r) r = $1; if (n == 1 || $2 < t) t = $2; if ($2 > b) b = $2 }
      END { if (n) print l, t + top, r, b + top }'
}
icon_shown() { ICON="$(icon_box "$1")"; [ -n "$ICON" ]; }

panel_open() { [ -n "$(panel_rect 1)" ]; }
panel_closed() { [ -z "$(panel_rect 1)" ]; }
window_named() {  # TITLE: the visible window with this title, waiting up to 10 s for it
  local id
  for _ in $(seq 100); do
    id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  fail "no window \"$1\" appeared"
}
app_ended() { ! kill -0 "$APP_PID" 2>/dev/null; }

menu() {  # KEYS…: right-clicks the icon and walks the tray's menu with the keys
  local left top right bottom
  read -r left top right bottom <<<"$ICON"
  xdotool mousemove $(((left + right) / 2)) $(((top + bottom) / 2)) click 3
  sleep 0.7
  xdotool key "$@"
}

with_tray() {  # top|bottom
  local edge="$1" left top right bottom rect x y
  start_panel "$edge"
  "$EXE" >>"$APP_LOG" 2>&1 & APP_PID=$!
  wait_until 10 icon_shown "$edge" || fail "$edge: no icon appeared in the tray"
  [ "$(item_tooltip)" = "Folioport · ENG" ] || fail "$edge: the tooltip reads \"$(item_tooltip)\""
  echo "ok - $edge: the icon is in the tray, its tooltip reads Folioport · ENG"

  read -r left top right bottom <<<"$ICON"
  xdotool mousemove $(((left + right) / 2)) $(((top + bottom) / 2)) click 1
  wait_until 5 panel_open || fail "$edge: a left click did not open the panel"
  rect="$(panel_rect 1)" x="${rect#*+}" x="${x%+*}" y="${rect##*+}"
  # right against the tray: below the area it reserves at the top, or above it at the bottom
  local area_y area_h want_y
  read -r _ area_y _ area_h _ < <(xprop -root _NET_WORKAREA | sed 's/.*= //; s/,//g')
  want_y="$area_y"
  [ "$edge" = bottom ] && want_y=$((area_y + area_h - 700))
  [ "$y" = "$want_y" ] && [ "$x" -le "$left" ] && [ $((x + 560)) -ge "$right" ] ||
    fail "$edge: the panel opened at $rect, not at the icon ($ICON) beside the free area from y $area_y, $area_h high"
  echo "ok - $edge: a left click opens the panel at the icon ($rect)"
  sleep 1; shot "xfce-panel-$edge"

  xdotool mousemove 200 400 click 1
  wait_until 5 panel_closed || fail "$edge: a click elsewhere did not close the panel"
  echo "ok - $edge: a click elsewhere closes the panel"
  [ "$edge" = top ] || { stop_processes "$APP_PID"; stop_panel; return; }

  # A keyboard activation (as KDE sends it) comes with the icon's position, not the pointer's.
  xdotool mousemove 100 400
  sleep 0.5  # why: a click within 300 ms of the panel closing is taken as the click that closed it
  activate_item "$right" "$top"
  wait_until 5 panel_open || fail "an activation from the tray did not open the panel"
  [ "$(panel_rect 1)" = "$rect" ] || fail "an activation at the icon opened the panel at $(panel_rect 1), not $rect"
  xdotool key Escape
  wait_until 5 panel_closed || fail "Escape did not close the panel"
  echo "ok - the position the tray sends with an activation places the panel; Escape closes it"

  menu Down Return
  wait_until 5 panel_open || fail "the menu's Open did not open the panel"
  xdotool mousemove 200 400 click 1
  wait_until 5 panel_closed || fail "a click elsewhere did not close the panel opened from the menu"
  echo "ok - the menu's Open opens the panel"
  menu Down Down Return
  wmctrl -ic "$(window_named "Folioport Settings")"
  echo "ok - the menu's Settings… opens the settings window"
  menu Down Down Down Return
  wait_until 5 app_ended || fail "the menu's Quit did not end the application"
  wait "$APP_PID" || fail "the application ended with status $? on Quit"
  echo "ok - the menu's Quit ends the application"
  stop_panel
}

without_tray() {
  local panel settings status
  "$EXE" >>"$APP_LOG" 2>&1 & APP_PID=$!
  local started=$SECONDS
  panel="$(window_named Folioport)"
  grep -q "no system tray is available" "$APP_LOG" || fail "no tray: the application did not say why it opened a window"
  # the panel's settings gear, 26 points from its right edge
  click_panel 1 -26 24
  settings="$(window_named "Folioport Settings")"
  sleep 0.5; shot no-tray-settings
  wmctrl -ic "$settings"
  sleep 1
  app_ended && fail "no tray: closing Settings ended the application"
  panel_open || fail "no tray: the panel window did not stay when Settings closed"
  echo "ok - no tray: the panel is a window that stays when Settings closes"

  xdotool windowminimize --sync "$panel"
  wait_until 5 panel_closed || fail "no tray: the panel window did not minimise"
  status=0; timeout 10 "$EXE" >>"$APP_LOG" 2>&1 || status=$?
  [ "$status" = 0 ] || fail "no tray: a second launch ended with status $status"
  wait_until 5 panel_open || fail "no tray: a second launch did not bring the panel forward"
  echo "ok - no tray: a second launch hands over (status 0) and the panel comes forward"

  while [ $((SECONDS - started)) -lt 3 ]; do sleep 0.2; done
  start_panel top
  wait_until 10 icon_shown top || fail "a tray started later got no icon"
  wait_until 5 panel_closed || fail "a tray started later left the panel window open"
  echo "ok - a tray started later gets the icon and the window closes"
  stop_panel
  wait_until 10 panel_open || fail "the window did not come back when the tray went away"
  echo "ok - when the tray goes away, the window comes back"
  wmctrl -ic "$(window_named Folioport)"
  wait_until 5 app_ended || fail "closing the panel window did not end the application"
  wait "$APP_PID" || fail "the application ended with status $? when its window closed"
  echo "ok - closing the panel window ends the application"
}

inside() {  # SITE_URL EXECUTABLE SCREENSHOT_FOLDER
  EXE="$2" SHOTS="$3"
  APP_LOG="$(mktemp "${TMPDIR:-/tmp}/folioport-xfce-app.XXXXXX")"
  PANEL_LOG="$(mktemp "${TMPDIR:-/tmp}/folioport-xfce-panel.XXXXXX")"
  trap '[ -z "${PANEL_PID:-}" ] || stop_panel; stop_processes ${APP_PID:-} ${XFWM_PID:-} ${XVFB_PID:-}
    rm -f "$APP_LOG" "$PANEL_LOG"' EXIT
  unset WAYLAND_DISPLAY
  store_demo_settings "$1"
  start_virtual_display 1
  xfwm4 --compositor=off >>"$PANEL_LOG" 2>&1 & XFWM_PID=$!
  wait_until 10 xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null 2>&1 || skip "xfwm4 did not start"
  sleep 0.5
  with_tray top
  with_tray bottom
  without_tray
}

if [ "${1:-}" = "--inside-keyring" ]; then
  shift
  inside "$@"
  exit
fi

[ $# -ge 2 ] || { sed -n '2,4p' "$0" >&2; exit 2; }
for tool in Xvfb xfwm4 xfce4-panel wmctrl xdotool import; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup.sh installs it)"
done
shots=""
[ -z "${3:-}" ] || shots="$(mkdir -p "$3" && cd "$3" && pwd)"
start_demo_site "$2"
trap 'kill "$DEMO_SITE_PID" 2>/dev/null' EXIT
"$here/../keyring/with-keyring.sh" "$here/xfce-tray.sh" --inside-keyring "$DEMO_SITE_URL" "$1" "$shots"
