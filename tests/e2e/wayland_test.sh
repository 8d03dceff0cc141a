#!/bin/bash
# The window program as a native Wayland client, under Weston's headless compositor. First on a
# fixed day with the today box and a 10-second auto-exit: both windows are configured by the
# compositor, the box as a child of the main window, both under the menu entry's app id, and
# drawn on the screen (a screenshot, copied to SCREENSHOT); the run ends by itself and writes
# its files. Then the compositor goes away under a window whose look-ahead days were changed,
# while the today box is open: the program ends, and the stores are as a close leaves them.
# Skipped (77) only when Weston is not installed.
# Usage: wayland_test.sh TAVIK_WINDOW SCRIPTED_WINDOW TAVIK SCREENSHOT
set -u
window=$(realpath "$1")
scripted=$(realpath "$2")
tavik=$(realpath "$3")
screenshot=$4
if ! command -v weston >/dev/null; then
  echo "SKIP: weston is not installed (scripts/install-deps installs it)"
  exit 77
fi
work=$(mktemp -d)
weston_pid=
pid=
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null
      rm -rf "$work"' EXIT
. "$(dirname "$0")/common.sh"
export TZ=UTC XDG_CACHE_HOME="$work/cache"

# Starts a headless Weston that draws into memory (pixman) and lets clients take screenshots
# (--debug), in a runtime directory of its own; waits for its socket. Sets `weston_pid` and
# exports XDG_RUNTIME_DIR and WAYLAND_DISPLAY for the clients.
start_compositor() {
  local runtime t
  runtime=$(mktemp -d "$work/runtime.XXXXXX") # mode 0700, as the runtime directory must be
  XDG_RUNTIME_DIR=$runtime weston --backend=headless-backend.so --use-pixman --debug \
    --no-config --idle-time=0 --socket=tavik-test --width=1024 --height=768 \
    >"$runtime.log" 2>&1 &
  weston_pid=$!
  for ((t = 0; t < 1000; t++)); do
    [ -S "$runtime/tavik-test" ] && break
    kill -0 "$weston_pid" 2>/dev/null || break
    sleep 0.01
  done
  if [ ! -S "$runtime/tavik-test" ]; then
    echo "FAIL: weston did not start: $(tail -5 "$runtime.log")" >&2
    exit 1
  fi
  export XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=tavik-test
}

# The protocol log LOG (WAYLAND_DEBUG) shows a top-level window whose title begins with TITLE
# and which the compositor configured. Prints its xdg_toplevel id.
configured_toplevel() {
  local log=$1 title=$2 toplevel surface
  toplevel=$(grep -F ".set_title(\"$title" "$log" | head -1 |
    sed -n 's/.*xdg_toplevel@\([0-9]*\)\.set_title.*/\1/p')
  [ -n "$toplevel" ] || return 1
  surface=$(grep -F "get_toplevel(new id xdg_toplevel@$toplevel)" "$log" | head -1 |
    sed -n 's/.*xdg_surface@\([0-9]*\)\.get_toplevel.*/\1/p')
  [ -n "$surface" ] && grep -q -- "-> xdg_surface@$surface\.ack_configure(" "$log" || return 1
  echo "$toplevel"
}

# Waits up to 30 seconds for COMMAND to succeed while the process `pid` runs.
wait_until() {
  local t
  for ((t = 0; t < 3000; t++)); do
    "$@" >/dev/null 2>&1 && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.01
  done
  "$@" >/dev/null 2>&1
}

# Pixels of exactly the colour COLOUR in the image IMAGE.
pixels_of() {
  convert "$1" -alpha off -fill black +opaque "$2" -fill white -opaque "$2" \
    -format '%[fx:round(mean*w*h)]' info:
}

# --- The window shown, screenshot, auto-exit ---
start_compositor
start=$work/start
config=$work/config
mkdir -p "$start" "$config/HOLVENTARIS"
printf '[General]\nautoclose=10\n' >"$config/HOLVENTARIS/Tavik! v4.x.conf"
{
  record 2006-12-01 "Abgelaufen" 1
  record 1970-12-15 "Geburtstag" 0
  record 1980-12-20 "Hochzeitstag" 0
} >"$start/tavik!4.dat"
{
  record 1970-12-15 "Geburtstag" 0
  record 1980-12-20 "Hochzeitstag" 0
} >"$work/expected.dat"

began=$(date +%s%N)
(cd "$start" && QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=1 XDG_CONFIG_HOME="$config" \
  exec timeout 60 faketime '2006-12-15 12:00:00' "$window" >"$work/out" 2>"$work/err") &
pid=$!
wait_until configured_toplevel "$work/err" "Heutige Ereignisse"
main=$(configured_toplevel "$work/err" "Tavik! v") || fail "the main window was not configured"
box=$(configured_toplevel "$work/err" "Heutige Ereignisse") || fail "the today box was not configured"
if [ -n "$main" ] && [ -n "$box" ]; then
  grep -q -- "-> xdg_toplevel@$box\.set_parent(xdg_toplevel@$main)" "$work/err" ||
    fail "the today box is no child of the main window"
fi
apps=$(sed -n 's/.*xdg_toplevel@[0-9]*\.set_app_id("\(.*\)")$/\1/p' "$work/err" | sort -u)
[ "$apps" = tavik ] || fail "app ids: $apps"

# The compositor draws a frame after the configure; the screenshot is taken once the box's green
# shows, so both windows are on it.
mkdir "$work/shots"
for ((try = 0; try < 20; try++)); do
  rm -f "$work/shots"/*
  (cd "$work/shots" && timeout 10 weston-screenshooter >"$work/shooter" 2>&1) ||
    fail "weston-screenshooter: $(cat "$work/shooter")"
  shot=$(compgen -G "$work/shots/*.png" | head -1)
  [ -n "$shot" ] || break
  green=$(pixels_of "$shot" 'rgb(0,128,0)')
  ((green > 10000)) && break
  sleep 0.2
done
if [ -n "$shot" ]; then
  cp "$shot" "$screenshot"
  # The box's green around its list and the white of the countdown list and of the box's list.
  white=$(pixels_of "$shot" 'rgb(255,255,255)')
  ((green > 10000)) || fail "the today box is not on the screenshot ($green green pixels)"
  ((white > 100000)) || fail "the lists are not on the screenshot ($white white pixels)"
else
  fail "no screenshot"
fi

wait "$pid"
rc=$?
pid=
elapsed_ms=$((($(date +%s%N) - began) / 1000000))
[ "$rc" -eq 0 ] || fail "exit code $rc: $(grep -v '^\[' "$work/err" | tail -3)"
{ [ "$elapsed_ms" -ge 10000 ] && [ "$elapsed_ms" -le 30000 ]; } ||
  fail "ended after $elapsed_ms ms, not about 11 seconds"
expect_saved "auto-exit" "$start" "$config" "$work/expected.dat" \
  anzdays=30 autoclose=10 heutebox=1 prior=0
kill "$weston_pid"
wait "$weston_pid" 2>/dev/null
weston_pid=

# --- The compositor gone under an open window with a change made ---
# Qt's Wayland plugin ends the process with _exit(1) on the thread that finds the connection
# broken; the stores must be written before, as a close writes them, and the next run starts.
start_compositor
dir=$work/gone
mkdir -p "$dir" "$dir.config/HOLVENTARIS"
printf '[General]\nanzdays=30\nautoclose=0\nheutebox=1\nprior=0\n' \
  >"$dir.config/HOLVENTARIS/Tavik! v4.x.conf"
{
  record 2001-01-01 "Abgelaufen" 1
  record 1970-12-15 "Geburtstag" 0
} >"$dir/tavik!4.dat"
record 1970-12-15 "Geburtstag" 0 >"$work/gone.dat"
(cd "$dir" && QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=1 XDG_CONFIG_HOME="$dir.config" \
  exec faketime '2006-12-15 12:00:00' "$scripted" --change-settings >"$dir.out" 2>"$dir.err") &
pid=$!
wait_until grep -qx shown "$dir.out" || fail "never shown: $(grep -v '^\[' "$dir.err" | tail -3)"
wait_until configured_toplevel "$dir.err" "Heutige Ereignisse" || fail "the today box is not open"
killed=$EPOCHREALTIME
kill "$weston_pid"
wait "$weston_pid" 2>/dev/null
weston_pid=
for ((t = 0; t < 3000; t++)); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.01
done
kill -9 "$pid" 2>/dev/null
wait "$pid"
status=$?
pid=
now=$EPOCHREALTIME
took=$(((${now/./} - ${killed/./}) / 1000))
[ "$status" = 1 ] || fail "compositor gone: exit status $status"
((took < 5000)) || fail "compositor gone: ended $took ms after the compositor"
grep -q 'The Wayland connection broke' "$dir.err" ||
  fail "compositor gone: Qt did not see it go: $(grep -v '^\[' "$dir.err" | tail -3)"
[ "$(grep -c '^renamed tavik!4.dat$' "$dir.out")" = 1 ] ||
  fail "compositor gone: data file replaced $(grep -c '^renamed tavik!4.dat$' "$dir.out") times"
expect_saved "compositor gone" "$dir" "$dir.config" "$work/gone.dat" \
  anzdays=45 autoclose=0 heutebox=1 prior=0
(cd "$dir" && XDG_CONFIG_HOME="$dir.config" QT_QPA_PLATFORM=offscreen timeout 60 \
  faketime '2006-12-15 12:00:00' "$scripted" --exit-when-shown >"$dir.next" 2>&1) ||
  fail "compositor gone: the next run: $(tail -3 "$dir.next")"
cmp -s "$dir/tavik!4.dat" "$work/gone.dat" || fail "compositor gone: the next run changed the data"
(cd "$dir" && XDG_CONFIG_HOME="$dir.config" "$tavik" --list >/dev/null 2>"$dir.list") ||
  fail "compositor gone: the listing cannot read what was left: $(cat "$dir.list")"

[ "$failures" -eq 0 ] && echo "Wayland end-to-end test passed (auto-exit after ${elapsed_ms} ms)"
[ "$failures" -eq 0 ]
