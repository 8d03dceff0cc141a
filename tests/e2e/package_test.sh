#!/bin/bash
# Checks the Debian package that scripts/package built: lintian, the AppStream data, the menu
# entry, the manual page, the control fields and the file list; then runs the programs from the
# package unpacked into a temporary root. A check whose tool is missing is skipped with a line
# that says so.
# Usage: package_test.sh PACKAGE SOURCE_DIR
set -u
deb=$1
source=$2
. "$(dirname "$0")/common.sh"

if [ ! -f "$deb" ]; then
  echo "SKIP: no package $deb; scripts/package builds it (./test does so first)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb -x" >&2; exit 1; }

# Runs the check named $2 only when the tool $1 is there; a skipped check makes the whole test
# count as skipped (exit 77) unless another one failed.
skipped=""
have() {
  command -v "$1" >/dev/null && return 0
  echo "SKIP: $2: $1 is not installed (scripts/install-deps installs it)"
  skipped="$skipped, $2"
  return 1
}

field() { dpkg-deb -f "$deb" "$1"; }
version=$(field Version)

# Control fields.
[ "$(field Package)" = tavik ] || fail "Package is $(field Package)"
[ "$(field Section)" = utils ] || fail "Section is $(field Section)"
[ "$(field Architecture)" = amd64 ] || fail "Architecture is $(field Architecture)"
[ "$(basename "$deb")" = "tavik_${version}_amd64.deb" ] || fail "file name $(basename "$deb")"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
field Description | grep -q German || fail "the description does not say the program is German"
for dep in libc6 libqt6widgets6 libjpeg62-turbo libqt6keychain1; do
  field Depends | grep -qw "$dep" || fail "Depends lacks $dep: $(field Depends)"
done
for recommended in qt6-translations-l10n qt6-wayland libsecret-1-0; do
  field Recommends | grep -qw "$recommended" || fail "Recommends lacks $recommended: $(field Recommends)"
done
zcat "$root/usr/share/doc/tavik/changelog.gz" | head -1 | grep -qF "tavik ($version)" ||
  fail "the changelog's latest entry is not $version"

# The file list: the programs and start command, help texts, icons, menu entry, AppStream
# data, manual page and the package's documents; nothing else.
{
  printf '%s\n' usr/bin/tavik usr/bin/tavik-start \
    usr/libexec/tavik/tavik-launcher usr/libexec/tavik/tavik-window \
    usr/share/applications/tavik.desktop usr/share/metainfo/tavik.metainfo.xml \
    usr/share/man/man1/tavik.1.gz usr/share/man/man1/tavik-start.1.gz \
    usr/share/doc/tavik/copyright usr/share/doc/tavik/changelog.gz \
    usr/share/icons/hicolor/scalable/apps/tavik.svg
  for size in 16 32 48 64 128 256; do
    echo "usr/share/icons/hicolor/${size}x${size}/apps/tavik.png"
  done
  for help in "$source"/resources/help/*.txt; do
    echo "usr/share/tavik/help/$(basename "$help")"
  done
} | sort >"$work/want"
(cd "$root" && find . ! -type d | sed 's|^\./||' | sort) >"$work/files"
diff -u "$work/want" "$work/files" >"$work/diff" || fail "file list:"$'\n'"$(cat "$work/diff")"
for program in usr/bin/tavik usr/bin/tavik-start usr/libexec/tavik/tavik-launcher \
  usr/libexec/tavik/tavik-window; do
  [ -x "$root/$program" ] || fail "$program is not executable"
done
[ "$(readlink "$root/usr/share/man/man1/tavik-start.1.gz")" = tavik.1.gz ] ||
  fail "tavik-start.1.gz does not point to tavik.1.gz"
for help in "$source"/resources/help/*.txt; do
  cmp -s "$help" "$root/usr/share/tavik/help/$(basename "$help")" ||
    fail "help text $(basename "$help") differs"
done

if have lintian "lintian"; then
  # Warnings count as failures too: the package has none, and should keep it so.
  lintian --fail-on error,warning "$deb" >"$work/lintian" 2>&1 ||
    fail "lintian:"$'\n'"$(cat "$work/lintian")"
fi

if have appstreamcli "AppStream data"; then
  metainfo=$root/usr/share/metainfo/tavik.metainfo.xml
  appstreamcli validate --no-net "$metainfo" >"$work/appstream" 2>&1 ||
    fail "appstreamcli validate:"$'\n'"$(cat "$work/appstream")"
  grep -qF "<release version=\"$version\"" "$metainfo" || fail "AppStream data lacks release $version"
  # Software centres show the release date: the one of the version's changelog entry.
  released=$(date -u +%F -d "$(sed -n '0,/^ -- /s/^ -- .*>  //p' "$source/packaging/changelog")")
  grep -qF "<release version=\"$version\" date=\"$released\"/>" "$metainfo" ||
    fail "AppStream release date is not $released: $(grep '<release ' "$metainfo")"
  launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
  [ -f "$root/usr/share/applications/$launchable" ] || fail "launchable '$launchable' not in the package"
fi

entry=$root/usr/share/applications/tavik.desktop
if have desktop-file-validate "menu entry"; then
  desktop-file-validate "$entry" >"$work/validate" 2>&1 && [ ! -s "$work/validate" ] ||
    fail "desktop-file-validate:"$'\n'"$(cat "$work/validate")"
fi
grep -qx "Exec=/usr/bin/tavik-start" "$entry" || fail "menu entry: $(grep ^Exec= "$entry")"

if have man "manual page"; then
  # Without a UTF-8 locale man renders in ASCII, where some characters have no stand-in.
  for locale in C C.UTF-8; do
    MANWIDTH=80 LC_ALL=$locale man --warnings -l "$root/usr/share/man/man1/tavik.1.gz" \
      >"$work/man" 2>"$work/man.err" || fail "man -l failed in $locale: $(cat "$work/man.err")"
    [ ! -s "$work/man.err" ] || fail "man --warnings in $locale:"$'\n'"$(cat "$work/man.err")"
  done
  for text in BEZEICHNUNG OPTIONEN DATEIEN EINSTELLUNGSDATEI "AUTOMATISCHER START" RÜCKGABEWERT \
    --list --notify --sync TAVIK_PASSWORD_FILE --help --version "tavik!4.dat" "tavik!4.ini" "Tavik! v4.x.conf" \
    "~/.config/autostart/tavik.desktop" "Automatisch beim Anmelden starten" "VERPASSTE TAGE" \
    BENACHRICHTIGUNG "IMPORT UND EXPORT" vCard iCalendar page-sizes "TÄGLICHE ERINNERUNG" \
    "Täglich erinnern um" "tavik-remind-"; do
    grep -qF -- "$text" "$work/man" || fail "the manual page lacks '$text'"
  done
  # troff itself, whatever input encoding it assumes, finds nothing to warn about.
  groff -man -Tutf8 -ww "$source/packaging/tavik.1" 2>"$work/groff.err" >/dev/null
  [ ! -s "$work/groff.err" ] || fail "groff -ww:"$'\n'"$(cat "$work/groff.err")"
  LC_ALL=C.UTF-8 grep -E '^.{81,}' "$work/man" >"$work/long"
  [ ! -s "$work/long" ] || fail "manual page lines wider than 80:"$'\n'"$(cat "$work/long")"
fi

# The programs run from the unpacked package: the front program finds the window program in
# ../libexec/tavik/, the start command its launcher, the window program its help texts.
[ "$("$root/usr/bin/tavik" --version)" = "Tavik! $version" ] ||
  fail "tavik --version: $("$root/usr/bin/tavik" --version 2>&1)"
export HOME=$work/home XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
mkdir -p "$HOME" "$XDG_CONFIG_HOME/HOLVENTARIS" "$work/start"
# Holidays on, Silvester only; auto-exit after 5 seconds, no today box.
holidays 0 30 >"$work/start/tavik!4.ini"
# An empty data file, so that --list keeps to this directory rather than the user's.
: >"$work/start/tavik!4.dat"
# The window program waits for the user while it has no event at all: one for tavik-start.
mkdir -p "$XDG_DATA_HOME/tavik"
record 1970-06-01 "Sommerfest" >"$XDG_DATA_HOME/tavik/tavik!4.dat"
printf '[General]\nanzdays=30\nautoclose=5\nheutebox=0\nprior=0\n' \
  >"$XDG_CONFIG_HOME/HOLVENTARIS/Tavik! v4.x.conf"
if have faketime "runs of the packaged programs"; then
  (cd "$work/start" && faketime '2006-12-15 12:00:00' "$root/usr/bin/tavik" --list \
    >"$work/out" 2>&1)
  [ "$(cat "$work/out")" = "Noch 16 Tage  31.12.           Silvester" ] ||
    fail "tavik --list: $(cat "$work/out")"
  status=0
  QT_QPA_PLATFORM=offscreen timeout 60 faketime '2006-12-15 12:00:00' \
    "$root/usr/bin/tavik-start" >"$work/start.log" 2>&1 || status=$?
  [ "$status" -eq 0 ] || fail "tavik-start ended with $status: $(cat "$work/start.log")"
  [ "$(stat -c %s "$XDG_DATA_HOME/tavik/tavik!4.dat")" = 420 ] || fail "tavik-start lost the event"
  [ ! -e "$XDG_DATA_HOME/tavik/Hauptfenster.txt" ] || fail "tavik-start copied help texts"
  [ -f "$root/usr/libexec/tavik/../../share/tavik/help/Hauptfenster.txt" ] ||
    fail "no help texts where the window program looks"
fi

[ "$failures" -eq 0 ] || exit 1
if [ -n "$skipped" ]; then
  echo "SKIP: the other checks passed; not checked: ${skipped#, }"
  exit 77
fi
echo "all passed: $(basename "$deb"), $(stat -c %s "$deb") bytes"
