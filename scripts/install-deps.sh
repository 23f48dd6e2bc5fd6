#!/usr/bin/env bash
# Installs the Debian packages Korvix needs to build, run and test. Safe to run again.
set -euo pipefail

PKGS=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev
  qt6-webengine-dev qt6-webengine-dev-tools libqt6webenginecore6-bin
  qt6-multimedia-dev qt6-translations-l10n
  libgumbo-dev
  xvfb xauth fonts-dejavu-core
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
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
