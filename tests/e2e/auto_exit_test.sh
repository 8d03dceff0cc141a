#!/bin/bash
# Runs the built window program offscreen on a fixed day with a 5-second auto-exit: it must end
# by itself after about 6 seconds, with the today box still open, and write the settings, the
# data file without the expired event, and the holiday file. Its start directory's name holds
# blanks, umlauts and a "!".
# Usage: auto_exit_test.sh PATH_TO_TAVIK_WINDOW
set -u
window=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/common.sh"

start="$work/Termine von Jürgen & Änne!"
config="$work/config"
mkdir -p "$start" "$config/HOLVENTARIS"
printf '[General]\nautoclose=5\n' >"$config/HOLVENTARIS/Tavik! v4.x.conf"
{
  record 2006-12-01 "Abgelaufen" 1
  record 1970-12-15 "Geburtstag" 0
} >"$start/tavik!4.dat"
record 1970-12-15 "Geburtstag" 0 >"$work/expected.dat"

began=$(date +%s%N)
(cd "$start" && QT_QPA_PLATFORM=offscreen TZ=UTC XDG_CONFIG_HOME="$config" XDG_CACHE_HOME="$work/cache" \
  timeout 60 faketime '2006-12-15 12:00:00' "$window" >"$work/out" 2>"$work/err")
rc=$?
elapsed_ms=$((($(date +%s%N) - began) / 1000000))

[ "$rc" -eq 0 ] || fail "exit code $rc: $(cat "$work/err")"
{ [ "$elapsed_ms" -ge 5000 ] && [ "$elapsed_ms" -le 20000 ]; } ||
  fail "ended after $elapsed_ms ms, not about 6 seconds"
expect_saved "auto-exit" "$start" "$config" "$work/expected.dat" \
  anzdays=30 autoclose=5 heutebox=1 prior=0

[ "$failures" -eq 0 ] && echo "auto-exit end-to-end test passed (${elapsed_ms} ms)"
[ "$failures" -eq 0 ]
