#!/usr/bin/env bash
# Resident memory of the full-screen saver over a long run on its own Xvfb,
# told apart from the software driver's: the run is made twice, with Mesa's
# llvmpipe rendering threads on (what a user gets) and with LP_NUM_THREADS=0
# (the program and the driver's single-threaded base). Each run reports VmRSS
# once the pool has filled and every minute after that, then its growth over
# the whole span and over the second half (a plateau shows as next to none
# there) and the peak (VmHWM).
#   bench/soak.sh VELORA_BINARY [MINUTES [FILL_SECONDS [SCREEN]]]
# defaults: 10 minutes after a 60-second fill, on a 1280x720x24 screen.
set -euo pipefail
velora=${1:?velora binary}
minutes=${2:-10}
fill=${3:-60}
screen=${4:-1280x720x24}
source "$(dirname "$0")/../scripts/xvfb.sh"

kib() { awk -v key="$1:" '$1 == key {print $2}' "/proc/$2/status"; }
mib() { awk -v k="$1" 'BEGIN {printf "%.1f MiB", k / 1024}'; }

saver=
trap '[ -n "$saver" ] && kill $saver 2>/dev/null; velora_stop_xvfb' EXIT

soak() {  # LABEL [ENV=VALUE]
  local label=$1 start now half
  shift
  velora_start_xvfb "$screen"
  env DISPLAY="$XVFB_DISPLAY" "$@" "$velora" /s &
  saver=$!
  sleep "$fill"
  start=$(kib VmRSS $saver)
  echo "$label: after the ${fill}-second fill  VmRSS $(mib "$start")"
  for minute in $(seq "$minutes"); do
    sleep 60
    now=$(kib VmRSS $saver)
    [ "$minute" -eq $(( (minutes + 1) / 2 )) ] && half=$now
    echo "$label: +$minute min  VmRSS $(mib "$now")"
  done
  echo "$label: grew $(( now - start )) KiB in $minutes min after the fill," \
    "$(( now - half )) KiB in the last $(( minutes / 2 )) min; peak VmHWM $(mib "$(kib VmHWM $saver)")"
  DISPLAY=$XVFB_DISPLAY xdotool key Escape
  wait $saver || { echo "$label: the saver did not end normally on a key"; exit 1; }
  saver=
  velora_stop_xvfb
}

echo "velora /s on $screen: $velora"
soak "driver threads on  "
soak "LP_NUM_THREADS=0   " LP_NUM_THREADS=0
