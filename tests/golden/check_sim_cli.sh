#!/usr/bin/env bash
# The simulator's command line: bad input is refused with one line and the
# usage, status 2; the same options print the same bytes; the GL trace holds
# every call.
set -u
sim=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rejects() {
  "$sim" "$@" >"$work/out" 2>"$work/err"
  local rc=$?
  [ "$rc" -eq 2 ] || fail "'$*' exited $rc, not 2"
  [ ! -s "$work/out" ] || fail "'$*' printed to stdout"
  head -n 1 "$work/err" | grep -q '^velora-sim: ' || fail "'$*' gave no one-line error"
  grep -q '^usage: velora-sim' "$work/err" || fail "'$*' gave no usage"
}

rejects --bogus
rejects --width
rejects --width 32768
rejects --width -1
rejects --height 12x
rejects --seed 18446744073709551616
rejects --tick 4294967296
rejects --probe 5
rejects --probe 5,
rejects --frames ''
rejects --step 16,,16
rejects --resize 3:100
rejects --resize 3x100:200
rejects --resize 3:40000x100
rejects --reset x
rejects --gl ''
rejects extra

"$sim" --gl "$work/no/such/dir/trace" >/dev/null 2>"$work/err"
[ $? -eq 2 ] || fail "an unwritable trace file is not refused with 2"
grep -q "cannot write" "$work/err" || fail "an unwritable trace file gives no reason"

"$sim" --frames 30 --seed 5 >"$work/a" || fail "plain run failed"
"$sim" --frames 30 --seed 5 >"$work/b" || fail "plain run failed"
cmp -s "$work/a" "$work/b" || fail "two identical runs differ"

"$sim" --frames 3 --seed 5 --gl "$work/trace" >"$work/c" || fail "traced run failed"
cmp -s <("$sim" --frames 3 --seed 5) "$work/c" || fail "tracing changes the state"
[ "$(head -n 1 "$work/trace")" = "glBlendFunc 770 771" ] || fail "trace does not start with the set-up"
[ "$(grep -c '^glClear 16384$' "$work/trace")" -eq 3 ] || fail "trace does not hold three frames"
[ "$(tail -n 1 "$work/trace")" = "glFlush" ] || fail "trace does not end with the last frame's flush"
first=$(head -n 1 "$work/c")
live=$(sed 's/.*"FLiveCount":\([0-9]*\).*/\1/' <<<"$first")
[ "$(($(wc -l <"$work/c") - 1))" -eq "$live" ] || fail "one line per live spark expected"

if [ "$failures" -eq 0 ]; then echo "velora-sim command line: all checks passed"; fi
exit $((failures > 0))
