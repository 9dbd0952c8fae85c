#!/usr/bin/env bash
# The page in headless Chromium against velora-frame-bench on Xvfb, both
# drawing in software (SwiftShader, Mesa's llvmpipe), at one size: start to
# first star pixels and frame time for each, then the live sparks that the
# page's frame time leaves (velora-sim at that step: the same engine, so the
# same sparks). The page's size is printed first.
#   bench/web-bench.sh NATIVE_BUILD WEB_BUILD [WIDTH HEIGHT]
# (NATIVE_BUILD: build/release; WEB_BUILD: build/web, with the page built.)
set -euo pipefail
native=${1:?native build directory}
web=${2:?web build directory}
width=${3:-1280}
height=${4:-720}
page=$web/bin/velora-skyshow.html
echo "page: $(stat -c %s "$page") bytes ($page)"

out=$(node "$(dirname "$0")/web-bench.mjs" "$page" "$width" "$height" 5 10)
echo "$out"

source "$(dirname "$0")/../scripts/xvfb.sh"
trap velora_stop_xvfb EXIT
velora_start_xvfb "${width}x${height}x24"
DISPLAY=$XVFB_DISPLAY "$native/bin/velora-frame-bench" 5 10

ms=$(sed -n 's/.*(\([0-9.]*\) ms a frame).*/\1/p' <<<"$out" | head -1)
step=$(printf '%.0f' "$ms")
frames=$((15000 / step))
live=$("$native/bin/velora-sim" --width "$width" --height "$height" --frames "$frames" --step "$step" |
  tail -n +2 | grep -c '"i":' || true)
echo "velora-sim at the page's step of $step ms: $live live sparks after $frames frames"
