#!/usr/bin/env bash
# velora-skyshow on a headless sway (pixman, Mesa's llvmpipe for the GL) at
# 1280x720 per output, and the same engine on an Xvfb of that size:
#   - start to first frame on each of two outputs,
#   - frame time on one output against X11 (velora-frame-bench: the engine full
#     screen through the X11 backend) in the same run,
#   - the resident memory that one more output costs.
#   bench/wayland-bench.sh BUILD_DIR [MEASURE_S]
# Run as root (sway runs as nobody). Frames are counted from the client's
# own protocol log (WAYLAND_DEBUG: one wl_surface.attach per frame).
set -euo pipefail
build=$(realpath "${1:?build directory}")
measure=${2:-10}
saver=$build/bin/velora-skyshow
work=$(mktemp -d /tmp/velora-wayland-bench-XXXXXX)
chmod 755 "$work"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -- -"$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# The client's protocol log stamps each line with the microseconds since
# the epoch modulo 2^32, in ms.
now_stamp() { echo $(( ($(date +%s%N) / 1000) % 4294967296 / 1000 )); }

start_sway() {  # OUTPUTS -> sets RUNTIME, exports the client environment
  RUNTIME=$work/run-$1
  mkdir -m 700 "$RUNTIME" && chown 65534:65534 "$RUNTIME"
  printf 'xwayland disable\n' >"$work/sway.conf"
  for i in 1 2 3 4; do printf 'output HEADLESS-%d mode 1280x720 position %d 0\n' $i $(( (i - 1) * 1280 )); done >>"$work/sway.conf"
  setsid env -i PATH=/usr/bin:/bin HOME="$RUNTIME" XDG_RUNTIME_DIR="$RUNTIME" WLR_BACKENDS=headless \
    WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS="$1" setpriv --reuid=65534 --regid=65534 --clear-groups \
    sway -c "$work/sway.conf" >"$work/sway-$1.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    ls "$RUNTIME"/sway-ipc.*.sock >/dev/null 2>&1 && [ -S "$RUNTIME/wayland-1" ] && break
    sleep 0.1
  done
  export XDG_RUNTIME_DIR=$RUNTIME WAYLAND_DISPLAY=wayland-1 SWAYSOCK=$(ls "$RUNTIME"/sway-ipc.*.sock)
}

# Milliseconds between the first and the last line of a protocol log that
# match, after skipping the first SKIP seconds; and their count.
stamps() { grep -E "$2" "$1" | sed -E 's/^\[ *([0-9]+)\.([0-9]+)\].*/\1\2/'; }

echo "== start to first frame, two outputs of 1280x720"
start_sway 2
for run in 1 2 3; do
  begin=$(now_stamp)
  WAYLAND_DEBUG=1 "$saver" 2>"$work/first.log" &
  pid=$!
  for _ in $(seq 200); do [ "$(grep -c 'wl_surface@[0-9]*\.attach' "$work/first.log")" -ge 2 ] && break; sleep 0.05; done
  kill $pid; wait $pid 2>/dev/null || true
  # The first attach of each surface is its first frame.
  grep -E 'wl_surface@[0-9]+\.attach' "$work/first.log" | awk -v begin="$begin" '
    { match($0, /wl_surface@[0-9]+/); s = substr($0, RSTART, RLENGTH)
      if (!(s in seen)) { seen[s] = 1; gsub(/[\[\]]/, "", $1); t = $1 - begin; if (t < 0) t += 4294967.296
                          printf "run %d: output %d first frame %.0f ms after start\n", '"$run"', ++n, t } }'
done

echo "== frame time on one 1280x720 output, ${measure} s after 5 s of warm-up"
start_sway 1
WAYLAND_DEBUG=1 "$saver" 2>"$work/frames.log" &
pid=$!
sleep $((5 + measure))
kill $pid; wait $pid 2>/dev/null || true
stamps "$work/frames.log" 'wl_surface@[0-9]+\.attach' | awk -v skip=5000 '
  NR == 1 { first = $1 / 1000 } { t = $1 / 1000 - first; if (t < 0) t += 4294967.296
  if (t >= skip) { if (!n++) a = t; b = t } }
  END { if (n > 1) printf "wayland: %d frames, %.1f ms per frame (%.1f frames/s)\n", n - 1, (b - a) / (n - 1), (n - 1) * 1000 / (b - a) }'

source "$(dirname "$0")/../scripts/xvfb.sh"
velora_start_xvfb 1280x720x24
DISPLAY=$XVFB_DISPLAY "$build/bin/velora-frame-bench" 5 "$measure" | sed 's/^/x11 (velora-frame-bench on Xvfb): /'
velora_stop_xvfb

echo "== resident memory per extra output"
rss() { awk '/^VmRSS/ { print $2 }' /proc/$1/status; }
"$saver" &
pid=$!
sleep 5
one=$(rss $pid)
swaymsg -q create_output
sleep 5
two=$(rss $pid)
swaymsg -q create_output
sleep 5
three=$(rss $pid)
kill $pid; wait $pid 2>/dev/null || true
echo "one output: ${one} kB; two: ${two} kB (+$((two - one))); three: ${three} kB (+$((three - two)))"
