#!/usr/bin/env bash
# Builds everything a release ships into DIST: the Debian package, the Windows zip and the
# Windows installer, and SHA256SUMS over them. Every time in them is SOURCE_DATE_EPOCH (by
# default the last commit's time) and no build folder's path gets into them, so a rebuild of the
# same commit, anywhere and at any time, gives the same bytes.
#   scripts/release.sh [BUILD_ROOT [DIST]]     (defaults: build-release, dist)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(realpath -m "${1:-build-release}")
dist=$(realpath -m "${2:-dist}")
source scripts/packages.sh
release_time
ensure_packages cmake g++ make pkg-config liballegro4-dev libx11-dev zlib1g-dev dpkg-dev file

mapfile -t windows < <(scripts/build-windows.sh "$root/windows" | tail -n 2)
cmake -S . -B "$root/linux" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build "$root/linux" -j "$(nproc)" >/dev/null
rm -rf "$root/deb"
(cd "$root/linux" && cpack -G DEB -B "$root/deb" >/dev/null)

rm -rf "$dist" && mkdir -p "$dist"
cp "$root"/deb/*.deb "${windows[@]}" "$dist/"
(cd "$dist" && sha256sum -- *.deb *.exe *.zip >SHA256SUMS)
cat "$dist/SHA256SUMS"
