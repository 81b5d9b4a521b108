#!/usr/bin/env bash
# Sourced by the set-up and build scripts.
# ensure_packages NAME...: installs the Debian packages among NAME... that are missing, with
# sudo when not root.
ensure_packages() {
  local missing=() p sudo=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "Installing: ${missing[*]}"
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" </dev/null
}

# release_time: exports SOURCE_DATE_EPOCH, the time every file of a release carries: as given,
# or else the last commit's time, so that a rebuild of the same commit gives the same bytes.
release_time() {
  if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) ||
      { echo "not a git checkout: set SOURCE_DATE_EPOCH to the release's time" >&2; return 1; }
  fi
  export SOURCE_DATE_EPOCH
}
