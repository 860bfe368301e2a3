# Shell functions for the demo and the scripts that drive the real application against the demo site
# (run.sh, screenshots.sh, idle-bench.sh, the desktop end-to-end flows). Source it; it sets nothing else.

# start_demo_site FAKE_CONFLUENCE [ARGS…]: starts the fake site on 127.0.0.1 with the demo seed (and
# DEMO_EXTRA_SPACES, DEMO_EXTRA_PAGES made-up ones when set) and sets DEMO_SITE_URL and DEMO_SITE_PID (and
# DEMO_GATEWAY_URL when ARGS ask for --gateway-port); stop it with `kill "$DEMO_SITE_PID"`.
start_demo_site() {
  local fake="$1"; shift
  local folder; folder="$(mktemp -d "${TMPDIR:-/tmp}/folioport-demo-site.XXXXXX")"
  "$(dirname "${BASH_SOURCE[0]}")/demo-site.sh" "${DEMO_EXTRA_SPACES:-0}" "${DEMO_EXTRA_PAGES:-0}" > "$folder/seed.json"
  : > "$folder/out"  # why: the background site creates it later; the first read below must find it
  "$fake" --seed "$folder/seed.json" "$@" > "$folder/out" 2>&1 &
  DEMO_SITE_PID=$!
  for _ in $(seq 100); do
    DEMO_SITE_URL="$(sed -n 's/^listening on //p' "$folder/out")"
    DEMO_GATEWAY_URL="$(sed -n 's/^gateway on //p' "$folder/out")"
    # why: the site has read its seed once it listens, and keeps writing to its open output file
    case " $* " in *" --gateway-port "*) [ -n "$DEMO_GATEWAY_URL" ] || DEMO_SITE_URL="" ;; esac
    [ -n "$DEMO_SITE_URL" ] && { rm -rf "$folder"; return 0; }
    sleep 0.05
  done
  echo "The demo site did not start: $(cat "$folder/out")" >&2
  rm -rf "$folder"
  return 1
}

# store_demo_settings URL [EXTRA_JSON_MEMBERS [TOKEN]]: inside tests/keyring/with-keyring.sh, puts the demo
# token (or TOKEN) into the private keyring and the demo site's settings into the private preferences file.
store_demo_settings() {
  printf '%s' "${3:-demo-token}" | secret-tool store --label="Folioport API token" service com.tessaly.folioport account apiToken
  mkdir -p "$XDG_CONFIG_HOME/com.tessaly.folioport"
  printf '{"baseURL": "%s", "email": "demo@example.com", "spaceKey": "ENG", "refreshMinutes": 5, "autoUpdate": false%s}\n' \
    "$1" "${2:+, $2}" > "$XDG_CONFIG_HOME/com.tessaly.folioport/preferences.json"
}

# keep_user_session: before entering with-keyring.sh, which moves HOME and XDG_RUNTIME_DIR to a temporary
# folder, remembers what the application needs to reach the user's display (X authority, Wayland socket).
keep_user_session() {
  export FOLIOPORT_USER_HOME="$HOME" FOLIOPORT_USER_RUNTIME="${XDG_RUNTIME_DIR:-}"
  export XAUTHORITY="${XAUTHORITY:-$HOME/.Xauthority}"
  if [ -n "${WAYLAND_DISPLAY:-}" ] && [ "${WAYLAND_DISPLAY#/}" = "$WAYLAND_DISPLAY" ] && [ -n "${XDG_RUNTIME_DIR:-}" ]; then
    export WAYLAND_DISPLAY="$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY"
  fi
}

# restore_user_session: inside with-keyring.sh, gives the application the user's HOME and runtime folder
# back; preferences (XDG_CONFIG_HOME) and the keyring (the private session bus) stay private.
restore_user_session() {
  export HOME="$FOLIOPORT_USER_HOME"
  if [ -n "$FOLIOPORT_USER_RUNTIME" ]; then export XDG_RUNTIME_DIR="$FOLIOPORT_USER_RUNTIME"; fi
}

# start_virtual_display SCALE: an Xvfb screen of 1280 × 800 points at SCALE (1 or 2) on a free display
# number; sets DISPLAY and XVFB_PID.
start_virtual_display() {
  local scale="$1" number
  number="$(mktemp "${TMPDIR:-/tmp}/folioport-display.XXXXXX")"
  # why: -displayfd has the server take a free display number itself and tell it once it accepts
  # clients, so runs side by side never race for the same number
  Xvfb -displayfd 3 -screen 0 $((1280 * scale))x$((800 * scale))x24 -nolisten tcp 3>"$number" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$number" ] && break; sleep 0.1; done
  export DISPLAY=":$(tr -d '\n' < "$number")"
  rm -f "$number"
}

# start_virtual_desktop SCALE: start_virtual_display with trayer as the tray host along its top edge;
# also sets TRAYER_PID.
start_virtual_desktop() {
  local scale="$1"
  start_virtual_display "$scale"
  trayer --edge top --align right --widthtype request --height $((28 * scale)) --SetDockType true \
    >/dev/null 2>&1 & TRAYER_PID=$!
  sleep 1
}

# start_tray_app LOG COMMAND…: starts the application and waits until trayer has embedded its icon;
# sets APP_PID and TRAY_ICON (the icon's X window).
start_tray_app() {
  local log="$1"; shift
  "$@" >>"$log" 2>&1 & APP_PID=$!
  TRAY_ICON=""
  for _ in $(seq 100); do
    # the icon is a grandchild of trayer's window
    TRAY_ICON="$(xwininfo -tree -id "$(xdotool search --classname '^panel$' | head -1)" 2>/dev/null |
      awk '/"Folioport"/ {print $1; exit}')"
    [ -n "$TRAY_ICON" ] && break
    sleep 0.1
  done
  [ -n "$TRAY_ICON" ] || { echo "The tray icon did not appear:"; cat "$log"; return 1; } >&2
  sleep 2  # why: trayer embeds the icon about 1.5 s after it shows; before that its geometry is empty
}

click_tray_icon() {
  eval "$(xdotool getwindowgeometry --shell "$TRAY_ICON")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
}

# panel_rect SCALE: the open panel's rectangle as WxH+X+Y (the application's window of the panel's size;
# its content, without a window manager's frame).
panel_rect() {
  local w=$((560 * $1)) h=$((700 * $1)) id geometry
  for id in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null); do
    # why: xdotool adds a window manager's frame twice; xwininfo's absolute corner is the content's
    geometry="$(xwininfo -id "$id" 2>/dev/null | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
      /Width:/ {w = $2} /Height:/ {h = $2} /Map State: IsViewable/ {print w "x" h "+" x "+" y}')"
    if [ "${geometry%%+*}" = "${w}x${h}" ]; then echo "$geometry"; return; fi
  done
}

# click_panel SCALE DX DY: clicks DX, DY points from the panel's top-left corner (negative DX: from its right edge).
click_panel() {
  local rect x y
  rect="$(panel_rect "$1")"
  x="$(echo "$rect" | sed 's/.*+\(.*\)+.*/\1/')" y="${rect##*+}"
  if [ "$2" -lt 0 ]; then x=$((x + 560 * $1 + $2 * $1)); else x=$((x + $2 * $1)); fi
  xdotool mousemove "$x" $((y + $3 * $1)) click 1
}

# stop_processes PID…: ends each given process (ours) and waits for it.
stop_processes() {
  local pid
  for pid in "$@"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
}

# run_flow SCRIPT ARGS…: the entry of a desktop end-to-end flow that defines inside(). Called with
# "FOLIOPORT FAKE_CONFLUENCE", it starts the demo site with a request log and runs SCRIPT again in a private
# keyring with "--inside-keyring SITE_URL SITE_LOG FOLIOPORT", which runs inside SITE_URL SITE_LOG FOLIOPORT.
run_flow() {
  local script="$1"; shift
  if [ "${1:-}" = "--inside-keyring" ]; then shift; inside "$@"; return; fi
  [ $# -eq 2 ] || { echo "usage: $script FOLIOPORT FAKE_CONFLUENCE" >&2; return 2; }
  DEMO_SITE_LOG="$(mktemp "${TMPDIR:-/tmp}/folioport-flow-site.XXXXXX")"
  start_demo_site "$2" --log "$DEMO_SITE_LOG"
  trap 'kill "$DEMO_SITE_PID" 2>/dev/null; rm -f "$DEMO_SITE_LOG"' EXIT
  "$(dirname "${BASH_SOURCE[0]}")/../tests/keyring/with-keyring.sh" "$script" --inside-keyring "$DEMO_SITE_URL" \
    "$DEMO_SITE_LOG" "$1"
}
