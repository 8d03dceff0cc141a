#!/bin/bash
# The front program starts without ICU: it needs no libicu, and neither `tavik --version` nor
# listing a table of plain texts loads one (the loader names every library it opens under
# LD_DEBUG=libs).
# Usage: start_without_icu_test.sh PATH_TO_TAVIK
set -u
tavik=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/common.sh"

needed=$(readelf -d "$tavik" | grep -o 'NEEDED.*libicu[^]]*' | sed 's/.*\[//')
[ -z "$needed" ] || fail "tavik needs $(echo $needed)"

mkdir -p "$work/start" "$work/home" "$work/config"
{
  record 1980-12-15 "Geburtstag Anna"
  record 1975-12-15 "Geburtstag Anna"
  record 1990-12-16 "Hochzeitstag Bernd"
} >"$work/start/tavik!4.dat"

for args in --version --list; do
  (cd "$work/start" && TZ=UTC HOME=$work/home XDG_CONFIG_HOME=$work/config LD_DEBUG=libs \
    faketime '2006-12-15 12:00:00' "$tavik" $args >"$work/out" 2>"$work/libs")
  rc=$?
  [ "$rc" -eq 0 ] || fail "tavik $args ended with $rc"
  if grep -q 'libicu' "$work/libs"; then
    fail "tavik $args loads ICU: $(grep -o 'file=[^ ]*libicu[^ ]*' "$work/libs" | sort -u | tr '\n' ' ')"
  fi
done
grep -q 'Hochzeitstag Bernd' "$work/out" || fail "the listing lacks its events: $(cat "$work/out")"

[ "$failures" -eq 0 ] && echo "all passed"
exit $((failures > 0))
