#!/bin/bash
# Runs the built `tavik --notify` on a session bus of its own (dbus-run-session) with a fake
# notification server, without any display, on two days: the first run sends the day's
# notification, a second run the same day sends nothing, a run with a new event sends only its
# line, the next day sends again (yesterday's events with it: lastshown stays as it was). A lock held as by a running window does not stop it; it
# writes nothing in the start directory or the settings; without a server it ends with 0.
# Usage: notify_test.sh PATH_TO_TAVIK PATH_TO_FAKE_SERVER
set -u
tavik=$(realpath "$1")
server=$(realpath "$2")
here=$(dirname "$(realpath "$0")")
. "$here/common.sh"

# One run of `tavik --notify` on DAY (YYYY-MM-DD), with neither display nor Qt platform set.
notify() {  # DAY
  (cd "$work/start" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM TZ=UTC \
    HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" \
    timeout 60 faketime "$1 09:00:00" "$tavik" --notify >>"$work/out" 2>>"$work/err")
  echo $? >>"$work/rc"
}

# Inside the bus: the server (unless "none"), then the runs.
if [ "${3:-}" = --inside ]; then
  mode=$4 work=$5
  if [ "$mode" != none ]; then
    "$server" >>"$work/server" 2>&1 &
    for _ in $(seq 100); do grep -q ready "$work/server" 2>/dev/null && break; sleep 0.05; done
  fi
  notify 2006-12-15
  echo "-- second run" >>"$work/server"
  notify 2006-12-15
  echo "-- new event" >>"$work/server"
  record 1980-12-15 "Neu" >>"$work/start/tavik!4.dat"
  notify 2006-12-15
  echo "-- next day" >>"$work/server"
  notify 2006-12-16
  sleep 0.3  # what the server still has to print
  [ "$mode" != none ] && kill %1
  exit 0
fi

command -v dbus-run-session >/dev/null || { echo "dbus-run-session is missing"; exit 77; }
command -v flock >/dev/null || { echo "flock is missing"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

prepare() {
  rm -rf "$work/start" "$work/config" "$work/state" "$work/server" "$work/out" "$work/err" \
    "$work/rc"
  mkdir -p "$work/start" "$work/config/HOLVENTARIS" "$work/home"
  printf '[General]\nnotify=1\nlastshown=2006-12-14\n' >"$work/config/HOLVENTARIS/Tavik! v4.x.conf"
  {
    record 1970-12-15 "Tom & Jerry"
    record 1990-12-16 "Morgen"
  } >"$work/start/tavik!4.dat"
}

run() {  # SERVER_MODE
  dbus-run-session -- bash "$0" "$tavik" "$server" --inside "$1" "$work" 2>>"$work/bus-err"
}

prepare
settings_before=$(cat "$work/config/HOLVENTARIS/Tavik! v4.x.conf")
# A running window holds the directory's lock all along.
exec 9>"$work/start/tavik!4.lock"
flock -n 9 || fail "cannot take the lock"
flock -n "$work/start/tavik!4.lock" true && fail "the lock is not held"
run plain
exec 9>&-
recorded=$(grep -E '^(summary|body)=|^--' "$work/server")
expected='summary=Heute
body=Heute – Tom & Jerry
-- second run
-- new event
summary=Heute
body=Heute – Neu
-- next day
summary=Heute
body=Gestern, Fr 15.12. – Tom & Jerry\nGestern, Fr 15.12. – Neu\nHeute – Morgen'
[ "$recorded" = "$expected" ] ||
  fail "recorded:"$'\n'"$(cat "$work/server")"$'\n'"want:"$'\n'"$expected"$'\n'"stderr: $(cat "$work/err")"
[ "$(tr '\n' ' ' <"$work/rc")" = "0 0 0 0 " ] || fail "exit codes: $(tr '\n' ' ' <"$work/rc")"
[ -s "$work/err" ] && fail "stderr: $(cat "$work/err")"
[ "$(cat "$work/config/HOLVENTARIS/Tavik! v4.x.conf")" = "$settings_before" ] ||
  fail "settings changed: $(cat "$work/config/HOLVENTARIS/Tavik! v4.x.conf")"
[ "$(ls -A "$work/start")" = "tavik!4.dat"$'\n'"tavik!4.lock" ] ||
  fail "start directory holds: $(ls -A "$work/start")"
[ "$(ls "$work/state/tavik")" != "" ] || fail "no state kept"

# No server: nothing to wait for, status 0, and the next run with a server still sends.
prepare
run none
[ "$(tr '\n' ' ' <"$work/rc")" = "0 0 0 0 " ] || fail "no server: exit codes $(tr '\n' ' ' <"$work/rc")"
[ -e "$work/state" ] && fail "no server: a state was kept: $(ls -R "$work/state")"

[ "$failures" -eq 0 ] && echo "notify end-to-end test passed"
[ "$failures" -eq 0 ]
