#!/bin/bash
# Runs the window program as a user who may not write in its start directory: with a data file
# it starts, and its close reports "Dateizugriff verweigert." and asks, leaving the file as it
# was; without one the start reports it and nothing is created. `tavik --list` works there.
# Root ignores permissions, so root runs the programs as "nobody" through setpriv.
# Usage: read_only_test.sh SCRIPTED_WINDOW TAVIK
set -u
scripted=$(realpath "$1")
tavik=$(realpath "$2")
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
chmod 755 "$work"
. "$(dirname "$0")/common.sh"
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"

as_user=()
if [ "$(id -u)" -eq 0 ]; then
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  if ! "${as_user[@]}" true 2>/dev/null; then
    echo "SKIP: running as root, and setpriv cannot switch to the user nobody"
    exit 77
  fi
fi
owner=$(id -un)
[ "${#as_user[@]}" -gt 0 ] && owner=nobody

# The boxes a run showed, in order.
boxes() { grep -E '^(info|error|confirm): ' "$1"; }

mkdir -p "$work/config/HOLVENTARIS"
printf '[General]\nanzdays=30\nautoclose=0\nheutebox=0\nprior=0\n' \
  >"$work/config/HOLVENTARIS/Tavik! v4.x.conf"
chown -R "$owner" "$work/config"

# A start directory with files the user may write, in a directory the user may not write to.
with=$work/with-data
mkdir "$with"
printf '\x00\x00\x00\x00\x00\x00\xe0\x40\x05Feier' >"$with/tavik!4.dat"
head -c $((420 - 14)) /dev/zero >>"$with/tavik!4.dat"
head -c 51 /dev/zero >"$with/tavik!4.ini"
cp "$with/tavik!4.dat" "$work/before.dat"
chown "$owner" "$with/tavik!4.dat" "$with/tavik!4.ini"
chmod 555 "$with"

(cd "$with" && timeout 60 "${as_user[@]}" "$scripted" --exit-when-shown >"$work/with.out" \
  2>"$work/with.err")
rc=$?
[ "$rc" -eq 0 ] || fail "with a data file: exit code $rc: $(tail -20 "$work/with.err")"
[ "$(boxes "$work/with.out")" = "error: Dateizugriff verweigert.
confirm: Die Daten konnten nicht gespeichert werden. Tavik! trotzdem beenden?" ] ||
  fail "with a data file: boxes: $(boxes "$work/with.out")"
cmp -s "$with/tavik!4.dat" "$work/before.dat" || fail "with a data file: the data file changed"
[ "$(ls -A "$with" | tr '\n' ' ')" = "tavik!4.dat tavik!4.ini " ] ||
  fail "with a data file: files left: $(ls -A "$with")"
(cd "$with" && "${as_user[@]}" "$tavik" --list >"$work/list.out" 2>"$work/list.err")
rc=$?
{ [ "$rc" -eq 0 ] && [ ! -s "$work/list.err" ]; } ||
  fail "tavik --list: exit code $rc: $(cat "$work/list.err")"

# Nothing there: the start cannot create the data file, and the close cannot either.
without=$work/without-data
mkdir "$without"
head -c 51 /dev/zero >"$without/tavik!4.ini"
chmod 555 "$without"
(cd "$without" && timeout 60 "${as_user[@]}" "$scripted" --exit-when-shown \
  >"$work/without.out" 2>"$work/without.err")
rc=$?
[ "$rc" -eq 0 ] || fail "without a data file: exit code $rc: $(tail -20 "$work/without.err")"
[ "$(boxes "$work/without.out")" = "error: Dateizugriff verweigert.
error: Dateizugriff verweigert.
confirm: Die Daten konnten nicht gespeichert werden. Tavik! trotzdem beenden?" ] ||
  fail "without a data file: boxes: $(boxes "$work/without.out")"
[ "$(ls -A "$without")" = "tavik!4.ini" ] || fail "without a data file: files: $(ls -A "$without")"

[ "$failures" -eq 0 ] && echo "read-only start directory: all passed (as $owner)"
[ "$failures" -eq 0 ]
