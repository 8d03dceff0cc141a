#!/bin/bash
# Runs the built `tavik --list` on a fixed day in a temporary start directory and compares its
# whole output, on a pipe and on a terminal; checks that it creates and writes nothing, and its
# error paths.
# Usage: list_test.sh PATH_TO_TAVIK
set -u
tavik=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/common.sh"

# One 420-byte event record: DATE (YYYY-MM-DD), TEXT (printf escapes for Windows-1252
# bytes), then the switches withoutYear, computeJubilee.
record() {
  local days text length
  days=$(($(date -u -d "$1" +%s) / 86400 + 25569))
  text=$(printf '%b' "$2" | od -An -tx1 | tr -d ' \n')
  length=$((${#text} / 2))
  double_bytes "$days"
  printf '%b' "\\x$(printf %02x "$length")"
  printf '%b' "$2"
  head -c $((200 - length)) /dev/zero
  printf "\\x$(printf %02x "$3")\\x00\\x$(printf %02x "$4")\\x00\\x00"
  head -c 206 /dev/zero
}

# Names, sizes, times and contents of everything below the given directories.
snapshot() {
  find "$@" -printf '%p %y %s %T@ %m\n' | sort
  find "$@" -type f -exec md5sum {} + | sort
}

list() {  # START_DIR CONFIG_HOME [ARGS...]
  local dir=$1 config=$2
  shift 2
  (cd "$dir" && TZ=UTC HOME=$work/home XDG_DATA_HOME=${DATA_HOME:-} XDG_CONFIG_HOME=$config \
    faketime '2006-12-15 12:00:00' "$tavik" "$@" >"$work/out" 2>"$work/err")
  echo $? >"$work/rc"
}

expect_run() {  # NAME RC STDOUT STDERR
  [ "$(cat "$work/rc")" = "$2" ] || fail "$1: exit code $(cat "$work/rc"), want $2"
  [ "$(cat "$work/out")" = "$3" ] || fail "$1: stdout:"$'\n'"$(cat "$work/out")"$'\n'"want:"$'\n'"$3"
  [ "$(cat "$work/err")" = "$4" ] || fail "$1: stderr: $(cat "$work/err"), want: $4"
}

# A start directory with events, holidays and settings, its name with blanks, umlauts and a "!".
start="$work/Termine von Jürgen & Änne!"
config=$work/config
mkdir -p "$start" "$config/HOLVENTARIS"
{
  record 1970-12-16 '\xc4nne' 0 1
  record 2006-12-15 'Weihnachtsfeier' 0 0
  record 2005-12-14 'Zahnarzt' 0 0
  record 2000-12-20 'Hochzeitstag' 1 0
  record 2007-03-10 'Urlaub' 0 0
  record 1999-12-17 'Tee\x1b[1m' 0 0
  record 2001-12-12 'Verpasst' 0 0
  record 2001-12-09 'Gesehen' 0 0
} >"$start/tavik!4.dat"
holidays 0 1 2 14 29 30 >"$start/tavik!4.ini"
# Last shown on the 10th: the days since are listed first, and the date is never written.
printf '[General]\nanzdays=20\nautoclose=30\nheutebox=1\nprior=2\nlastshown=2006-12-10\n' \
  >"$config/HOLVENTARIS/Tavik! v4.x.conf"
chmod 0444 "$start/tavik!4.dat"

before=$(snapshot "$start" "$config")
list "$start" "$config" --list
expect_run "listing" 0 "Vor   3 Tagen  12.12.2001   Verpasst
Gestern             14.12.2005   Zahnarzt
Heute               15.12.2006   Weihnachtsfeier
Morgen             16.12.1970   Änne (36)
Noch   2 Tage  17.12.1999   Tee�[1m
Noch   5 Tage  20.12.           Hochzeitstag
Noch   9 Tage  24.12.           Heilig Abend
Noch 10 Tage  25.12.           1. Weihnachtsfeiertag
Noch 16 Tage  31.12.           Silvester
Noch 17 Tage  01.01.           Neujahr" ""
[ "$(snapshot "$start" "$config")" = "$before" ] || fail "listing changed the start directory"

# On a terminal the same lines come in columns; control bytes stay harmless there too.
if command -v script >/dev/null; then
  (cd "$start" && TZ=UTC XDG_CONFIG_HOME=$config faketime '2006-12-15 12:00:00' \
    script -qec "$(printf '%q' "$tavik") --list; echo \"rc=\$?\"" /dev/null </dev/null >"$work/tty")
  tr -d '\r' <"$work/tty" >"$work/out"
  want="Vor   3 Tagen  12.12.2001  Verpasst
Gestern        14.12.2005  Zahnarzt
Heute          15.12.2006  Weihnachtsfeier
Morgen         16.12.1970  Änne (36)
Noch   2 Tage  17.12.1999  Tee�[1m
Noch   5 Tage  20.12.      Hochzeitstag
Noch   9 Tage  24.12.      Heilig Abend
Noch 10 Tage   25.12.      1. Weihnachtsfeiertag
Noch 16 Tage   31.12.      Silvester
Noch 17 Tage   01.01.      Neujahr
rc=0"
  [ "$(cat "$work/out")" = "$want" ] ||
    fail "terminal listing:"$'\n'"$(cat "$work/out")"$'\n'"want:"$'\n'"$want"
else
  echo "SKIP: listing on a terminal: script (bsdutils) is not installed"
fi

# Weltkindertag: byte 31, once a reserved byte; on 20 September it is today.
mkdir -p "$work/kinder"
holidays 0 31 >"$work/kinder/tavik!4.ini"
(cd "$work/kinder" && TZ=UTC XDG_CONFIG_HOME=$work/none faketime '2019-09-20 08:00:00' "$tavik" --list \
  >"$work/out" 2>"$work/err")
echo $? >"$work/rc"
expect_run "Weltkindertag" 0 "Heute               20.09.           Weltkindertag" ""

# Nothing there: defaults, no holidays, and nothing is created.
empty=$work/empty
mkdir -p "$empty/start" "$empty/config"
list "$empty/start" "$empty/config" --list
expect_run "empty" 0 "---- Keine Ereignisse im angegebenen Zeitraum vorhanden. ----" ""
[ -z "$(find "$empty" -mindepth 2)" ] || fail "empty: files were created: $(find "$empty")"

# Run where the user types it, in the home directory without events: the data directory
# tavik-start uses is listed, and named on standard error only.
userdata="$work/home/.local/share/tavik"
mkdir -p "$userdata"
record 1980-12-16 'Geburtstag Greta' 0 0 >"$userdata/tavik!4.dat"
list "$work/home" "$empty/config" --list
expect_run "home directory" 0 "Morgen             16.12.1980   Geburtstag Greta" \
  "Ereignisse aus $userdata"
mkdir -p "$work/xdg/tavik"
record 1980-12-17 'Geburtstag Paul' 0 0 >"$work/xdg/tavik/tavik!4.dat"
DATA_HOME=$work/xdg list "$work/home" "$empty/config" --list
expect_run "XDG_DATA_HOME" 0 "Noch   2 Tage  17.12.1980   Geburtstag Paul" \
  "Ereignisse aus $work/xdg/tavik"
# A directory with its own events keeps them, whatever the data directory holds.
list "$start" "$empty/config" --list
grep -q Weihnachtsfeier "$work/out" && [ ! -s "$work/err" ] ||
  fail "own events: $(cat "$work/out") / $(cat "$work/err")"
rm -r "$work/home/.local"

# Failures.
mkdir -p "$work/dir/tavik!4.dat"
list "$work/dir" "$empty/config" --list
expect_run "data file is a directory" 1 "" "Dateizugriff verweigert."

mkdir -p "$work/short"
head -c 421 /dev/zero >"$work/short/tavik!4.dat"
list "$work/short" "$empty/config" --list
expect_run "short last record" 1 "" "Versuch hinter dem Dateiende zu lesen."

mkdir -p "$work/badconf/HOLVENTARIS"
printf '[General]\nanzdays=viele\n' >"$work/badconf/HOLVENTARIS/Tavik! v4.x.conf"
list "$empty/start" "$work/badconf" --list
expect_run "setting of the wrong type" 1 "" "Ungültiger Datentyp für 'anzdays'."

list "$empty/start" "$empty/config" --verbose
[ "$(cat "$work/rc")" = 2 ] || fail "unknown option: exit code $(cat "$work/rc")"
[ -s "$work/out" ] && fail "unknown option: wrote to stdout"
grep -q "Unbekannte Option '--verbose'" "$work/err" || fail "unknown option: $(cat "$work/err")"

list "$empty/start" "$empty/config" --version
expect_run "version" 0 "Tavik! 4.5.1" ""

# Without a window program beside it, the front program says so.
mkdir -p "$work/alone"
cp "$tavik" "$work/alone/tavik"
(cd "$empty/start" && "$work/alone/tavik" >"$work/out" 2>"$work/err")
echo $? >"$work/rc"
expect_run "no window program" 1 "" "tavik: Das Programmfenster (tavik-window) wurde nicht gefunden."

# Otherwise it hands over to the window program beside it, or in ../libexec/tavik/.
printf '#!/bin/sh\necho "Fenster $#"\n' >"$work/alone/tavik-window"
chmod +x "$work/alone/tavik-window"
(cd "$empty/start" && "$work/alone/tavik" >"$work/out" 2>"$work/err")
echo $? >"$work/rc"
expect_run "window program beside" 0 "Fenster 0" ""

mkdir -p "$work/installed/bin" "$work/installed/libexec/tavik"
cp "$tavik" "$work/installed/bin/tavik"
cp "$work/alone/tavik-window" "$work/installed/libexec/tavik/tavik-window"
(cd "$empty/start" && "$work/installed/bin/tavik" >"$work/out" 2>"$work/err")
echo $? >"$work/rc"
expect_run "installed window program" 0 "Fenster 0" ""

[ "$failures" -eq 0 ] && echo "all passed"
exit $((failures > 0))
