#!/usr/bin/env bash
# Installs what is missing, builds soundpath and its tests, and runs every test:
#   0. ShellCheck over every script;
#   1. the builds: the release (scripts/release.sh into dist/: the Debian packages for amd64 and
#      arm64, the Windows zip and installer; the library for Windows and the arm64 root are
#      cached), the tests' build (build/), the same built with AddressSanitizer and
#      UndefinedBehaviorSanitizer (build-asan/), and the fuzz targets (build-fuzz/, with
#      clang's libFuzzer);
#   2. every test in one ctest run: the unit, end-to-end, package and memcheck tests of build/,
#      with the release's packages, executable and installer checked, the end-to-end scenarios
#      that apply to the Windows program run again under Wine, and those that prove the most run
#      again by the arm64 package's program under qemu-user; the unit and end-to-end tests of
#      build-asan/; a short run of each fuzz target; and a short run of the benchmark, so that
#      it cannot break unseen; and the release built a second time in another folder from an
#      empty cache, at the lowest priority, which must give the same bytes.
# The end-to-end tests start their own X server and sound server, and need no sound card; most
# of their time is spent waiting on sound in real time, so several run at once, and what only
# computes runs beside them at the lowest priority. At the end it prints how long each stage
# took.
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc)
# End-to-end cases at once: each waits on real-time sound far more than it computes.
slots=$((jobs + 1))

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
  scripts/build-arm64.sh scripts/lib.sh scripts/fresh-debian.sh
echo "no finding"
# Where apt has no archive for the release, the mirror lookup fails and says so.
if said=$(debian_mirror no-such-release 2>&1) ||
  [ "$said" != "apt has no Debian archive for no-such-release in this machine's sources" ]; then
  echo "FAIL: the mirror lookup without an archive said: $said"
  exit 1
fi

stage "the builds"
scripts/release.sh build-release dist
listed=$(release_files "$PWD/dist")
mapfile -t shipped <<<"$listed" # the package, the installer, the zip, the arm64 package
release=$PWD/build-release/unpacked
rm -rf "$release" && mkdir -p "$release"
(cd "$release" && cmake -E tar xf "${shipped[2]}") # the tests run what ships
wineprefix=$(scripts/wineprefix.sh)
scripts/setup.sh test -DSOUNDPATH_TEST_SLOTS="$slots" \
  -DSOUNDPATH_WINDOWS_DIR="$release/soundpath" \
  -DSOUNDPATH_WINDOWS_EXE="$PWD/build-release/windows/exe/soundpath.exe" \
  -DSOUNDPATH_WINDOWS_BUILD="$PWD/build-release/windows" \
  -DSOUNDPATH_WINDOWS_INSTALLER="${shipped[1]}" -DSOUNDPATH_DEB="${shipped[0]}" \
  -DSOUNDPATH_WINEPREFIX="$wineprefix" -DSOUNDPATH_ARM64_DEB="${shipped[3]}" \
  -DSOUNDPATH_RELEASE_DIST="$PWD/dist"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOUNDPATH_SANITIZE=ON \
  -DBUILD_TESTING=ON -DSOUNDPATH_TEST_SLOTS="$slots" >/dev/null
cmake --build build-asan -j "$jobs" # all of it: a case installs the build
# The fuzz targets need the file checks and the library's readers, not the program.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSOUNDPATH_FUZZ=ON -DBUILD_TESTING=ON >/dev/null
cmake --build build-fuzz -j "$jobs" --target fuzz_bmp fuzz_wav fuzz_seeds

stage "every test"
# One ctest run over the three builds' tests, sharing one set of slots: the cases that want
# the machine to themselves then have it, whichever build they are of. The fifty runs take no
# slot (-j counts them). The slots are those that each build's own test file names.
mkdir -p build-all
printf 'subdirs("%s")\n' "$PWD/build" "$PWD/build-asan" "$PWD/build-fuzz" \
  >build-all/CTestTestfile.cmake
export UBSAN_OPTIONS=print_stacktrace=1
ctest --test-dir build-all --output-on-failure -j $((slots + 1))
