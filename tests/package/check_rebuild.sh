#!/usr/bin/env bash
# Builds the release again in a folder of its own and from an empty cache (the library for
# Windows from its source, fetched again; the arm64 root unpacked again), at the lowest
# priority, and checks that it gives the same bytes as the release in DIST.
#   check_rebuild.sh DIST
set -euo pipefail
dist=$(realpath "$1")
cd "$(dirname "$0")/../.."
again=$(mktemp -d /tmp/soundpath-rebuild-XXXXXX)
trap 'rm -rf "$again"' EXIT
# One core is left to the cases that run beside it: a virtual machine whose every core computes
# flat out has one of them stopped for 100 ms at a time, which they would hear.
cores=$(nproc)
if ! SOUNDPATH_CACHE="$again/cache" SOUNDPATH_JOBS=$((cores > 1 ? cores - 1 : 1)) \
  nice -n 19 scripts/release.sh "$again/build" "$again/dist" \
  >"$again/log" 2>&1; then
  tail -30 "$again/log"
  echo "FAIL: the release could not be built again from nothing"
  exit 1
fi
if ! cmp -s "$dist/SHA256SUMS" "$again/dist/SHA256SUMS"; then
  echo "FAIL: a rebuild in another folder gave other bytes:"
  diff "$dist/SHA256SUMS" "$again/dist/SHA256SUMS" || true
  exit 1
fi
echo "rebuilt in another folder, from an empty cache: the same bytes"
cat "$again/dist/SHA256SUMS"
