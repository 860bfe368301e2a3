# Shell functions for the demo and the scripts that drive the real application against the demo site
# (run.sh, screenshots.sh, idle-bench.sh). Source it; it sets nothing else.

# start_demo_site FAKE_CONFLUENCE [ARGS…]: starts the fake site on 127.0.0.1 with the demo seed and
# sets DEMO_SITE_URL and DEMO_SITE_PID; stop it with `kill "$DEMO_SITE_PID"`.
start_demo_site() {
  local fake="$1"; shift
  local folder; folder="$(mktemp -d "${TMPDIR:-/tmp}/folioport-demo-site.XXXXXX")"
  "$(dirname "${BASH_SOURCE[0]}")/demo-site.sh" > "$folder/seed.json"
  "$fake" --seed "$folder/seed.json" "$@" > "$folder/out" 2>&1 &
  DEMO_SITE_PID=$!
  for _ in $(seq 100); do
    DEMO_SITE_URL="$(sed -n 's/^listening on //p' "$folder/out")"
    [ -n "$DEMO_SITE_URL" ] && return 0
    sleep 0.05
  done
  echo "The demo site did not start: $(cat "$folder/out")" >&2
  return 1
}

# store_demo_settings URL [EXTRA_JSON_MEMBERS]: inside tests/keyring/with-keyring.sh, puts the demo
# token into the private keyring and the demo site's settings into the private preferences file.
store_demo_settings() {
  printf 'demo-token' | secret-tool store --label="Folioport API token" service com.tessaly.folioport account apiToken
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
