# Helpers the end-to-end scripts share; sourced, not run.

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# faketime preloads its library ahead of a sanitizer's runtime, which the runtime refuses.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"

# The 8 little-endian bytes of a positive whole number as an IEEE 754 double.
double_bytes() {
  local n=$1 e=0 bits i
  while (((1 << (e + 1)) <= n)); do e=$((e + 1)); done
  bits=$((((1023 + e) << 52) | ((n - (1 << e)) << (52 - e))))
  for ((i = 0; i < 8; i++)); do printf '%b' "\\x$(printf %02x $(((bits >> (8 * i)) & 255)))"; done
}

# One 420-byte event record: DATE (YYYY-MM-DD), TEXT (plain ASCII), AUTODELETE (0 or 1, 0 when
# left out).
record() {
  local days=$(($(date -u -d "$1" +%s) / 86400 + 25569))
  double_bytes "$days"
  printf '%b' "\\x$(printf %02x "${#2}")"
  printf '%s' "$2"
  head -c $((200 - ${#2})) /dev/zero
  printf "\\x00\\x00\\x00\\x0${3:-0}\\x00"
  head -c 206 /dev/zero
}

# A 51-byte holiday file with the given bytes set to 1.
holidays() {
  local i on b
  for ((i = 0; i < 51; i++)); do
    on=0
    for b in "$@"; do [ "$b" -eq "$i" ] && on=1; done
    printf "\\x0$on"
  done
}

# The stores a close wrote in START (settings in CONFIG): each name=value of the settings, the
# data file equal to EXPECTED_DAT, a whole holiday file of 51 zero bytes and no temporary file
# left. LABEL starts each failure.
# Usage: expect_saved LABEL START CONFIG EXPECTED_DAT name=value...
expect_saved() {
  local label=$1 start=$2 config=$3 expected=$4 conf value
  shift 4
  cmp -s "$start/tavik!4.dat" "$expected" ||
    fail "$label: data file is not the expected one ($(stat -c %s "$start/tavik!4.dat") bytes)"
  conf=$(cat "$config/HOLVENTARIS/Tavik! v4.x.conf")
  for value in "$@"; do
    grep -qx "$value" <<<"$conf" || fail "$label: settings lack $value: $conf"
  done
  cmp -s "$start/tavik!4.ini" <(head -c 51 /dev/zero) || fail "$label: holiday file is not whole"
  if compgen -G "$start/*.tmp" >/dev/null; then fail "$label: temporary file left"; fi
}
