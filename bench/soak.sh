#!/usr/bin/env bash
# Resident memory of the full-screen saver over a long run on its own Xvfb:
# sampled every minute; the run must not grow after its first minute.
#   bench/soak.sh VELORA_BINARY [MINUTES]
set -euo pipefail
velora=${1:?velora binary}
minutes=${2:-10}
display=:$((400 + RANDOM % 200))
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
saver=
trap '[ -n "$saver" ] && kill $saver 2>/dev/null; kill $xvfb 2>/dev/null; wait 2>/dev/null || true' EXIT
for _ in $(seq 100); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.05; done
DISPLAY=$display "$velora" /s &
saver=$!
for minute in $(seq "$minutes"); do
  sleep 60
  echo "after $minute min: $(grep VmRSS /proc/$saver/status | tr -s ' ')"
done
DISPLAY=$display xdotool key Escape
wait $saver && echo "saver ended normally on a key"
saver=
