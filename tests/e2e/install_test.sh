#!/bin/sh
# Installs the build into a temporary prefix and checks it as a desktop sees it.
#   layout: programs, launcher, icons, help texts and a valid desktop entry are in place;
#   start:  the installed launcher runs the program in a per-user directory holding only a data
#           file, which then holds the holiday file as well but no copied help texts (skipped,
#           exit 77, while the window program is not built).
# Usage: install_test.sh BUILD_DIR SOURCE_DIR layout|start   (CMAKE names the cmake to use)
set -eu
build=$1
source=$2
mode=$3
cmake=${CMAKE:-cmake}
# faketime preloads its library ahead of a sanitizer's runtime, which the runtime refuses.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# A blank in the prefix tests the quoting of paths in the launcher and the desktop entry.
prefix="$tmp/Mein Programm"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

"$cmake" --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 ||
  { cat "$tmp/install.log" >&2; fail "cmake --install"; }

# The width and height stored in a PNG's header.
png_size() {
  set -- $(od -An -tu1 -j16 -N8 "$1")
  echo "$(($1 * 16777216 + $2 * 65536 + $3 * 256 + $4))x$(($5 * 16777216 + $6 * 65536 + $7 * 256 + $8))"
}

check_layout() {
  for program in bin/tavik bin/tavik-start libexec/tavik/tavik-launcher; do
    [ -x "$prefix/$program" ] || fail "$program is not installed as a program"
  done
  for size in 16 32 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/tavik.png"
    [ -f "$icon" ] || fail "no icon $icon"
    [ "$(png_size "$icon")" = "${size}x${size}" ] || fail "$icon is $(png_size "$icon")"
  done
  [ -f "$prefix/share/icons/hicolor/scalable/apps/tavik.svg" ] || fail "no scalable icon"

  found=0
  for help in "$source"/resources/help/*.txt; do
    [ -e "$help" ] || continue
    found=$((found + 1))
    cmp -s "$help" "$prefix/share/tavik/help/$(basename "$help")" ||
      fail "help text $(basename "$help") not installed unchanged"
  done
  [ "$found" -gt 0 ] || echo "note: resources/help holds no help texts yet; none checked"

  entry="$prefix/share/applications/tavik.desktop"
  [ -f "$entry" ] || fail "no desktop entry"
  desktop-file-validate "$entry" >"$tmp/validate.log" 2>&1 ||
    { cat "$tmp/validate.log" >&2; fail "desktop-file-validate"; }
  [ ! -s "$tmp/validate.log" ] || { cat "$tmp/validate.log" >&2; fail "desktop-file-validate hints"; }
  grep -qx "Exec=\"$prefix/bin/tavik-start\"" "$entry" || fail "Exec is $(grep ^Exec= "$entry")"
  for line in "Name=Tavik!" "Icon=tavik" "Categories=Office;Calendar;" "Type=Application"; do
    grep -qxF "$line" "$entry" || fail "desktop entry lacks $line"
  done
}

check_start() {
  if [ ! -x "$prefix/libexec/tavik/tavik-window" ]; then
    echo "SKIP: libexec/tavik/tavik-window is not installed; the window program is not built yet"
    exit 77
  fi
  export HOME="$tmp/home" XDG_DATA_HOME="$tmp/data" XDG_CONFIG_HOME="$tmp/config"
  export QT_QPA_PLATFORM=offscreen
  unset DISPLAY WAYLAND_DISPLAY
  mkdir -p "$HOME" "$XDG_CONFIG_HOME/HOLVENTARIS"
  # Auto-exit after 5 seconds, no today box: the program ends by itself. It waits for the user
  # while it has no event at all, so the directory gets one ("Sommerfest", 1 June 1970).
  printf '[General]\nanzdays=30\nautoclose=5\nheutebox=0\nprior=0\n' \
    >"$XDG_CONFIG_HOME/HOLVENTARIS/Tavik! v4.x.conf"
  datadir="$XDG_DATA_HOME/tavik"
  mkdir -p "$datadir"
  { printf '\000\000\000\000\000\036\331\100\012Sommerfest'; head -c 401 /dev/zero; } \
    >"$datadir/tavik!4.dat"

  # A help text the user changed stays as it is.
  kept=""
  for help in "$source"/resources/help/*.txt; do
    [ -e "$help" ] || continue
    kept=$(basename "$help")
    mkdir -p "$datadir"
    echo "eigene Hilfe" >"$datadir/$kept"
    break
  done

  status=0
  timeout 120 faketime '2006-12-15 10:00:00' "$prefix/bin/tavik-start" >"$tmp/run.log" 2>&1 ||
    status=$?
  [ "$status" -eq 0 ] || { cat "$tmp/run.log" >&2; fail "tavik-start ended with $status"; }

  [ "$(wc -c <"$datadir/tavik!4.dat")" -eq 420 ] || fail "the event did not stay in $datadir"
  [ -f "$datadir/tavik!4.ini" ] || fail "no holiday file in $datadir"
  # The program reads the installed help texts (../../share/tavik/help from the window
  # program); none are copied, and the user's own is left as it is.
  for help in "$source"/resources/help/*.txt; do
    [ -e "$help" ] || continue
    name=$(basename "$help")
    if [ "$name" = "$kept" ]; then
      [ "$(cat "$datadir/$name")" = "eigene Hilfe" ] || fail "help text $name overwritten"
    else
      [ ! -e "$datadir/$name" ] || fail "help text $name copied into $datadir"
    fi
    cmp -s "$help" "$prefix/libexec/tavik/../../share/tavik/help/$name" ||
      fail "help text $name not where the window program looks"
  done
}

case "$mode" in
  layout) check_layout ;;
  start) check_start ;;
  *) fail "unknown mode $mode" ;;
esac
echo "ok: $mode"
