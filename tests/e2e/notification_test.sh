#!/bin/bash
# Runs the built window program offscreen on a fixed day, each time on a session bus of its own
# (dbus-run-session), and checks the one notification a fake server records: its arguments and
# D-Bus types, the body escaped for a server that reads markup, none when switched off; and
# that without a server or without any bus the program starts and closes as always.
# Usage: notification_test.sh PATH_TO_TAVIK_WINDOW PATH_TO_FAKE_SERVER
set -u
window=$(realpath "$1")
server=$(realpath "$2")
here=$(dirname "$(realpath "$0")")
. "$here/common.sh"

# Inside the bus: the server (unless "none"), then one run of the window program.
if [ "${3:-}" = --inside ]; then
  mode=$4 work=$5
  if [ "$mode" != none ]; then
    "$server" $mode >"$work/server" 2>&1 &
    for _ in $(seq 100); do grep -q ready "$work/server" 2>/dev/null && break; sleep 0.05; done
  fi
  (cd "$work/start" && QT_QPA_PLATFORM=offscreen TZ=UTC XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_STATE_HOME="$work/state" \
    timeout 60 faketime '2006-12-15 12:00:00' "$window" >"$work/out" 2>"$work/err")
  echo $? >"$work/rc"
  sleep 0.3  # what the server still has to print
  [ "$mode" != none ] && kill %1
  exit 0
fi

command -v dbus-run-session >/dev/null || { echo "dbus-run-session is missing"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A fresh start directory and settings: closes itself after a second, shown last on the 10th.
prepare() {  # NOTIFY
  rm -rf "$work/start" "$work/config" "$work/state" "$work/server"
  mkdir -p "$work/start" "$work/config/HOLVENTARIS"
  printf '[General]\nautoclose=1\nheutebox=0\nnotify=%s\nlastshown=2006-12-10\n' "$1" \
    >"$work/config/HOLVENTARIS/Tavik! v4.x.conf"
  {
    record 1970-12-15 "Tom & Jerry"
    record 1980-12-12 "Verpasst"
    record 1985-12-14 "Gestern verpasst"
    record 1990-12-20 "Bald"
  } >"$work/start/tavik!4.dat"
}

run() {  # SERVER_MODE
  dbus-run-session -- bash "$0" "$window" "$server" --inside "$1" "$work" 2>>"$work/bus-err"
}

closed_normally() {  # NAME
  [ "$(cat "$work/rc")" = 0 ] || fail "$1: exit code $(cat "$work/rc"): $(cat "$work/err")"
  grep -qx "lastshown=2006-12-15" "$work/config/HOLVENTARIS/Tavik! v4.x.conf" ||
    fail "$1: settings not written: $(cat "$work/config/HOLVENTARIS/Tavik! v4.x.conf")"
}

body='Vor 3 Tagen, Di 12.12. – Verpasst\nGestern, Do 14.12. – Gestern verpasst\nHeute – Tom & Jerry'
expected="ready
GetCapabilities
Notify susssasa{sv}i
app_name=Tavik!
replaces_id=0
app_icon=tavik
summary=Heute
body=$body
actions=
hint desktop-entry=QString:tavik
hint urgency=uchar:1
expire_timeout=-1"

prepare 1
run --plain
closed_normally "plain server"
[ "$(cat "$work/server")" = "$expected" ] ||
  fail "plain server recorded:"$'\n'"$(cat "$work/server")"$'\n'"want:"$'\n'"$expected"

prepare 1
run --markup
closed_normally "markup server"
markup='Tom &amp; Jerry'
[ "$(cat "$work/server")" = "${expected/"Tom & Jerry"/"$markup"}" ] ||
  fail "markup server recorded:"$'\n'"$(cat "$work/server")"

prepare 0
run --plain
closed_normally "switched off"
[ "$(cat "$work/server")" = ready ] || fail "switched off, still called:"$'\n'"$(cat "$work/server")"

prepare 1
run none
closed_normally "no server"

# No bus at all, and none to be found: no address, no socket in the runtime directory.
prepare 1
mkdir -p "$work/runtime"
(cd "$work/start" && env -u DBUS_SESSION_BUS_ADDRESS -u DISPLAY XDG_RUNTIME_DIR="$work/runtime" \
  QT_QPA_PLATFORM=offscreen TZ=UTC XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_STATE_HOME="$work/state" \
  timeout 60 faketime '2006-12-15 12:00:00' "$window" >"$work/out" 2>"$work/err")
echo $? >"$work/rc"
closed_normally "no bus"

[ "$failures" -eq 0 ] && echo "notification end-to-end test passed"
[ "$failures" -eq 0 ]
