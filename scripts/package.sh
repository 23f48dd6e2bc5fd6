#!/usr/bin/env bash
# Builds the Debian package (Release, the program only) into build-pkg/,
# lists what it holds and checks it with lintian; fails on lintian errors,
# prints its warnings.
#
#   scripts/package.sh          ->  build-pkg/korvix_6.4_amd64.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"

build="$root/build-pkg"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DKORVIX_BENCH=OFF >/dev/null
cmake --build "$build" -j"${JOBS:-$(nproc)}" --target package

version="$(sed -n 's/^project(Korvix VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
deb="$build/korvix_${version}_$(dpkg --print-architecture).deb"
echo
dpkg-deb --info "$deb"
echo
dpkg-deb --contents "$deb"
echo
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes," \
  "installed $(dpkg-deb -f "$deb" Installed-Size) KiB"

# The AppStream file as shipped, checked without the network.
meta="$(mktemp -d)"
trap 'rm -rf "$meta"' EXIT
dpkg-deb -x "$deb" "$meta"
appstreamcli validate --no-net "$meta"/usr/share/metainfo/*.metainfo.xml

echo
echo "lintian:"
lintian --fail-on error "$deb"
echo "lintian found no errors"
