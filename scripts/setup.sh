#!/usr/bin/env bash
# Installs the Debian packages that soundpath needs and that are missing, then configures and
# builds it in build/. Used by ../run.sh and ../test.sh; "test" adds what the tests need, and
# any further arguments go to CMake.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

packages=("${build_packages[@]}")
testing=OFF
if [ "${1:-}" = test ]; then
  shift
  testing=ON
  packages+=("${test_packages[@]}")
fi

ensure_packages "${packages[@]}"

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=$testing "$@" >/dev/null
cmake --build build -j "$(nproc)"
