#!/usr/bin/env bash
# Builds the Windows release of soundpath with Debian's MinGW-w64: the Allegro 4.4 library from
# Debian's own source package with the patches in windows/allegro-patches/ (built once, then
# kept in a cache outside the work tree), soundpath.exe, a zip holding the program, its two data
# files and a README.txt, and an installer of the same files. Both are the same bytes on every
# rebuild of the same commit: every time in them is SOURCE_DATE_EPOCH (by default the last
# commit's time). The zip's path is the last line printed, the installer's the one before.
#   scripts/build-windows.sh [BUILD_DIR]     (default: build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
source scripts/packages.sh
ensure_packages cmake make g++ pkg-config liballegro4-dev g++-mingw-w64-x86-64 \
  gcc-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev dpkg-dev ca-certificates \
  nsis zip

out=$(realpath -m "${1:-build-windows}")
jobs=$(nproc)
cache=${SOUNDPATH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/soundpath}
version=4.4.3.1
mkdir -p "$cache"
release_time
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")

# The Debian archive that this machine's apt uses (its mirror or proxy), from its own sources:
# one-line entries ("deb URI SUITE ...") or deb822 ones (URIs:/Suites:), the first that serves
# the release itself rather than its security or update suites.
debian_mirror() {
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources \
    2>/dev/null | awk -v suite="$codename" '
    /^[ \t]*#/ { next }
    /^[ \t]*deb[ \t]/ {
      line = $0; sub(/\[[^]]*\]/, "", line); split(line, f)
      if (f[3] == suite) { print f[2]; exit }
    }
    /^[ \t]*$/ { uris = ""; suites = ""; next }
    /^URIs:/ { uris = $2 }
    /^Suites:/ { for (j = 2; j <= NF; j++) if ($j == suite) suites = suite }
    uris != "" && suites != "" { print uris; exit }'
}

# ---- the library's source, through apt, without touching the machine's own apt set-up --------
src_dir=$cache/source
tarball=$src_dir/allegro4.4_$version.orig.tar.gz
if [ ! -f "$tarball" ]; then
  apt_dir=$cache/apt
  mkdir -p "$apt_dir/sources" "$apt_dir/lists/partial" "$src_dir"
  mirror=$(debian_mirror)
  [ -n "$mirror" ] || { echo "no Debian archive in this machine's apt sources to fetch the library's source from"; exit 1; }
  cat >"$apt_dir/sources/debian-src.sources" <<SRC
Types: deb-src
URIs: $mirror
Suites: $codename
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  apt_opts=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt_dir/sources"
    -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
    -o APT::Sandbox::User=root)
  apt-get "${apt_opts[@]}" update -qq
  # Only the upstream tarball is used; Debian's own packaging files are not needed, so a failure
  # to fetch them is not fatal as long as the tarball arrived and matches the signed .dsc.
  (cd "$src_dir" && apt-get "${apt_opts[@]}" source --download-only -qq "allegro4.4=2:$version-3" \
    >/dev/null 2>&1) || true
  want=$(grep -A3 '^Checksums-Sha256:' "$src_dir"/allegro4.4_*.dsc | grep "orig.tar.gz" | awk '{print $1}')
  got=$(sha256sum "$tarball" 2>/dev/null | awk '{print $1}')
  [ -n "$want" ] && [ "$want" = "$got" ] || { echo "the library's source did not arrive intact"; exit 1; }
fi

# ---- the library, built once per version, patches and toolchain --------------------------------
key=$( (sha256sum "$tarball" | cut -c1-64; cat windows/allegro-patches/*.patch cmake/mingw-w64.cmake;
  sed -n '/^lib_flags=/p;/^lib_cflags=/p' "$0") | sha256sum | cut -c1-16)
# Every address the library keeps in an integer must survive 64-bit Windows, where `long` is 32
# bits (windows/allegro-patches/02-*): a cast that would cut one short fails the build.
lib_flags=(-DSHARED=OFF -DWANT_EXAMPLES=OFF -DWANT_TOOLS=OFF -DWANT_TESTS=OFF -DWANT_DOCS=OFF -DWANT_ALLEGROGL=OFF -DWANT_LOADPNG=OFF -DWANT_LOGG=OFF -DWANT_JPGALLEG=OFF)
lib_cflags="-Werror=pointer-to-int-cast -Werror=int-to-pointer-cast"
lib=$cache/allegro-$version-mingw64-$key
if [ ! -f "$lib/lib/liballeg.a" ]; then
  started=$(date +%s)
  work=$(mktemp -d)
  tar xzf "$tarball" -C "$work"
  for p in windows/allegro-patches/*.patch; do
    patch -d "$work/allegro-$version" -p1 --quiet <"$p"
  done
  cmake -S "$work/allegro-$version" -B "$work/build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" -DCMAKE_INSTALL_PREFIX="$lib.part" \
    "${lib_flags[@]}" "-DCMAKE_C_FLAGS=$lib_cflags -ffile-prefix-map=$work=." \
    >"$work/configure.log"  # and no path of the build folder in the library
  cmake --build "$work/build" -j "$jobs" >"$work/build.log" 2>&1 || { tail -30 "$work/build.log"; exit 1; }
  rm -rf "$lib.part" && cmake --install "$work/build" >/dev/null && mv "$lib.part" "$lib"
  rm -rf "$work"
  echo "library built in $(($(date +%s) - started)) s: $lib"
else
  echo "library from the cache: $lib"
fi

# ---- the generators, for this machine ----------------------------------------------------------
cmake -S . -B "$out/host" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$out/host" -j "$jobs" --target makedata makeicon >/dev/null

# ---- soundpath.exe -----------------------------------------------------------------------------
cmake -S . -B "$out/exe" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" -DALLEGRO_WINDOWS_DIR="$lib" \
  -DSOUNDPATH_HOST_TOOLS="$out/host" >/dev/null
cmake --build "$out/exe" -j "$jobs" >/dev/null

# ---- the zip and the installer, every file dated SOURCE_DATE_EPOCH ---------------------------
version=$(sed -n 's/^project(soundpath VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
stage=$out/soundpath
rm -rf "$stage" && mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/soundpath.exe" "$out/exe/soundpath.exe"
cp "$out/exe/crosshair.bmp" "$out/exe/sound.wav" "$stage/"
sed 's/$/\r/' windows/README.txt >"$stage/README.txt"
touch -d "@$SOURCE_DATE_EPOCH" "$stage" "$stage"/*
files=(soundpath/README.txt soundpath/crosshair.bmp soundpath/sound.wav soundpath/soundpath.exe)

installer=$out/soundpath-$version-windows-x64-setup.exe
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" -DICON="$out/exe/soundpath.ico" \
  -DOUTFILE="$installer" -DSIZE_KB="$(du -sk "$stage" | cut -f1)" windows/soundpath.nsi >/dev/null

# Info-ZIP, in UTC, without its extra fields (owner, extended times): the same bytes anywhere.
zip=$out/soundpath-$version-windows-x64.zip
rm -f "$zip"
(cd "$out" && TZ=UTC0 zip -q -X -D "$zip" "${files[@]}")
echo "$installer"
echo "$zip"
