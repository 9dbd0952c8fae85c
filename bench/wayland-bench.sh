#!/usr/bin/env bash
# velora-skyshow on a headless sway (pixman, Mesa's llvmpipe for the GL) at
# 1280x720 per output, and the same engine on an Xvfb of that size:
#   - start to first frame on each of two outputs,
#   - frame time on one output: velora-skyshow's own, and velora-frame-bench's
#     engine on sway against the same on Xvfb through the X11 backend, with
#     the live sparks of each, in the same run,
#   - the resident memory that one more output costs,
#   - the time from SIGTERM to the exit, drawing on three outputs.
#   bench/wayland-bench.sh BUILD_DIR [MEASURE_S]
# Run as root (sway runs as nobody). Frames are the program's swaps, stamped
# by libvelora-swap-stamps.so preloaded into it.
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

stamps=$build/lib/libvelora-swap-stamps.so
[ -f "$stamps" ] || { echo "wayland-bench: $stamps is missing (a build with the Wayland backend has it)" >&2; exit 1; }
# Microseconds of the wall clock, as the stamps have them.
now_us() { echo "${EPOCHREALTIME/./}"; }

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

echo "== start to first frame, two outputs of 1280x720"
start_sway 2
for run in 1 2 3; do
  begin=$(now_us)
  VELORA_SWAP_LOG=$work/first.log LD_PRELOAD=$stamps "$saver" &
  pid=$!
  for _ in $(seq 200); do
    [ "$(awk '{ print $1 }' "$work/first.log" 2>/dev/null | sort -u | wc -l)" -ge 2 ] && break
    sleep 0.05
  done
  kill $pid; wait $pid 2>/dev/null || true
  # The first swap of each surface is its first frame.
  awk -v begin="$begin" -v run=$run '!($1 in seen) { seen[$1] = 1
    printf "run %d: output %d first frame %.0f ms after start\n", run, ++n, ($2 - begin) / 1000 }' "$work/first.log"
done

echo "== frame time on one 1280x720 output, ${measure} s after 5 s of warm-up"
start_sway 1
VELORA_SWAP_LOG=$work/frames.log LD_PRELOAD=$stamps "$saver" &
pid=$!
sleep $((5 + measure))
kill $pid; wait $pid 2>/dev/null || true
awk -v skip=5000000 'NR == 1 { first = $2 } $2 - first >= skip { if (!n++) a = $2; b = $2 }
  END { if (n > 1) printf "velora-skyshow on sway: %d frames, %.1f ms per frame (%.1f frames/s)\n", n - 1, (b - a) / 1000 / (n - 1), (n - 1) * 1e6 / (b - a) }' \
  "$work/frames.log"
"$build/bin/velora-frame-bench" --wayland 5 "$measure" | sed 's/^/wayland (velora-frame-bench on sway): /'

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
echo "one output: ${one} kB; two: ${two} kB (+$((two - one))); three: ${three} kB (+$((three - two)))"

echo "== SIGTERM to exit, drawing on three outputs"
sent=$(now_us)
kill $pid
status=0
wait $pid 2>/dev/null || status=$?
echo "exit status $status, $(( ($(now_us) - sent) / 1000 )) ms after SIGTERM"
