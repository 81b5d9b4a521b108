#!/usr/bin/env bash
# Installs what is missing, builds soundpath and its tests, and runs every test:
#   1. the Windows release (scripts/build-windows.sh): the library for Windows (cached), the
#      executable and the zip;
#   2. the unit, end-to-end, package and memcheck tests of the normal build (build/), with the
#      executable's checks and the end-to-end scenarios that apply to it run again under Wine;
#   3. the unit and end-to-end tests again, built with AddressSanitizer and
#      UndefinedBehaviorSanitizer (build-asan/);
#   4. a short run of each fuzz target (build-fuzz/, with clang's libFuzzer).
# The end-to-end tests start their own X server and sound server, and need no sound card.
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc)
cache=${SOUNDPATH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/soundpath}

echo "== the Windows release"
zip=$(scripts/build-windows.sh build-windows | tee /dev/stderr | tail -n 1)
release=$PWD/build-windows/release
rm -rf "$release" && mkdir -p "$release"
(cd "$release" && cmake -E tar xf "$zip") # the tests run what ships
# One Wine prefix, made once and kept: it takes seconds to make and hundreds of megabytes.
source scripts/packages.sh
ensure_packages wine wine64
wineprefix=$cache/wine-$(dpkg-query -W -f='${Version}' wine)
if [ ! -f "$wineprefix/system.reg" ]; then
  rm -rf "$wineprefix"
  export WINEPREFIX=$wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  (DISPLAY= wineboot -i && wineserver -w) >/dev/null 2>&1 || true
  unset WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
  [ -f "$wineprefix/system.reg" ] || { echo "could not make a Wine prefix"; exit 1; }
fi

echo "== the build and its tests"
scripts/setup.sh test -DSOUNDPATH_WINDOWS_DIR="$release/soundpath" \
  -DSOUNDPATH_WINDOWS_EXE="$PWD/build-windows/exe/soundpath.exe" -DSOUNDPATH_WINEPREFIX="$wineprefix"

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
