#!/usr/bin/env bash
# Installs what is missing, builds soundpath and its tests, and runs every test:
#   1. the unit, end-to-end, package and memcheck tests of the normal build (build/);
#   2. the unit and end-to-end tests again, built with AddressSanitizer and
#      UndefinedBehaviorSanitizer (build-asan/);
#   3. a short run of each fuzz target (build-fuzz/, with clang's libFuzzer).
# The end-to-end tests start their own X server and need no sound card.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh test
jobs=$(nproc)

echo "== tests"
ctest --test-dir build --output-on-failure

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOUNDPATH_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$jobs"
export UBSAN_OPTIONS=print_stacktrace=1
ctest --test-dir build-asan -L unit --output-on-failure
# LeakSanitizer's tracer dies at the real program's exit here (with the library's background
# threads about), so leaks of the real program are checked under valgrind instead (memcheck).
ASAN_OPTIONS=detect_leaks=0 ctest --test-dir build-asan -L e2e --output-on-failure

echo "== fuzz targets, briefly"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSOUNDPATH_FUZZ=ON -DBUILD_TESTING=ON >/dev/null
cmake --build build-fuzz -j "$jobs"
ctest --test-dir build-fuzz --output-on-failure
