#!/bin/sh
# Runs a test on a session bus of its own, with a GNOME Keyring unlocked in a
# temporary home, and stops both afterwards. With --none the bus offers no
# Secret Service at all.
set -u
none=0
if [ "${1:-}" = "--none" ]; then
  none=1
  shift
fi
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
  XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/run"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

if [ "$none" -eq 1 ]; then
  # A bus that starts no services: nothing answers for the keyring.
  cat >"$home/bus.conf" <<'CONF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
  timeout 280 dbus-run-session --config-file="$home/bus.conf" -- "$@"
  exit $?
fi

timeout 280 dbus-run-session -- sh -c '
  printf korvix | gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null 2>&1 &
  keyring=$!
  tries=0
  until dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null |
      grep -q "boolean true"; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ]; then
      echo "gnome-keyring-daemon did not come up" >&2
      kill "$keyring" 2>/dev/null
      exit 1
    fi
    sleep 0.1
  done
  "$@"
  status=$?
  kill "$keyring" 2>/dev/null
  wait "$keyring" 2>/dev/null
  exit "$status"' sh "$@"
