#!/bin/bash
# Address books, calendars and Linux text files through the real program: imports a vCard
# file, an iCalendar file and a UTF-8 text file with LF line ends on the Import page, exports
# everything as a calendar on the Export page, imports that calendar into an empty start
# directory, and compares the two data files; the terminal listing shows an imported birthday.
# Usage: exchange_test.sh PATH_TO_SCRIPTED_WINDOW PATH_TO_TAVIK
set -u
scripted=$(realpath "$1")
tavik=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/common.sh"
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" LC_ALL=C.UTF-8

crlf() { sed 's/$/\r/'; }

crlf >"$work/kontakte.vcf" <<'CARDS'
BEGIN:VCARD
VERSION:3.0
PRODID:-//Apple Inc.//iPhone OS 17.0//EN
N:Appleseed;Johnny;;;
FN:Johnny Appleseed
BDAY;X-APPLE-OMIT-YEAR=1604:1604-06-20
item1.X-ABDATE;type=pref:2001-05-12
item1.X-ABLABEL:_$!<Anniversary>!$_
END:VCARD
BEGIN:VCARD
VERSION:3.0
FN:Greta Müller
BDAY:--0414
END:VCARD
BEGIN:VCARD
VERSION:2.1
N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:;=41=6E=64=72=C3=A9;;;
FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=41=6E=64=72=C3=A9
BDAY:1980-02-29
END:VCARD
BEGIN:VCARD
VERSION:3.0
FN:Ohne Datum
TEL:+49 30 123456
END:VCARD
CARDS

crlf >"$work/kalender.ics" <<'CAL'
BEGIN:VCALENDAR
VERSION:2.0
PRODID:-//GNOME//Evolution//EN
BEGIN:VEVENT
UID:a-anniversary
DTSTART;VALUE=DATE:19960229
DTEND;VALUE=DATE:19960301
RRULE:FREQ=YEARLY;INTERVAL=1;BYMONTHDAY=-1
SUMMARY:Jahrestag: Jürgen\, Ilse
END:VEVENT
BEGIN:VEVENT
UID:weekly
DTSTART;TZID=Europe/Berlin:20260105T090000
RRULE:FREQ=WEEKLY;BYDAY=MO
SUMMARY:Teamrunde
END:VEVENT
END:VCALENDAR
CAL

printf '24.12.1975\tWeihnachtsfeier bei Müllers\n01.05.\tMaifest\n' >"$work/linux.csv"

# Runs the program in DIR with the given options; its printed boxes land in DIR/out.
run() {
  local dir=$1
  shift
  (cd "$dir" && timeout 60 "$scripted" --exit-when-shown "$@" >"$dir/out" 2>"$dir/err") ||
    fail "run $*: exit code $?: $(tail -5 "$dir/err")"
}
expect_line() {
  grep -qxF -- "$2" "$1/out" || fail "expected '$2', got: $(cat "$1/out")"
}

a="$work/a"
mkdir -p "$a"
run "$a" --import "$work/kontakte.vcf"
expect_line "$a" "status: vCard: 4 Einträge gefunden, 1 übersprungen (kein Datum)"
expect_line "$a" "info: 4 Datensätze zugefügt!"
run "$a" --import "$work/kontakte.vcf"
expect_line "$a" "status: vCard: 0 Einträge gefunden, 1 übersprungen (kein Datum), 4 bereits vorhanden"
run "$a" --import "$work/kalender.ics"
expect_line "$a" "status: iCalendar: 1 Eintrag gefunden, 1 übersprungen (nicht jährlich)"
expect_line "$a" "info: 1 Datensätze zugefügt!"
run "$a" --import "$work/linux.csv" --export-ics "$work/alle.ics"
expect_line "$a" "status: lese Format: CSV (UTF-8)"
expect_line "$a" "info: 2 Datensätze zugefügt!"
expect_line "$a" "info: Export erfolgreich!"
[ "$(stat -c %s "$a/tavik!4.dat")" -eq $((7 * 420)) ] || fail "7 events expected in the data file"

# The calendar: CR LF everywhere, no line over 75 octets, the leap-day rule and the marks.
ics="$work/alle.ics"
[ "$(head -c 17 "$ics")" = "$(printf 'BEGIN:VCALENDAR\r\n')" ] || fail "calendar start"
[ "$(grep -c $'\r$' "$ics")" -eq "$(wc -l <"$ics")" ] || fail "a line without CR LF"
awk '{ if (length($0) > 76) bad = 1 } END { exit bad }' LC_ALL=C "$ics" || fail "a line over 75"
[ "$(grep -c '^BEGIN:VEVENT' "$ics")" -eq 7 ] || fail "7 events expected in the calendar"
[ "$(grep -c $'^RRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=-1\r$' "$ics")" -eq 2 ] ||
  fail "two 29 February events"
[ "$(grep -c $'^X-TAVIK-YEARLESS:1\r$' "$ics")" -eq 3 ] || fail "three year-less events"
grep -qF 'SUMMARY:Jahrestag: Jürgen\, Ilse' "$ics" || fail "summary escaped in UTF-8"

# Another calendar library reads it too: python3-icalendar, with dateutil expanding the rules
# (the engine whose 29 February handling differs most from libical's).
/usr/bin/python3 - "$ics" >"$work/expanded" <<'PY' || fail "python3-icalendar: $(cat "$work/expanded")"
import datetime, sys
from icalendar import Calendar
from dateutil.rrule import rrulestr
cal = Calendar.from_ical(open(sys.argv[1], "rb").read())
for ev in cal.walk("VEVENT"):
    start = datetime.datetime.combine(ev.decoded("DTSTART"), datetime.time())
    rule = rrulestr(ev["RRULE"].to_ical().decode(), dtstart=start)
    days = rule.between(datetime.datetime(2026, 1, 1), datetime.datetime(2029, 1, 1), inc=True)
    print(str(ev["SUMMARY"]), *[d.strftime("%Y-%m-%d") for d in days])
PY
grep -qxF "Geburtstag André 2026-02-28 2027-02-28 2028-02-29" "$work/expanded" ||
  fail "29 February in common years: $(cat "$work/expanded")"
grep -qxF "Geburtstag Greta Müller 2026-04-14 2027-04-14 2028-04-14" "$work/expanded" ||
  fail "a year-less birthday: $(cat "$work/expanded")"
grep -qxF "Jahrestag: Jürgen, Ilse 2026-02-28 2027-02-28 2028-02-29" "$work/expanded" ||
  fail "an escaped summary: $(cat "$work/expanded")"

# The calendar read back into an empty start directory gives the same data file.
b="$work/b"
mkdir -p "$b"
run "$b" --import "$ics"
expect_line "$b" "status: iCalendar: 7 Einträge gefunden"
cmp -s "$a/tavik!4.dat" "$b/tavik!4.dat" || fail "the calendar read back differs"

# The terminal listing shows the year-less birthday ahead.
listing=$(cd "$a" && faketime '2027-04-10 12:00:00' "$tavik" --list 2>&1)
grep -q 'Geburtstag Greta Müller' <<<"$listing" || fail "listing: $listing"

exit $((failures > 0))
