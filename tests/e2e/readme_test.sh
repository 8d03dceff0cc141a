#!/bin/sh
# A new user's first steps: clones the repository and runs the commands the README gives, in its
# order, with HOME and the XDG directories in a temporary directory:
#   "Two commands"  ./run (./test is not run: it is the suite this test belongs to)
#   "Install"       cmake --install ... --prefix ~/.local, then the installed tavik-start
#   "In a terminal" tavik --list, --help, --version of the installation
# then checks what was installed and that nothing landed in the per-user data directory besides
# the program's own files. The commands are read from the README's code blocks.
# Usage: readme_test.sh SOURCE_DIR   (exit 77 when SOURCE_DIR is not a git checkout)
set -eu
source=$1

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if ! git -C "$source" rev-parse --verify -q HEAD >/dev/null 2>&1; then
  echo "SKIP: $source is no git checkout to clone"
  exit 77
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
clone="$tmp/tavik"
git clone -q "$source" "$clone"

export HOME="$tmp/home"
export XDG_DATA_HOME="$HOME/.local/share" XDG_CONFIG_HOME="$HOME/.config"
export XDG_CACHE_HOME="$HOME/.cache" XDG_STATE_HOME="$HOME/.local/state"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
mkdir -p "$HOME" "$XDG_CONFIG_HOME/HOLVENTARIS"
# A compiler cache, where there is one, then finds the objects of other clones at the same place.
export CCACHE_BASEDIR="$tmp"
datadir="$XDG_DATA_HOME/tavik"
prefix="$HOME/.local"

# The indented code lines of the README section headed "## $1", without their comments.
commands() {
  awk -v section="## $1" '
    /^## / { inside = ($0 == section); next }
    inside && /^    [^ ]/ { line = substr($0, 5); sub(/[ \t]+#.*$/, "", line); print line }
  ' "$clone/README.md"
}

# Runs one README command as a user types it (a shell expands "~"); the log is kept.
run() {
  echo "\$ $1" >>"$tmp/log"
  status=0
  (cd "$2" && timeout 1200 sh -c "$1") >>"$tmp/log" 2>&1 || status=$?
  [ "$status" -eq 0 ] || { cat "$tmp/log" >&2; fail "'$1' ended with $status"; }
}

# Nothing but the program's own files in the per-user data directory (the installation's
# share/tavik/help is there when the prefix is ~/.local).
check_datadir() {
  for f in "$datadir"/* "$datadir"/.[!.]*; do
    [ -e "$f" ] || continue
    case "$(basename "$f")" in
      "tavik!4.dat" | "tavik!4.ini" | "tavik!4.lock") ;;
      help) [ "$datadir" = "$prefix/share/tavik" ] || fail "$f after $1" ;;
      *) fail "$(basename "$f") in the data directory after $1" ;;
    esac
  done
}

commands "Two commands" >"$tmp/two"
found=""
while IFS= read -r command; do
  case "$command" in
    ./test) ;;
    *)
      found="$found $command"
      # Without a display ./run prints the countdown in the terminal and ends.
      run "$command" "$clone"
      ;;
  esac
done <"$tmp/two"
[ "$found" = " ./run" ] || fail "'Two commands' gives:$found"
grep -q "Keine Ereignisse" "$tmp/log" || { cat "$tmp/log" >&2; fail "./run printed no countdown"; }
check_datadir ./run

# The installed start command opens the window, offscreen. With no event yet it waits for the
# user instead of closing itself, so it is ended as a logout ends it (SIGTERM: saved, status 0).
printf '[General]\nanzdays=30\nautoclose=3\nheutebox=0\nprior=0\nnotify=0\n' \
  >"$XDG_CONFIG_HOME/HOLVENTARIS/Tavik! v4.x.conf"
commands Install >"$tmp/install"
[ -s "$tmp/install" ] || fail "'Install' gives no command"
while IFS= read -r command; do
  case "$command" in
    *tavik-start*)
      echo "\$ $command" >>"$tmp/log"
      (cd "$clone" && QT_QPA_PLATFORM=offscreen timeout 120 sh -c "$command") >>"$tmp/log" 2>&1 &
      starter=$!
      # Only this clone's window is meant (other tests may run theirs): found by its program file.
      own_window() {
        for pid in $(pgrep -x tavik-window); do
          case "$(readlink "/proc/$pid/exe")" in "$tmp"/*) echo "$pid" ;; esac
        done
      }
      i=0
      until [ -n "$(own_window)" ]; do
        i=$((i + 1))
        [ "$i" -lt 200 ] || { cat "$tmp/log" >&2; fail "tavik-start showed no window"; }
        sleep 0.1
      done
      sleep 2
      kill -TERM $(own_window)
      status=0
      wait "$starter" || status=$?
      [ "$status" -eq 0 ] || { cat "$tmp/log" >&2; fail "tavik-start ended with $status"; }
      ;;
    *) run "$command" "$clone" ;;
  esac
done <"$tmp/install"
check_datadir tavik-start
[ -f "$datadir/tavik!4.dat" ] || fail "tavik-start wrote no data file in $datadir"

commands "In a terminal" >"$tmp/terminal"
[ -s "$tmp/terminal" ] || fail "'In a terminal' gives no command"
PATH="$prefix/bin:$PATH"
while IFS= read -r command; do
  : >"$tmp/log"
  run "$command" "$datadir"
  [ "$(wc -l <"$tmp/log")" -gt 1 ] || fail "'$command' printed nothing"
done <"$tmp/terminal"
tavik --version | grep -q "^Tavik! " || fail "tavik --version"

# What was installed.
for program in bin/tavik bin/tavik-start libexec/tavik/tavik-window libexec/tavik/tavik-launcher; do
  [ -x "$prefix/$program" ] || fail "$program is not installed as a program"
done
gzip -t "$prefix/share/man/man1/tavik.1.gz" || fail "no manual page"
[ -e "$prefix/share/man/man1/tavik-start.1.gz" ] || fail "no manual page for tavik-start"
grep -qxE "Exec=\"?$prefix/bin/tavik-start\"?" "$prefix/share/applications/tavik.desktop" ||
  fail "desktop entry: $(grep ^Exec= "$prefix/share/applications/tavik.desktop" 2>&1)"
# The window program reads the help texts from ../../share/tavik/help.
helpdir="$prefix/libexec/tavik/../../share/tavik/help"
count=0
for help in "$clone"/resources/help/*.txt; do
  cmp -s "$help" "$helpdir/$(basename "$help")" || fail "help text $(basename "$help") not installed"
  count=$((count + 1))
done
[ "$count" -eq 9 ] || fail "$count help texts in resources/help"
echo "ok: the README's commands"
