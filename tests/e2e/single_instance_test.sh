#!/bin/bash
# Starts the built window program twice in one start directory under Xvfb: the second start
# must end at once with 0 and no box, and the first, asked to show its window, must stop its
# auto-exit and run on. A socket left by a run killed with SIGKILL does not stop the next one.
# Usage: single_instance_test.sh PATH_TO_TAVIK_WINDOW
set -u
window=$(realpath "$1")
if [ "${2:-}" != --inside ]; then
  command -v xvfb-run >/dev/null || { echo "xvfb-run is missing"; exit 77; }
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$window" --inside
fi
. "$(dirname "$0")/common.sh"
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$work"' EXIT

mkdir -p "$work/start" "$work/config/HOLVENTARIS" "$work/runtime"
chmod 700 "$work/runtime"
# One event, no today box: the first run closes itself after 3 seconds unless asked.
printf '[General]\nautoclose=3\nheutebox=0\n' >"$work/config/HOLVENTARIS/Tavik! v4.x.conf"
record 1970-06-01 "Sommerfest" >"$work/start/tavik!4.dat"
export XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
unset QT_QPA_PLATFORM
# On a real X display the keyboard library hands strndup a string that ends only at its length,
# which ASan's strict string checks take for an overflow (no effect on other builds).
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}strict_string_checks=0"

start_first() {
  (cd "$work/start" && exec "$window" >"$work/first.out" 2>"$work/first.err") &
  pid=$!
  for _ in $(seq 200); do
    [ -n "$(find "$work/runtime" -maxdepth 1 -type s -name 'tavik-*' 2>/dev/null)" ] && return 0
    sleep 0.05
  done
  fail "the first run made no socket: $(cat "$work/first.err")"
}

start_first
began=$(date +%s%N)
(cd "$work/start" && timeout 10 "$window" >"$work/second.out" 2>"$work/second.err")
rc=$?
elapsed_ms=$((($(date +%s%N) - began) / 1000000))
[ "$rc" -eq 0 ] || fail "second start ended with $rc: $(cat "$work/second.err")"
[ "$elapsed_ms" -le 4000 ] || fail "second start took $elapsed_ms ms"
[ ! -s "$work/second.out" ] || fail "second start wrote: $(cat "$work/second.out")"

# Its auto-exit would have ended it by now.
sleep 4
if kill -0 "$pid" 2>/dev/null; then
  xwininfo -root -tree | grep -q '"Tavik! v4.5"' || fail "the first run shows no window"
  socket=$(find "$work/runtime" -maxdepth 1 -type s -name 'tavik-*')
  [ "$(stat -c %a "$socket")" = 600 ] || fail "socket mode $(stat -c %a "$socket")"
  kill -TERM "$pid"
  wait "$pid"
  rc=$?
  [ "$rc" -eq 0 ] || fail "first run ended with $rc after SIGTERM: $(cat "$work/first.err")"
else
  fail "the first run ended by itself: the show request did not stop its auto-exit"
fi
pid=

# A run killed outright leaves its socket; the next start is the first again and closes
# itself after its 3 seconds, as any first start.
start_first
kill -9 "$pid"
wait "$pid" 2>/dev/null
pid=
[ -n "$(find "$work/runtime" -maxdepth 1 -type s -name 'tavik-*')" ] ||
  fail "no stale socket left for the check"
began=$(date +%s%N)
(cd "$work/start" && timeout 30 "$window" >"$work/third.out" 2>"$work/third.err")
rc=$?
elapsed_ms=$((($(date +%s%N) - began) / 1000000))
[ "$rc" -eq 0 ] || fail "start after a crash ended with $rc: $(cat "$work/third.err")"
[ "$elapsed_ms" -ge 3000 ] || fail "start after a crash ended after $elapsed_ms ms, not by itself"
[ -z "$(find "$work/runtime" -maxdepth 1 -type s -name 'tavik-*')" ] ||
  fail "the socket stayed after the run"

[ "$failures" -eq 0 ] && echo "single-instance end-to-end test passed"
[ "$failures" -eq 0 ]
