#!/bin/bash
# The desktop session ends under a running window program, whose look-ahead days were changed
# and whose first rebuild dropped the expired events: SIGTERM, SIGHUP or SIGINT, further
# signals while the save is running slowly, a signal while a large address book is being read
# for import, a signal when the data file cannot be written, and the X server going away. Each time the stores must be as a close leaves them, written once.
# Usage: session_end_test.sh SCRIPTED_WINDOW TAVIK
set -u
scripted=$(realpath "$1")
tavik=$(realpath "$2")
work=$(mktemp -d)
pid=
xvfb=
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
      rm -rf "$work"' EXIT
. "$(dirname "$0")/common.sh"
export QT_QPA_PLATFORM=offscreen XDG_CACHE_HOME="$work/cache"

# Twenty events, every third expired long ago and marked for deletion; the new file keeps the
# other fourteen.
mkdir -p "$work/fixture"
for ((i = 1; i <= 20; i++)); do
  if ((i % 3 == 0)); then
    record 2001-01-01 "Abgelaufen $i" 1 >>"$work/fixture/tavik!4.dat"
  else
    record 1970-06-15 "Ereignis $i" 0 >>"$work/fixture/tavik!4.dat"
    record 1970-06-15 "Ereignis $i" 0 >>"$work/new.dat"
  fi
done
cp "$work/fixture/tavik!4.dat" "$work/old.dat"

# Starts the scripted window in a fresh start and settings directory for NAME, with SIGHUP and
# SIGINT taken as a session would send them (a script's background job ignores SIGINT), and
# waits until it has shown its first view. Sets `pid` and `dir`.
start_window() {
  local name=$1
  shift
  dir=$work/$name
  cp -r "$work/fixture" "$dir"
  mkdir -p "$dir.config/HOLVENTARIS"
  # No auto-exit, no today box: the window waits for the session to end.
  printf '[General]\nanzdays=30\nautoclose=0\nheutebox=0\nprior=0\n' \
    >"$dir.config/HOLVENTARIS/Tavik! v4.x.conf"
  (cd "$dir" && XDG_CONFIG_HOME="$dir.config" exec env --default-signal=HUP,INT \
    "$scripted" --change-settings "$@" >"$dir.out" 2>"$dir.err") &
  pid=$!
  wait_for "^shown$" || fail "$name: never shown: $(tail -3 "$dir.err")"
}

# Waits up to 30 seconds for a line matching PATTERN in the window's output.
wait_for() {
  local t
  for ((t = 0; t < 3000; t++)); do
    grep -qs -- "$1" "$dir.out" && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.01
  done
  grep -qs -- "$1" "$dir.out"
}

# Waits for the window to end; sets `status`.
ended() {
  local t
  for ((t = 0; t < 3000; t++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.01
  done
  wait "$pid"
  status=$?
  pid=
}

# Seconds since START (an $EPOCHREALTIME), in milliseconds.
millis_since() {
  local now=$EPOCHREALTIME
  echo $(((${now/./} - ${1/./}) / 1000))
}

# The stores of the run NAME as its close writes them: the data file without the expired
# events, replaced once; the changed days among the settings; the holiday file whole.
check_written() {
  local name=$1 conf
  [ "$(grep -c '^renamed tavik!4.dat$' "$dir.out")" = 1 ] ||
    fail "$name: data file replaced $(grep -c '^renamed tavik!4.dat$' "$dir.out") times"
  expect_saved "$name" "$dir" "$dir.config" "$work/new.dat" \
    anzdays=45 autoclose=0 heutebox=0 prior=0
  grep -q '^\(error\|confirm\|info\): ' "$dir.out" && fail "$name: a box was shown"
  (cd "$dir" && XDG_CONFIG_HOME="$dir.config" "$tavik" --list >/dev/null 2>"$dir.list") ||
    fail "$name: the listing cannot read what was left: $(cat "$dir.list")"
}

for signal in TERM HUP INT; do
  start_window "sig$signal"
  kill -"$signal" "$pid"
  ended
  [ "$status" = 0 ] || fail "SIG$signal: exit status $status: $(tail -3 "$dir.err")"
  check_written "SIG$signal"
done

# Signals while the save runs, each record write slowed down: the save goes on to its end.
start_window slow --slow-writes 100
kill -TERM "$pid"
wait_for '^call [0-9]* write tavik!4.dat.XXXXXX.tmp$' || fail "slow save: no record written"
cmp -s "$dir/tavik!4.dat" "$work/old.dat" || fail "slow save: the data file changed mid-save"
grep -q '^renamed tavik!4.dat$' "$dir.out" && fail "slow save: over before the next signals"
kill -TERM "$pid"
kill -INT "$pid"
kill -HUP "$pid"
ended
[ "$status" = 0 ] || fail "slow save: exit status $status: $(tail -3 "$dir.err")"
check_written "slow save"

# A signal while a large address book is being read on the Import page: the run saves and ends
# at once, without waiting for the reader, and nothing of the address book is stored.
awk 'BEGIN { for (i = 0; i < 700000; i++)
  printf "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Person %d\r\nBDAY:1970-01-%02d\r\nEND:VCARD\r\n",
         i, i % 28 + 1 }' >"$work/big.vcf"
start_window import --start-import "$work/big.vcf"
wait_for '^reading$' || fail "import: the read never began"
sleep 0.3
signalled=$EPOCHREALTIME
kill -TERM "$pid"
ended
took=$(millis_since "$signalled")
[ "$status" = 0 ] || fail "import: exit status $status: $(tail -3 "$dir.err")"
((took < 3000)) || fail "import: ended $took ms after the signal"
check_written "import"
rm -f "$work/big.vcf"

# A data file that cannot be replaced (its temporary file cannot be created): the
# German text on standard error, no box, a failed exit; the data file stays the old one and the
# holiday file, which comes after it, is not written.
start_window failing --refuse-temporary 'tavik!4.dat'
holiday_before=$(stat -c %Y.%i "$dir/tavik!4.ini")
kill -TERM "$pid"
ended
[ "$status" = 1 ] || fail "failing save: exit status $status"
grep -qx 'Dateizugriff verweigert.' "$dir.err" ||
  fail "failing save: standard error: $(cat "$dir.err")"
grep -q '^\(error\|confirm\): ' "$dir.out" && fail "failing save: a box was shown"
cmp -s "$dir/tavik!4.dat" "$work/old.dat" || fail "failing save: the data file changed"
[ "$(stat -c %Y.%i "$dir/tavik!4.ini")" = "$holiday_before" ] ||
  fail "failing save: the holiday file was written"
grep -qx anzdays=45 "$dir.config/HOLVENTARIS/Tavik! v4.x.conf" ||
  fail "failing save: the settings, written first, are not"

# The display goes away: the program on its own X server, which is then ended. Qt ends the
# process with status 1; the stores are written before, and the next run may start.
if command -v Xvfb >/dev/null; then
  Xvfb -displayfd 3 -nolisten tcp 3>"$work/xvfb.display" 2>"$work/xvfb.err" &
  xvfb=$!
  for ((t = 0; t < 1000; t++)); do
    [ -s "$work/xvfb.display" ] && break
    sleep 0.01
  done
  display=$(head -1 "$work/xvfb.display")
  [ -n "$display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.err")"
  # Qt never destroys its application object on this way out; that is no leak to report. And
  # the X keyboard library hands strndup a string that ends only at its length, which ASan's
  # strict string checks take for an overflow.
  ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0:strict_string_checks=0" QT_QPA_PLATFORM=xcb \
    DISPLAY=":$display" \
    start_window display
  kill "$xvfb"
  wait "$xvfb" 2>/dev/null
  xvfb=
  ended
  [ "$status" = 1 ] || fail "display gone: exit status $status: $(tail -3 "$dir.err")"
  grep -q 'The X11 connection broke' "$dir.err" ||
    fail "display gone: Qt did not see the display go: $(tail -3 "$dir.err")"
  check_written "display gone"
  (cd "$dir" && XDG_CONFIG_HOME="$dir.config" timeout 60 "$scripted" --exit-when-shown \
    >"$dir.next" 2>&1) || fail "display gone: the next run: $(tail -3 "$dir.next")"
  grep -q '^renamed tavik!4.dat$' "$dir.next" || fail "display gone: the next run did not close"
  cmp -s "$dir/tavik!4.dat" "$work/new.dat" || fail "display gone: the next run changed the data"
else
  echo "Xvfb missing: display gone not tried" >&2
  failures=$((failures + 1))
fi

[ "$failures" -eq 0 ]
