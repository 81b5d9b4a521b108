#!/usr/bin/env bash
# The helpers that the project's scripts share, each once; sourced by every script.

# ---- the packages each step needs ---------------------------------------------------------------
# To build and run the program; to build the Windows release; to run every test (the
# benchmark's short run among them: xdotool, PipeWire).
# shellcheck disable=SC2034 # used by the scripts that source this file
build_packages=(cmake g++ make pkg-config liballegro4-dev libx11-dev libasound2-dev zlib1g-dev libpng-dev
  icoutils)
# shellcheck disable=SC2034
windows_packages=(cmake make g++ pkg-config liballegro4-dev libasound2-dev g++-mingw-w64-x86-64
  gcc-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev dpkg-dev ca-certificates
  nsis zip debian-archive-keyring libpng-dev icoutils)
# shellcheck disable=SC2034
arm64_packages=(cmake make pkg-config g++-aarch64-linux-gnu mmdebstrap debian-archive-keyring
  dpkg-dev)
# shellcheck disable=SC2034
test_packages=(libgtest-dev xvfb libxtst-dev libxfixes-dev g++-mingw-w64-x86-64
  binutils-mingw-w64-x86-64 pulseaudio pulseaudio-utils libasound2-plugins wine wine64
  libgl1-mesa-dri openbox icoutils lintian desktop-file-utils appstream dpkg-dev valgrind clang
  libclang-rt-dev xdotool x11-utils pipewire pipewire-bin wireplumber dbus-daemon qemu-user
  mmdebstrap)

# release_files DIR...: prints the paths of a release's four files, found in the DIRs: the
# Debian package, the Windows installer, the Windows zip and the arm64 Debian package, in that
# order; fails unless there is exactly one of each.
release_files() {
  local files=() pattern dir found f
  for pattern in '*_amd64.deb' '*-windows-x64-setup.exe' '*-windows-x64.zip' '*_arm64.deb'; do
    found=()
    for dir in "$@"; do
      for f in "$dir"/$pattern; do [ ! -e "$f" ] || found+=("$f"); done
    done
    [ ${#found[@]} -eq 1 ] || { echo "expected one $pattern in $*, found ${#found[@]}" >&2; return 1; }
    files+=("${found[0]}")
  done
  printf '%s\n' "${files[@]}"
}

# fail MESSAGE...: says MESSAGE as the script's own ($fail_as, else its name) and ends it.
fail() {
  echo "${fail_as:-${0##*/}}: $*" >&2
  exit 1
}

# soundpath_cache: prints the folder, outside the work tree, that keeps what does not change
# from one run to the next (the library's source and build for Windows, the Wine prefix, the
# PipeWire plugin).
soundpath_cache() {
  echo "${SOUNDPATH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/soundpath}"
}

# release_codename: prints this machine's Debian release's codename (bookworm, trixie...).
release_codename() {
  local codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || { echo "/etc/os-release names no Debian release" >&2; return 1; }
  echo "$codename"
}

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


# arm64_root PACKAGE...: prints the path of an arm64 root that holds PACKAGE... and all that
# they depend on, as apt resolves them in Debian's arm64 archive for this machine's release. It
# is only unpacked, never run (nothing of arm64 runs here but under qemu-user), with /usr
# merged as on every Debian 12 and 13 system, and it is made once per release and list, then
# kept in the cache. Its DEBIAN/shlibs and DEBIAN/symbols join
# those of all its packages, so that dpkg-shlibdeps can name the packages of its libraries.
arm64_root() {
  local codename key root mirror deb include dir
  codename=$(release_codename) || return 1
  key=$(sha256sum <<<"$codename merged-usr $*")
  root=$(soundpath_cache)/arm64-root-${key:0:16}
  if [ ! -f "$root/DEBIAN/symbols" ]; then
    mirror=$(debian_mirror "$codename") || return 1
    include=$(IFS=, && echo "$*")
    rm -rf "$root" "$root.part" && mkdir -p "${root%/*}"
    # chrootless: as any user, and without running anything of the root
    mmdebstrap --quiet --mode=chrootless --variant=extract --arch=arm64 --include="$include" \
      --skip=cleanup/apt/cache "$codename" "$root.part" "$mirror" >&2 ||
      { echo "apt could not unpack an arm64 root of $include" >&2; return 1; }
    # 13's packages put their files under /usr alone and leave the links to it from /lib and
    # the others to the system's own set-up; the programs ask for /lib/ld-linux-aarch64.so.1.
    for dir in bin sbin lib; do
      [ -e "$root.part/$dir" ] || ln -s "usr/$dir" "$root.part/$dir"
    done
    mkdir "$root.part/DEBIAN" "$root.part/control"
    touch "$root.part/DEBIAN/shlibs"
    for deb in "$root.part"/var/cache/apt/archives/*.deb; do
      rm -rf "$root.part/control" && dpkg-deb -e "$deb" "$root.part/control" || return 1
      for f in shlibs symbols; do
        [ ! -f "$root.part/control/$f" ] || cat "$root.part/control/$f" >>"$root.part/DEBIAN/$f"
      done
    done
    rm -rf "$root.part/control" "$root.part"/var/cache/apt/archives/*.deb
    touch "$root.part/DEBIAN/symbols" && mv "$root.part" "$root"
  fi
  echo "$root"
}

# arm64_resolves CODENAME DEPENDS: whether apt, given Debian's arm64 archive for the release
# CODENAME (at the site that this machine's apt uses) and nothing installed, satisfies the
# relations DEPENDS, versions and all; it says what it would install. Its own apt set-up leaves
# the machine's alone.
arm64_resolves() {
  local dir codename mirror opts
  dir=$(soundpath_cache)/apt-arm64-$1
  codename=$(release_codename) && mirror=$(debian_mirror "$codename") || return 1
  mkdir -p "$dir/sources" "$dir/lists/partial" "$dir/cache" && touch "$dir/status"
  cat >"$dir/sources/debian.sources" <<SRC
Types: deb
URIs: $mirror
Suites: $1
Components: main
Architectures: arm64
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  opts=(-o APT::Architecture=arm64 -o APT::Architectures=arm64 -o "Dir::State::status=$dir/status"
    -o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$dir/sources"
    -o "Dir::State::Lists=$dir/lists" -o "Dir::Cache=$dir/cache" -o Dir::Etc::Preferences=/dev/null
    -o Dir::Etc::PreferencesParts=/dev/null -o APT::Sandbox::User="$(id -un)")
  apt-get "${opts[@]}" update -qq >&2 && apt-get "${opts[@]}" -s satisfy "$2"
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

# ---- an X server and a window on it ------------------------------------------------------------
# start_xvfb: a private X server of 1024x768 on a free display, in the background; exports
# DISPLAY and sets xvfb_pid. It does not reset when its last client leaves, as a bare X server
# does, turning away whatever connects during the reset; a desktop's server never gets there.
start_xvfb() {
  local number
  # shellcheck disable=SC2312 # it says that it started by naming its display
  exec {xvfb_fd}< <(exec Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp -noreset \
    2>/dev/null)
  # shellcheck disable=SC2034 # for the caller, to end it
  xvfb_pid=$!
  read -r -u "$xvfb_fd" number
  export DISPLAY=":$number"
}

# window_shown: whether the program's 800x600 window is mapped on $DISPLAY.
window_shown() {
  local tree
  tree=$(xwininfo -root -children 2>/dev/null) && [[ $tree == *' 800x600+'* ]]
}

# wait_for_window [SECONDS [PID]]: until the window is shown, at most SECONDS (default 30), and
# only while PID, when given, runs; fails if it is not shown.
wait_for_window() {
  local deadline=$((SECONDS + ${1:-30}))
  until window_shown; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    [ -z "${2:-}" ] || kill -0 "$2" 2>/dev/null || return 1
    sleep 0.005
  done
}

# ---- sound servers -------------------------------------------------------------------------------
# start_pulse DIR: a PulseAudio server whose only sink is a null sink, reachable only through
# DIR/native, in the background; exports PULSE_SERVER for it.
start_pulse() {
  mkdir -p "$1"
  run_pulse "$1" >/dev/null 2>&1 &
  echo $! >"$1/pids"
  until [ -S "$1/native" ]; do sleep 0.05; done
  export PULSE_SERVER="unix:$1/native"
}

# run_pulse DIR: that server, in the foreground (this shell becomes it).
run_pulse() {
  XDG_RUNTIME_DIR="$1" HOME="$1" exec pulseaudio -n --daemonize=no --exit-idle-time=-1 \
    --use-pid-file=no --disable-shm -L "module-null-sink sink_name=capture rate=44100 channels=2" \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$1/native"
}

# start_pipewire DIR: PipeWire with its session manager on a session bus of their own, as a
# desktop session has them, and a null sink; exports XDG_RUNTIME_DIR (where its socket is) and
# the bus's address.
start_pipewire() {
  mkdir -p "$1/run" && chmod 700 "$1/run"
  export XDG_RUNTIME_DIR="$1/run" DBUS_SESSION_BUS_ADDRESS="unix:path=$1/run/bus"
  dbus-daemon --session --address="$DBUS_SESSION_BUS_ADDRESS" --nofork --nopidfile \
    >/dev/null 2>&1 &
  echo $! >"$1/pids"
  until [ -S "$1/run/bus" ]; do sleep 0.05; done
  pipewire >"$1/pipewire.log" 2>&1 &
  echo $! >>"$1/pids"
  until [ -S "$1/run/pipewire-0" ]; do sleep 0.05; done
  wireplumber >"$1/wireplumber.log" 2>&1 &
  echo $! >>"$1/pids"
  pw-cli create-node adapter '{ factory.name=support.null-audio-sink node.name=capture
    node.description=capture media.class=Audio/Sink object.linger=true audio.position=[FL FR]
    audio.rate=44100 }' >/dev/null
  # The session manager makes it the default sink, where a program's own stream goes (wpctl
  # names a sink by its description).
  local said="" deadline=$((SECONDS + 20))
  until [[ $said == *'*'*capture* ]]; do
    [ "$SECONDS" -lt "$deadline" ] || { echo "PipeWire made no default sink" >&2; return 1; }
    sleep 0.05
    said=$(wpctl status 2>/dev/null) || said=""
  done
}

stop_server() {
  local pids
  mapfile -t pids <"$1/pids"
  kill "${pids[@]}" 2>/dev/null || true
}
