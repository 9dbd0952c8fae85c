#!/usr/bin/env bash
# Frame rate of the engine full screen at 1920x1080 on its own Xvfb (Mesa's
# llvmpipe), and the time the real program takes from its start to the first
# star pixels on the screen.
#   bench/frame-bench.sh BUILD_DIR [WARMUP_S MEASURE_S]
set -euo pipefail
build=${1:?build directory}
shift
source "$(dirname "$0")/../scripts/xvfb.sh"
trap velora_stop_xvfb EXIT
velora_start_xvfb 1920x1080x24
export DISPLAY=$XVFB_DISPLAY

"$build/bin/velora-frame-bench" "$@"

# The real program: from its start until the root window shows non-black pixels.
start=$(date +%s%N)
"$build/bin/velora" /s &
saver=$!
while :; do
  if xwd -root -silent | convert xwd:- -format '%[fx:maxima.r+maxima.g+maxima.b]' info: 2>/dev/null | grep -qv '^0$'; then
    break
  fi
  [ $(( ($(date +%s%N) - start) / 1000000 )) -lt 20000 ] || { echo "no star pixels after 20 s"; break; }
done
echo "velora /s: star pixels on the screen $(( ($(date +%s%N) - start) / 1000000 )) ms after start (screenshot polling)"
kill $saver 2>/dev/null; wait $saver 2>/dev/null || true
