#!/usr/bin/env bash
# Installs what korvix_bench_versus needs beyond the build: the browsers it
# holds Korvix against (Chromium, Falkon), an X server for them and xdotool
# for the cases that click and type. CI does not need any of it; the
# benchmark leaves out whatever is missing. Safe to run again.
set -euo pipefail

PKGS=(xvfb xdotool chromium falkon)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "all installed: ${PKGS[*]}"
  exit 0
fi
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
