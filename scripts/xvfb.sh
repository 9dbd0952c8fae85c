# Sourced by scripts that need a private X server. velora_start_xvfb SCREEN
# (e.g. 1280x720x24) starts Xvfb on a display that the server picks itself
# among the free ones and sets XVFB_DISPLAY (":N"), XVFB_PID and XVFB_LOG, the
# file with the server's own messages. When the server does not come up it
# says so on stderr, naming that log, and returns 1. velora_stop_xvfb ends it.
velora_start_xvfb() {
  local dir
  dir=$(mktemp -d /tmp/velora-xvfb-XXXXXX)
  XVFB_LOG=$dir/xvfb.log
  XVFB_DISPLAY=
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$dir/display" 2>"$XVFB_LOG" &
  XVFB_PID=$!
  # The number is written once the server accepts connections.
  for _ in $(seq 300); do
    if grep -qx '[0-9][0-9]*' "$dir/display" 2>/dev/null; then
      XVFB_DISPLAY=:$(head -n 1 "$dir/display")
      return 0
    fi
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.05
  done
  kill "$XVFB_PID" 2>/dev/null
  XVFB_PID=
  echo "Xvfb did not start; its messages are in $XVFB_LOG" >&2
  return 1
}

velora_stop_xvfb() {
  [ -n "${XVFB_PID:-}" ] || return 0
  kill "$XVFB_PID" 2>/dev/null
  wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=
  rm -rf "$(dirname "$XVFB_LOG")"
}
