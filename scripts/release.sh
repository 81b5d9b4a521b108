#!/usr/bin/env bash
# Builds everything a release ships into DIST: the Debian packages for amd64 (this machine's)
# and arm64, the Windows zip and the Windows installer, and SHA256SUMS over them. Every time in them is SOURCE_DATE_EPOCH (by
# default the last commit's time) and no build folder's path gets into them, so a rebuild of the
# same commit, anywhere and at any time, gives the same bytes. Any step that fails ends it.
#   scripts/release.sh [BUILD_ROOT [DIST]]     (defaults: build-release, dist)
# SOUNDPATH_JOBS, where set, is how many compile jobs it and its builds run at once (else one
# per core).
set -euo pipefail
root=$(realpath -m "${1:-build-release}")
dist=$(realpath -m "${2:-dist}")
cd "$(dirname "$0")/.."
source scripts/lib.sh
fail_as=release
release_time
ensure_packages "${build_packages[@]}" dpkg-dev file
jobs=${SOUNDPATH_JOBS:-$(nproc)} # compile jobs at once

scripts/build-windows.sh "$root/windows" || fail "the Windows build failed"
cmake -S . -B "$root/linux" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null ||
  fail "the Linux build's configuration failed"
cmake --build "$root/linux" -j "$jobs" >/dev/null || fail "the Linux build failed"
rm -rf "$root/deb"
(cd "$root/linux" && cpack -G DEB -B "$root/deb" >/dev/null) || fail "the Debian package failed"
scripts/build-arm64.sh "$root/arm64" "$root/linux" || fail "the arm64 build failed"

rm -rf "$dist" && mkdir -p "$dist"
listed=$(release_files "$root/deb" "$root/windows/dist" "$root/arm64/deb") || fail "the release is not whole"
mapfile -t files <<<"$listed"
cp "${files[@]}" "$dist/"
(cd "$dist" && sha256sum -- *.deb *.exe *.zip >SHA256SUMS)
cat "$dist/SHA256SUMS"
