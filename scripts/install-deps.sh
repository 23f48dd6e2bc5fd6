#!/usr/bin/env bash
# Installs the Debian packages Korvix needs to build, run and test. Safe to run again.
set -euo pipefail

PKGS=(
  build-essential cmake ninja-build pkg-config clang-format
  clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev
  qt6-webengine-dev qt6-webengine-dev-tools libqt6webenginecore6-bin
  qt6-multimedia-dev qt6-translations-l10n
  libgumbo-dev libpsl-dev libxcb1-dev
  libsecret-1-dev gnome-keyring hunspell-de-de hunspell-en-us
  xvfb xauth fonts-dejavu-core
  xdotool x11-xkb-utils dbus-daemon dbus-bin at-spi2-core
  dovecot-core dovecot-pop3d
  dpkg-dev lintian appstream
  curl stress-ng
  webext-ublock-origin-chromium
)

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# Dovecot's maintainer scripts start its system service. Where no init system
# runs (containers, CI) that start cannot work, so it is refused for the
# length of the install; the tests run a private Dovecot of their own.
policy=/usr/sbin/policy-rc.d
own_policy=0
if [ ! -d /run/systemd/system ] && [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
  $SUDO chmod 755 "$policy"
  own_policy=1
fi
drop_policy() {
  if [ "$own_policy" -eq 1 ]; then $SUDO rm -f "$policy"; fi
}
trap drop_policy EXIT

$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold "${missing[@]}"
