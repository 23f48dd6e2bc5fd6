#!/usr/bin/env bash
# Builds Korvix (Release) and starts it. Extra arguments are the address to open.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"

build="$root/build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target korvix korvix_desktop_files

# The program keeps its files (preferences, archive, web storage) beside the
# executable; run it from its own folder.
app="$root/bin"
mkdir -p "$app"
cp "$build/korvix" "$build/korvix-sound.so" "$app/"

# Make Korvix selectable as the desktop's web browser (http, https and local
# HTML files open with it), pointing at this build, with its icon.
apps="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
icons="${XDG_DATA_HOME:-$HOME/.local/share}/icons/hicolor"
mkdir -p "$apps" "$icons"
cp -r "$build/icons/." "$icons/"
sed "s|^Exec=korvix |Exec=\"$app/korvix\" |" "$root/resources/korvix.desktop" >"$apps/korvix.desktop"
if command -v update-desktop-database >/dev/null 2>&1; then
  update-desktop-database "$apps" >/dev/null 2>&1 || true
fi

# Chromium refuses to run its sandbox as root.
if [ "$(id -u)" -eq 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi
exec "$app/korvix" "$@"
