#!/usr/bin/env bash
# Runs a Wine command on an X server of its own: an Xvfb that picks a free
# display itself (-displayfd), and no Wine server of the prefix left over
# from before or after (it would keep serving the old display).
#   with-display.sh WINEPREFIX WIDTHxHEIGHT COMMAND...
set -u
export WINEPREFIX=$1
size=$2
shift 2
source "$(dirname "$0")/../../scripts/xvfb.sh"

cleanup() {
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  velora_stop_xvfb
}
trap cleanup EXIT
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null

velora_start_xvfb "${size}x24" || exit 1
DISPLAY=$XVFB_DISPLAY "$@"
