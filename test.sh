#!/usr/bin/env bash
# Installs what is missing, builds soundpath and its tests, and runs every test:
#   0. ShellCheck over every script;
#   1. the release (scripts/release.sh into dist/): the Debian package, the Windows zip and
#      installer (the library for Windows is cached), built a second time in another folder
#      from an empty cache, which must give the same bytes;
#   2. the normal build with its tests (build/);
#   3. a short run of the benchmark, so that it cannot break unseen, while the build with
#      AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/) and the fuzz targets
#      (build-fuzz/, with clang's libFuzzer) are built beside it, at the lowest priority, and each
#      fuzz target runs briefly;
#   4. in one ctest run, the unit, end-to-end, package and memcheck tests of the normal build,
#      with the release's package, executable and installer checked and the end-to-end scenarios
#      that apply to the Windows program run again under Wine, and the unit and end-to-end tests
#      of the sanitized build.
# The end-to-end tests start their own X server and sound server, and need no sound card; most
# of their time is spent waiting on sound in real time, so several run at once, the sanitized
# build's beside the normal build's. At the end it prints how long each stage took.
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc)
# Cases at once: the end-to-end cases wait on real-time sound far more than they compute, and
# ctest's resource slots (tests/CMakeLists.txt) say how many may; the fifty runs take no slot.
e2e_jobs=$((jobs + 2))

source scripts/lib.sh
stages=()
stage_start=$SECONDS
stage() {
  [ ${#stages[@]} -eq 0 ] || stages[-1]+=" $((SECONDS - stage_start))"
  stage_start=$SECONDS
  [ $# -eq 0 ] || { stages+=("$1"); echo "== $1"; }
}
report() {
  stage
  local s
  echo "== time of each stage (s)"
  for s in "${stages[@]}"; do printf '%6s  %s\n' "${s##* }" "${s% *}"; done
  printf '%6s  %s\n' "$SECONDS" "in all"
}
trap report EXIT

ensure_packages shellcheck
stage "the scripts, by ShellCheck"
mapfile -t scripts < <(git ls-files '*.sh' .ci/run)
shellcheck -x "${scripts[@]}"
# Those that build the release also may not let a failing command pass unseen.
shellcheck -x --enable=check-extra-masked-returns scripts/release.sh scripts/build-windows.sh \
  scripts/lib.sh scripts/fresh-debian.sh
echo "no finding"
# Where apt has no archive for the release, the mirror lookup fails and says so.
if said=$(debian_mirror no-such-release 2>&1) ||
  [ "$said" != "apt has no Debian archive for no-such-release in this machine's sources" ]; then
  echo "FAIL: the mirror lookup without an archive said: $said"
  exit 1
fi

stage "the release, built twice"
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
listed=$(release_files "$PWD/dist")
mapfile -t shipped <<<"$listed" # the package, the installer, the zip
release=$PWD/build-release/unpacked
rm -rf "$release" && mkdir -p "$release"
(cd "$release" && cmake -E tar xf "${shipped[2]}") # the tests run what ships
wineprefix=$(scripts/wineprefix.sh)

stage "the build with its tests"
scripts/setup.sh test -DSOUNDPATH_WINDOWS_DIR="$release/soundpath" \
  -DSOUNDPATH_WINDOWS_EXE="$PWD/build-release/windows/exe/soundpath.exe" \
  -DSOUNDPATH_WINDOWS_INSTALLER="${shipped[1]}" -DSOUNDPATH_DEB="${shipped[0]}" \
  -DSOUNDPATH_WINEPREFIX="$wineprefix"

stage "the benchmark, briefly, beside the sanitized and fuzz builds and the fuzz runs"
# The benchmark spends its time waiting on sound in real time; the builds and the fuzz runs take
# what it leaves of the processors, at the lowest priority, so that its measures still come.
mkdir -p build-all
(
  nice -n 19 cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOUNDPATH_SANITIZE=ON \
    -DBUILD_TESTING=ON >/dev/null
  nice -n 19 cmake --build build-asan -j "$jobs" >build-all/asan.log # all of it: a case installs it
  # They need the file checks and the library's readers, not the program.
  CC=clang CXX=clang++ nice -n 19 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSOUNDPATH_FUZZ=ON -DBUILD_TESTING=ON >/dev/null
  nice -n 19 cmake --build build-fuzz -j "$jobs" --target fuzz_bmp fuzz_wav fuzz_seeds \
    >build-all/fuzz.log
  nice -n 19 ctest --test-dir build-fuzz -L fuzz --output-on-failure -j "$jobs"
) >build-all/beside.log 2>&1 &
beside=$!
bench_status=0
BUILD_DIR=build WINDOWS_BUILD=build-release/windows bench/bench.sh --short || bench_status=$?
beside_status=0
wait "$beside" || beside_status=$?
cat build-all/beside.log
if [ "$beside_status" -ne 0 ]; then
  tail -30 build-all/asan.log build-all/fuzz.log 2>/dev/null || true
  fail "the sanitized or fuzz build, or a fuzz run, failed"
fi
[ "$bench_status" -eq 0 ] || fail "the benchmark failed"

stage "every test of the build, and the unit and end-to-end tests under the sanitizers"
# One ctest run over both builds, so that the sanitized build's cases share the slots.
printf 'subdirs("%s")\n' "$PWD/build" "$PWD/build-asan" >build-all/CTestTestfile.cmake
export UBSAN_OPTIONS=print_stacktrace=1
ctest --test-dir build-all --resource-spec-file build/tests/resources.json --output-on-failure \
  -j "$e2e_jobs"
