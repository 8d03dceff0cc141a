#!/bin/bash
# Kills the window program with SIGKILL at every step of its close and checks that the data file
# is then byte for byte the old or the new one, never partial, that the holiday file is whole,
# and that the next start reads what was left. The close drops 333 expired events of 1000.
# Usage: crash_safety_test.sh SCRIPTED_WINDOW TAVIK TAVIK_WINDOW
set -u
scripted=$(realpath "$1")
tavik=$(realpath "$2")
window=$(realpath "$3")
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$work"' EXIT
. "$(dirname "$0")/common.sh"
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"

# printf escapes of the 8 little-endian bytes of the day number of DATE as an IEEE 754 double.
date_escapes() {
  local n=$(($(date -u -d "$1" +%s) / 86400 + 25569)) e=0 bits i out=
  while (((1 << (e + 1)) <= n)); do e=$((e + 1)); done
  bits=$((((1023 + e) << 52) | ((n - (1 << e)) << (52 - e))))
  for ((i = 0; i < 8; i++)); do printf -v out '%s\\x%02x' "$out" $(((bits >> (8 * i)) & 255)); done
  echo "$out"
}

kept_date=$(date_escapes 1970-06-15)
expired_date=$(date_escapes 2001-01-01)
printf -v zeros '%206s' ''
zeros=${zeros// /\\x00}

# RECORD DATE_ESCAPES TEXT AUTODELETE, with builtins only: a thousand of them take no time.
record() {
  local length=${#2} head
  printf -v head '%s\\x%02x' "$1" "$length"
  printf '%b%s%b' "$head" "$2" "${zeros:0:$(((200 - length) * 4))}\\x00\\x00\\x00\\x0$3\\x00$zeros"
}

# The old file: every third event expired and marked for deletion; the new one keeps the rest.
fixture=$work/fixture
mkdir -p "$fixture" "$work/config/HOLVENTARIS"
for ((i = 1; i <= 1000; i++)); do
  if ((i % 3 == 0)); then
    printf -v text 'Abgelaufen %04d' "$i"
    record "$expired_date" "$text" 1 >>"$fixture/tavik!4.dat"
  else
    printf -v text 'Ereignis %04d' "$i"
    record "$kept_date" "$text" 0 >>"$fixture/tavik!4.dat"
    record "$kept_date" "$text" 0 >>"$work/new.dat"
  fi
done
cp "$fixture/tavik!4.dat" "$work/old.dat"
head -c 51 /dev/zero >"$fixture/tavik!4.ini"
# No today box; the real program closes itself after about two seconds.
printf '[General]\nanzdays=30\nautoclose=1\nheutebox=0\nprior=0\n' \
  >"$work/config/HOLVENTARIS/Tavik! v4.x.conf"
[ "$(stat -c %s "$work/old.dat")" = 420000 ] && [ "$(stat -c %s "$work/new.dat")" = 280140 ] ||
  fail "fixture sizes: $(stat -c %s "$work/old.dat") $(stat -c %s "$work/new.dat")"

# The files of DIR must be the old or the new state as WANT (old, new or either) says, and
# `tavik --list` must read them. Sets `state` to old, new or broken and counts the events that
# were to be kept but are not in the file.
lost=0
check_dir() {
  local dir=$1 want=$2 name=$3 intact
  state=broken
  cmp -s "$dir/tavik!4.dat" "$work/old.dat" && state=old
  cmp -s "$dir/tavik!4.dat" "$work/new.dat" && state=new
  if [ "$state" = broken ]; then
    fail "$name: data file is neither old nor new ($(stat -c %s "$dir/tavik!4.dat") bytes)"
    # Whole records up to the first difference from the new file.
    intact=$(cmp "$dir/tavik!4.dat" "$work/new.dat" 2>/dev/null |
      sed -n 's/.* byte \([0-9]*\).*/\1/p')
    lost=$((lost + 667 - (${intact:-1} - 1) / 420))
  elif [ "$want" != either ] && [ "$state" != "$want" ]; then
    fail "$name: data file is $state, want $want"
  fi
  cmp -s "$dir/tavik!4.ini" <(head -c 51 /dev/zero) || fail "$name: holiday file is not whole"
  (cd "$dir" && "$tavik" --list >/dev/null 2>"$work/list.err") ||
    fail "$name: the next start cannot read it: $(cat "$work/list.err")"
}

# Runs COMMAND... in the background in DIR, writing its output to OUT; sets `pid`.
start_in() {
  local dir=$1 out=$2
  shift 2
  (cd "$dir" && exec "$@" >"$out" 2>/dev/null) &
  pid=$!
}

stop() {
  { kill -9 "$pid" && wait "$pid"; } 2>/dev/null
  pid=
}

# A whole close, traced: the file calls it makes, and where the data file is replaced.
cp -r "$fixture" "$work/whole"
(cd "$work/whole" && timeout 60 "$scripted" --exit-when-shown >"$work/trace" \
  2>"$work/trace.err") ||
  fail "untouched close: exit code $?: $(tail -20 "$work/trace.err")"
check_dir "$work/whole" new "untouched close"
calls=$(grep -c '^call ' "$work/trace")
replaced=$(sed -n 's/^call \([0-9]*\) rename tavik!4.dat.XXXXXX.tmp tavik!4.dat$/\1/p' "$work/trace")
writes=($(sed -n 's/^call \([0-9]*\) write tavik!4.dat.XXXXXX.tmp$/\1/p' "$work/trace"))
[ "${#writes[@]}" = 667 ] && [ -n "$replaced" ] ||
  fail "trace: ${#writes[@]} writes, rename at '$replaced'"

# Every call but the record writes, and of those the first two, one in the middle and the last
# two (a write is killed halfway, with half a record in the temporary file).
points=(0)
for ((n = 1; n <= calls; n++)); do
  grep -q "^call $n write tavik!4.dat.XXXXXX.tmp$" "$work/trace" || points+=("$n")
done
points+=("${writes[0]}" "${writes[1]}" "${writes[333]}" "${writes[665]}" "${writes[666]}")

olds=0
news=0
for n in "${points[@]}"; do
  dir=$work/kill-$n
  cp -r "$fixture" "$dir"
  start_in "$dir" "$dir.out" "$scripted" --exit-when-shown --pause-at "$n"
  for ((t = 0; t < 3000; t++)); do
    grep -qs "^paused $n$" "$dir.out" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.01
  done
  grep -qs "^paused $n$" "$dir.out" || fail "kill point $n: never reached: $(tail -2 "$dir.out")"
  stop
  want=old
  ((n >= replaced)) && want=new
  check_dir "$dir" "$want" "kill point $n"
  case $state in
    old) olds=$((olds + 1)) ;;
    new) news=$((news + 1)) ;;
  esac
done

# The next start of the real program, where a kill left half a record in the temporary file:
# it reads the old file, closes by itself and writes the new one.
dir=$work/kill-${writes[333]}
temps=("$dir"/tavik!4.dat.??????.tmp)
[ -s "${temps[0]}" ] || fail "no temporary file left by a kill halfway through a write"
(cd "$dir" && timeout 60 "$window" >/dev/null 2>"$work/window.err") ||
  fail "the next start: exit code $?: $(cat "$work/window.err")"
check_dir "$dir" new "the next start"
# Temporary names are unique now: the killed run's file stays as it was, and the next start
# leaves none of its own.
after=("$dir"/tavik!4.dat.??????.tmp)
[ "${after[*]}" = "${temps[*]}" ] || fail "the next start left a temporary file: ${after[*]}"

# The real program, killed as soon as its temporary file appears.
dir=$work/real
cp -r "$fixture" "$dir"
start_in "$dir" /dev/null "$window"
until compgen -G "$dir/tavik!4.dat.??????.tmp" >/dev/null || ! kill -0 "$pid" 2>/dev/null; do :; done
stop
check_dir "$dir" either "the real program killed while saving"

echo "kill points tried: ${#points[@]} (calls 0 to $calls of the close; old file kept $olds" \
  "times, new file $news times); real program killed while saving: $state file;" \
  "records lost: $lost"
[ "$failures" -eq 0 ]
