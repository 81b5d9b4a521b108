#!/usr/bin/env bash
# Makes the Wine prefix that the tests and the benchmark run the Windows program in, once per
# Wine version, and prints its path. It takes seconds to make and hundreds of megabytes, so it is
# kept outside the work tree.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
ensure_packages wine wine64 >&2
cache=$(soundpath_cache)
mkdir -p "$cache"
prefix=$cache/wine-$(dpkg-query -W -f='${Version}' wine)
if [ ! -f "$prefix/system.reg" ]; then
  rm -rf "$prefix"
  (export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    DISPLAY='' wineboot -i && wineserver -w) >/dev/null 2>&1 || true
  [ -f "$prefix/system.reg" ] || { echo "could not make a Wine prefix" >&2; exit 1; }
fi
echo "$prefix"
