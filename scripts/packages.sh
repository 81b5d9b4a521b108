#!/usr/bin/env bash
# Sourced by the set-up and build scripts.
# ensure_packages NAME...: installs the Debian packages among NAME... that are missing, with
# sudo when not root. What apt says goes to stderr, so that no caller can mistake it for a result.
ensure_packages() {
  local missing=() p status sudo=""
  for p in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null) || true # not known: not installed
    [[ $status == *"ok installed" ]] || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "Installing: ${missing[*]}" >&2
  [ "$EUID" -eq 0 ] || sudo="sudo"
  {
    $sudo apt-get update -qq &&
      DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" </dev/null
  } >&2 || { echo "could not install: ${missing[*]}" >&2; return 1; }
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

# debian_mirror CODENAME: prints the Debian archive that this machine's apt takes CODENAME's
# packages from (its mirror or proxy), as apt itself reports it, whatever the layout of its
# sources (one-line, deb822 or both). Debian's own archive first, where apt has read its
# Release files; else any entry for that suite. Fails, saying so, where apt has none.
debian_mirror() {
  # shellcheck disable=SC2016 # apt's own field syntax, for apt to expand
  local site field='$(SITE)'
  site=$(apt-get indextargets --format "$field" "Release: $1" "Origin: Debian")
  [ -n "$site" ] || site=$(apt-get indextargets --format "$field" "Release: $1")
  [ -n "$site" ] || { echo "apt has no Debian archive for $1 in this machine's sources" >&2; return 1; }
  echo "${site%%$'\n'*}"
}

# soundpath_cache: prints the folder, outside the work tree, that keeps what does not change
# from one run to the next (the library's source and build for Windows, the Wine prefix).
soundpath_cache() {
  echo "${SOUNDPATH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/soundpath}"
}

# pipewire_alsa_plugin: prints the path of PipeWire's ALSA plugin, unpacked from Debian's
# package of the installed PipeWire's version into the cache: installing that package would
# remove PulseAudio, which the tests need beside it.
pipewire_alsa_plugin() {
  local version dir
  version=$(dpkg-query -W -f='${Version}' pipewire) || { echo "PipeWire is not installed" >&2; return 1; }
  dir=$(soundpath_cache)/pipewire-alsa-$version
  if [ ! -f "$dir/unpacked" ]; then
    rm -rf "$dir" && mkdir -p "$dir"
    (cd "$dir" && { apt-get download -q "pipewire-alsa=$version" ||
      { apt-get update -qq && apt-get download -q "pipewire-alsa=$version"; }; }) >&2 ||
      { echo "apt could not fetch pipewire-alsa $version" >&2; return 1; }
    dpkg -x "$dir"/pipewire-alsa_*.deb "$dir/root" && touch "$dir/unpacked"
  fi
  find "$dir/root" -name libasound_module_pcm_pipewire.so -print -quit
}
