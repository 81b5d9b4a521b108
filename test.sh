#!/usr/bin/env bash
# Installs what is missing, builds soundpath and its tests, and runs every test:
#   1. the release (scripts/release.sh into dist/): the Debian package, the Windows zip and
#      installer (the library for Windows is cached), built a second time in another folder,
#      which must give the same bytes;
#   2. the unit, end-to-end, package and memcheck tests of the normal build (build/), with the
#      release's package, executable and installer checked, and the end-to-end scenarios that
#      apply to the Windows program run again under Wine;
#   3. the unit and end-to-end tests again, built with AddressSanitizer and
#      UndefinedBehaviorSanitizer (build-asan/);
#   4. a short run of each fuzz target (build-fuzz/, with clang's libFuzzer).
# The end-to-end tests start their own X server and sound server, and need no sound card.
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc)

echo "== the release, built twice"
scripts/release.sh build-release dist
again=$(mktemp -d /tmp/soundpath-rebuild-XXXXXX)
scripts/release.sh "$again/build" "$again/dist" >/dev/null 2>&1
if ! cmp -s dist/SHA256SUMS "$again/dist/SHA256SUMS"; then
  echo "FAIL: a rebuild in another folder gave other bytes:"
  diff dist/SHA256SUMS "$again/dist/SHA256SUMS" || true
  exit 1
fi
rm -rf "$again"
echo "rebuilt in another folder: the same bytes"
release=$PWD/build-release/unpacked
rm -rf "$release" && mkdir -p "$release"
zip=$(ls "$PWD"/dist/*.zip)
(cd "$release" && cmake -E tar xf "$zip") # the tests run what ships
wineprefix=$(scripts/wineprefix.sh)

echo "== the build and its tests"
scripts/setup.sh test -DSOUNDPATH_WINDOWS_DIR="$release/soundpath" \
  -DSOUNDPATH_WINDOWS_EXE="$PWD/build-release/windows/exe/soundpath.exe" \
  -DSOUNDPATH_WINDOWS_INSTALLER="$(ls "$PWD"/dist/*-setup.exe)" \
  -DSOUNDPATH_DEB="$(ls "$PWD"/dist/*.deb)" -DSOUNDPATH_WINEPREFIX="$wineprefix"

ctest --test-dir build --output-on-failure

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOUNDPATH_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$jobs"
export UBSAN_OPTIONS=print_stacktrace=1
ctest --test-dir build-asan -L unit --output-on-failure
# LeakSanitizer's tracer dies at the real program's exit here (with the library's background
# threads about), so leaks of the real program are checked under valgrind instead (memcheck).
# The fifty-run case is left out here: its point is the resident memory over many runs, which
# only the plain build measures (the sanitizer's quarantine grows it by design), and it takes
# minutes.
ASAN_OPTIONS=detect_leaks=0 ctest --test-dir build-asan -L e2e -E FiftyRuns --output-on-failure

echo "== fuzz targets, briefly"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSOUNDPATH_FUZZ=ON -DBUILD_TESTING=ON >/dev/null
cmake --build build-fuzz -j "$jobs"
ctest --test-dir build-fuzz --output-on-failure
