#!/usr/bin/env bash
# The engine with the x87 unit against the engine with SoftExtended, on one
# machine in one run: the micro-benchmarks of a full pool at 1920x1080, and
# the average frame of a 3000-frame velora-sim run at 1920x1080 (which must
# print the same bytes in both). With qemu-x86_64 and an aarch64 simulator
# also that run under user emulation; with a web build, the WebAssembly
# simulator under node.
#   bench/extended-bench.sh X87_BUILD SOFT_BUILD [AARCH64_BUILD|-] [WEB_BUILD]
# (X87_BUILD: build/release; SOFT_BUILD: a release build configured with
# -DVELORA_SOFT_EXTENDED=ON; both with velora-engine-bench and velora-sim built;
# WEB_BUILD: build/web.)
set -euo pipefail
x87=${1:?x87 build directory}
soft=${2:?soft-extended build directory}
arm=${3:-}
[ "$arm" != - ] || arm=""
web=${4:-}
frames=3000
sim_options() { echo --width 1920 --height 1080 --seed 987654321 --frames "$frames" --step 16,17; }

for build in "$x87" "$soft"; do
  echo "== $build"
  "$build/bin/velora-engine-bench" --benchmark_min_time=2 --benchmark_filter='DrawSparksFullPool|StepSparksFullPool' 2>&1 | grep '^BM_'
done

average() {  # label, command...: ms per frame of the velora-sim run, and its digest
  local label=$1 start end
  shift
  start=$(date +%s%N)
  local digest
  # shellcheck disable=SC2046
  digest=$("$@" $(sim_options) | sha1sum | cut -c1-12)
  end=$(date +%s%N)
  awk -v l="$label" -v ns=$((end - start)) -v d="$digest" -v n="$frames" \
    'BEGIN {printf "%-24s %.3f ms/frame over %d frames, output %s\n", l, ns / n / 1e6, n, d}'
}
average "x87, native" "$x87/bin/velora-sim"
average "SoftExtended, native" "$soft/bin/velora-sim"
[ -z "$web" ] || average "SoftExtended, node (wasm)" node "$web/bin/velora-sim.js"
if [ -n "$arm" ]; then
  frames=600  # emulation is some twenty times slower
  average "x87, qemu-x86_64" qemu-x86_64 "$x87/bin/velora-sim"
  average "aarch64, qemu-aarch64" qemu-aarch64 -L /usr/aarch64-linux-gnu "$arm/bin/velora-sim"
fi
