#!/usr/bin/env bash
# Builds Korvix (Release) and starts it. Extra arguments are the address to open.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"

build="$root/build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target korvix

# The program keeps its files (preferences, archive, web storage) beside the
# executable; run it from its own folder.
app="$root/bin"
mkdir -p "$app"
cp "$build/korvix" "$app/korvix"

# Chromium refuses to run its sandbox as root.
if [ "$(id -u)" -eq 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi
exec "$app/korvix" "$@"
