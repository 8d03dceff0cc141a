#!/bin/bash
# Runs the window program and `tavik --list` in a start directory whose name is not UTF-8
# (Latin-1 "lat\xe4n1"): the window reads the data file there, shows no box, drops the expired
# event at its close and writes both files back into that directory, nowhere else.
# Usage: start_directory_test.sh SCRIPTED_WINDOW TAVIK
set -u
scripted=$(realpath "$1")
tavik=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/common.sh"
export QT_QPA_PLATFORM=offscreen TZ=UTC XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
export LC_ALL=C.UTF-8

start=$work/$(printf 'lat\xe4n1')
mkdir -p "$start" "$work/config/HOLVENTARIS"
printf '[General]\nanzdays=30\nautoclose=0\nheutebox=0\nprior=0\n' \
  >"$work/config/HOLVENTARIS/Tavik! v4.x.conf"
{
  record 2006-12-01 "Abgelaufen" 1
  record 1970-12-15 "Geburtstag" 0
} >"$start/tavik!4.dat"
record 1970-12-15 "Geburtstag" 0 >"$work/expected.dat"

(cd "$start" && timeout 60 faketime '2006-12-15 12:00:00' "$scripted" --exit-when-shown \
  >"$work/out" 2>"$work/err")
rc=$?
[ "$rc" -eq 0 ] || fail "window program: exit code $rc: $(cat "$work/err")"
grep -E '^(info|error|confirm): ' "$work/out" && fail "the window program showed boxes"
grep -qx shown "$work/out" || fail "the countdown was never shown: $(cat "$work/out")"
cmp -s "$start/tavik!4.dat" "$work/expected.dat" ||
  fail "data file: $(od -c "$start/tavik!4.dat" | head -3)"
cmp -s "$start/tavik!4.ini" <(head -c 51 /dev/zero) || fail "holiday file is not 51 zero bytes"
others=$(find "$work" -mindepth 1 -maxdepth 1 ! -name config ! -name cache ! -name expected.dat \
  ! -name out ! -name err ! -path "$start")
[ -z "$others" ] || fail "files written beside the start directory: $others"

(cd "$start" && faketime '2006-12-15 12:00:00' "$tavik" --list >"$work/list" 2>"$work/err")
rc=$?
[ "$rc" -eq 0 ] || fail "tavik --list: exit code $rc: $(cat "$work/err")"
grep -q Geburtstag "$work/list" || fail "tavik --list: $(cat "$work/list")"

[ "$failures" -eq 0 ] && echo "start directory end-to-end test passed"
[ "$failures" -eq 0 ]
