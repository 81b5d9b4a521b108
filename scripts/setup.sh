#!/usr/bin/env bash
# Installs the Debian packages that soundpath needs and that are missing, then configures and
# builds it in build/. Used by ../run.sh and ../test.sh; "test" adds what the tests need, and
# any further arguments go to CMake.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

packages=(cmake g++ make pkg-config liballegro4-dev libx11-dev zlib1g-dev)
testing=OFF
if [ "${1:-}" = test ]; then
  shift
  testing=ON
  # The benchmark's short run is a test too: it drives the window with xdotool and plays
  # through PipeWire beside PulseAudio.
  packages+=(libgtest-dev xvfb libxtst-dev libxfixes-dev
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 pulseaudio pulseaudio-utils libasound2-plugins
    wine wine64 libgl1-mesa-dri openbox icoutils lintian desktop-file-utils appstream dpkg-dev
    valgrind clang libclang-rt-dev xdotool x11-utils pipewire pipewire-bin wireplumber
    dbus-daemon)
fi

ensure_packages "${packages[@]}"

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=$testing "$@" >/dev/null
cmake --build build -j "$(nproc)"
