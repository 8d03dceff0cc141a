#!/usr/bin/env bash
# Runs password_store_test on session buses of its own: with an unlocked gnome-keyring-daemon
# (fed a test password), with that daemon stopped so that it never answers, and on a bus
# without any Secret Service. The keyrings live in a temporary home.
set -euo pipefail
test_program=$1
command -v dbus-run-session >/dev/null && command -v gnome-keyring-daemon >/dev/null || {
  echo "needs dbus-run-session and gnome-keyring-daemon" >&2
  exit 77
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CACHE_HOME=$work/home/.cache
export XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# shellcheck disable=SC2016
dbus-run-session -- bash -c '
  set -euo pipefail
  printf "test-keyring" | gnome-keyring-daemon --unlock --components=secrets >/dev/null
  TAVIK_KEYRING=running "$1"
  pid=$(pgrep -u "$(id -u)" -n gnome-keyring-d)
  kill -STOP "$pid"
  status=0
  TAVIK_KEYRING=frozen "$1" || status=$?
  kill -CONT "$pid"
  kill "$pid"
  exit $status
' bash "$test_program"

# A session bus that knows no services at all: nothing can start a keyring on it.
cat >"$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=$work</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
dbus-run-session --config-file="$work/bus.conf" -- env TAVIK_KEYRING=none "$test_program"
