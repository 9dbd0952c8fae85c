#!/usr/bin/env bash
# Runs a Wine command on an X server of its own: an Xvfb that picks a free
# display itself (-displayfd), and no Wine server of the prefix left over
# from before or after (it would keep serving the old display).
#   with-display.sh WINEPREFIX WIDTHxHEIGHT COMMAND...
set -u
export WINEPREFIX=$1
size=$2
shift 2

work=$(mktemp -d)
xvfb=
cleanup() {
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null

Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 200); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.05
done
if [ ! -s "$work/display" ]; then
  echo "with-display.sh: Xvfb did not start" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
DISPLAY=:$(head -n 1 "$work/display") "$@"
