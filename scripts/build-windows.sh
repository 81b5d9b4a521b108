#!/usr/bin/env bash
# Builds the Windows release of soundpath with Debian's MinGW-w64: the Allegro 4.4 library from
# the source that this machine's Debian release carries, with the patches in
# windows/allegro-patches/ (built once, then kept in a cache outside the work tree),
# soundpath.exe, a zip holding the program, its two data files and a README.txt, and an
# installer of the same files. Both are the same bytes on every rebuild of the same commit: every
# time in them is SOURCE_DATE_EPOCH (by default the last commit's time). They are written to
# BUILD_DIR/dist/, which holds nothing else; any step that fails ends the script with a message.
#   scripts/build-windows.sh [BUILD_DIR]     (default: build-windows)
set -euo pipefail
out=$(realpath -m "${1:-build-windows}")
cd "$(dirname "$0")/.."
top=$PWD
source scripts/lib.sh
fail_as=build-windows
ensure_packages "${windows_packages[@]}"

jobs=${SOUNDPATH_JOBS:-$(nproc)} # compile jobs at once
cache=$(soundpath_cache)
mkdir -p "$cache"
release_time
codename=$(release_codename) || fail "this machine's Debian release is not known"

# ---- the library's source, through apt, without touching the machine's own apt set-up --------
# The version that this machine's release carries, from the archive its apt uses. Only the
# upstream tarball is used: it is fetched alone (a mirror may lack Debian's packaging files of
# the package, even its .dsc), and apt checks it against the hash in the release's signed source
# index, the same hash the .dsc carries.
src_dir=$cache/source
shopt -s nullglob
tarballs=("$src_dir"/allegro4.4_*.orig.tar.gz)
if [ ${#tarballs[@]} -eq 0 ]; then
  apt_dir=$cache/apt
  rm -rf "$src_dir" "$apt_dir" && mkdir -p "$apt_dir/sources" "$apt_dir/lists/partial" "$src_dir"
  mirror=$(debian_mirror "$codename")
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
  apt-get "${apt_opts[@]}" update -qq >"$apt_dir/update.log" 2>&1 ||
    { cat "$apt_dir/update.log" >&2; fail "apt could not read the source index of $mirror"; }
  # Lines of 'URI' NAME SIZE SHA256:HASH, one for each file of the source package.
  uris=$(apt-get "${apt_opts[@]}" source --print-uris -qq allegro4.4 2>&1) ||
    { echo "$uris" >&2; fail "apt knows no source package allegro4.4 in $codename"; }
  orig=$(awk '$2 ~ /\.orig\.tar\.gz$/ { gsub("\047", "", $1); print $1, $2, $4 }' <<<"$uris")
  read -r uri name hash <<<"$orig" || true # checked below
  [[ $hash == SHA256:* ]] || { echo "$uris" >&2; fail "no upstream tarball with a SHA-256 in the source index"; }
  /usr/lib/apt/apt-helper "${apt_opts[@]}" download-file "$uri" "$src_dir/$name.part" "$hash" \
    >"$apt_dir/download.log" 2>&1 ||
    { cat "$apt_dir/download.log" >&2; fail "the library's source did not arrive intact"; }
  mv "$src_dir/$name.part" "$src_dir/$name"
  tarballs=("$src_dir/$name")
fi
tarball=${tarballs[0]}
version=${tarball##*/allegro4.4_}
version=${version%.orig.tar.gz}

# ---- the library, built once per version, patches and toolchain --------------------------------
# Every address the library keeps in an integer must survive 64-bit Windows, where `long` is 32
# bits (windows/allegro-patches/02-*): a cast that would cut one short fails the build.
lib_flags=(-DSHARED=OFF -DWANT_EXAMPLES=OFF -DWANT_TOOLS=OFF -DWANT_TESTS=OFF -DWANT_DOCS=OFF -DWANT_ALLEGROGL=OFF -DWANT_LOADPNG=OFF -DWANT_LOGG=OFF -DWANT_JPGALLEG=OFF)
lib_cflags="-Werror=pointer-to-int-cast -Werror=int-to-pointer-cast"
# The cache's name: the source, the patches, the toolchain and these flags.
key=$( (sha256sum "$tarball" | cut -c1-64; cat windows/allegro-patches/*.patch cmake/mingw-w64.cmake;
  printf '%s\n' "${lib_flags[@]}" "$lib_cflags") | sha256sum | cut -c1-16)
lib=$cache/allegro-$version-mingw64-$key
if [ ! -f "$lib/lib/liballeg.a" ]; then
  started=$SECONDS
  work=$(mktemp -d)
  mkdir "$work/src"
  tar xzf "$tarball" -C "$work/src" --strip-components=1
  for p in windows/allegro-patches/*.patch; do
    patch -d "$work/src" -p1 --quiet <"$p" || fail "the library's source $version does not take $p"
  done
  cmake -S "$work/src" -B "$work/build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" -DCMAKE_INSTALL_PREFIX="$lib.part" \
    "${lib_flags[@]}" "-DCMAKE_C_FLAGS=$lib_cflags -ffile-prefix-map=$work=." \
    >"$work/configure.log" 2>&1 || { tail -30 "$work/configure.log"; fail "the library's configuration failed"; }
  # (and no path of the build folder in the library)
  cmake --build "$work/build" -j "$jobs" >"$work/build.log" 2>&1 ||
    { tail -30 "$work/build.log"; fail "the library's build failed"; }
  rm -rf "$lib.part"
  cmake --install "$work/build" >/dev/null
  mv "$lib.part" "$lib"
  rm -rf "$work"
  echo "library built in $((SECONDS - started)) s: $lib"
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
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/exe/CMakeCache.txt")
[ -n "$version" ] || fail "CMake gave no project version"
stage=$out/soundpath
rm -rf "$stage" && mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/soundpath.exe" "$out/exe/soundpath.exe"
cp "$out/exe/crosshair.bmp" "$out/exe/sound.wav" "$stage/"
sed 's/$/\r/' windows/README.txt >"$stage/README.txt"
touch -d "@$SOURCE_DATE_EPOCH" "$stage" "$stage"/*
files=(soundpath/README.txt soundpath/crosshair.bmp soundpath/sound.wav soundpath/soundpath.exe)

dist=$out/dist
rm -rf "$dist" && mkdir -p "$dist"
size_kb=$(du -sk "$stage")
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" -DICON="$out/exe/soundpath.ico" \
  -DOUTFILE="$dist/soundpath-$version-windows-x64-setup.exe" -DSIZE_KB="${size_kb%%[[:space:]]*}" \
  windows/soundpath.nsi >/dev/null

# Info-ZIP, in UTC, without its extra fields (owner, extended times): the same bytes anywhere.
(cd "$out" && TZ=UTC0 zip -q -X -D "$dist/soundpath-$version-windows-x64.zip" "${files[@]}")
echo "the Windows release: $dist"
