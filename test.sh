#!/usr/bin/env bash
# Installs what is missing, builds soundpath and its tests, and runs every test:
#   0. ShellCheck over every script;
#   1. the release (scripts/release.sh into dist/): the Debian package, the Windows zip and
#      installer (the library for Windows is cached), built a second time in another folder
#      from an empty cache, which must give the same bytes;
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

source scripts/packages.sh
ensure_packages shellcheck
echo "== the scripts, by ShellCheck"
mapfile -t scripts < <(git ls-files '*.sh' .ci/run)
shellcheck -x "${scripts[@]}"
# Those that build the release also may not let a failing command pass unseen.
shellcheck -x --enable=check-extra-masked-returns scripts/release.sh scripts/build-windows.sh \
  scripts/packages.sh scripts/fresh-debian.sh
echo "no finding"
# Where apt has no archive for the release, the mirror lookup fails and says so.
if said=$(debian_mirror no-such-release 2>&1) ||
  [ "$said" != "apt has no Debian archive for no-such-release in this machine's sources" ]; then
  echo "FAIL: the mirror lookup without an archive said: $said"
  exit 1
fi

echo "== the release, built twice"
scripts/release.sh build-release dist
# The second time in another folder, and from a cache of its own: the library's source fetched
# and the library built from nothing, so that every run also proves the cold build, and that it
# gives the same bytes as the cached one.
again=$(mktemp -d /tmp/soundpath-rebuild-XXXXXX)
if ! SOUNDPATH_CACHE="$again/cache" scripts/release.sh "$again/build" "$again/dist" \
  >"$again/log" 2>&1; then
  tail -30 "$again/log"
  echo "FAIL: the release could not be built again from nothing"
  exit 1
fi
if ! cmp -s dist/SHA256SUMS "$again/dist/SHA256SUMS"; then
  echo "FAIL: a rebuild in another folder gave other bytes:"
  diff dist/SHA256SUMS "$again/dist/SHA256SUMS" || true
  exit 1
fi
rm -rf "$again"
echo "rebuilt in another folder, from an empty cache: the same bytes"
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
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOUNDPATH_SANITIZE=ON \
  -DBUILD_TESTING=ON >/dev/null
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
