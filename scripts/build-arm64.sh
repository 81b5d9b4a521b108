#!/usr/bin/env bash
# Builds the arm64 Debian package of soundpath on this amd64 machine, with Debian's cross
# compiler against Debian's arm64 libraries (unpacked, from the archive that this machine's apt
# uses, into a root kept in the cache), into BUILD_DIR/deb/. The data files and icons come from
# the generators of the native build in HOST_BUILD_DIR, so they are the amd64 package's own.
# Like the amd64 package, it is the same bytes on every rebuild of the same commit.
#   scripts/build-arm64.sh BUILD_DIR HOST_BUILD_DIR
set -euo pipefail
out=$(realpath -m "$1")
host=$(realpath -m "$2")
cd "$(dirname "$0")/.."
source scripts/lib.sh
fail_as=build-arm64
ensure_packages "${arm64_packages[@]}"
release_time
jobs=${SOUNDPATH_JOBS:-$(nproc)} # compile jobs at once

# The C++ library's headers are those of the cross compiler's own version.
gcc_major=$(aarch64-linux-gnu-g++ -dumpversion) || fail "no cross compiler for arm64"
root=$(arm64_root liballegro4-dev libx11-dev libasound2-dev "libstdc++-${gcc_major%%.*}-dev") ||
  fail "no arm64 root to build against"
cmake -S . -B "$out/linux" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/aarch64-linux-gnu.cmake" -DSOUNDPATH_ARM64_ROOT="$root" \
  -DSOUNDPATH_HOST_TOOLS="$host" >/dev/null || fail "the arm64 build's configuration failed"
cmake --build "$out/linux" -j "$jobs" >/dev/null || fail "the arm64 build failed"
rm -rf "$out/deb"
(cd "$out/linux" && DEB_HOST_ARCH=arm64 cpack -G DEB -B "$out/deb" >/dev/null) ||
  fail "the arm64 Debian package failed"
