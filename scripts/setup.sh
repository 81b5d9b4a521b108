#!/usr/bin/env bash
# Installs the Debian packages that soundpath needs and that are missing, then configures and
# builds it in build/. Used by ../run.sh and ../test.sh; "test" adds what the tests need.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ make pkg-config liballegro4-dev)
testing=OFF
if [ "${1:-}" = test ]; then
  testing=ON
  packages+=(libgtest-dev xvfb libx11-dev libxtst-dev libxfixes-dev
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 valgrind clang libclang-rt-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" </dev/null
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=$testing >/dev/null
cmake --build build -j "$(nproc)"
