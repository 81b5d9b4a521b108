#!/usr/bin/env bash
# Builds the Debian package with CPack and checks it: it depends on the library's runtime
# package, holds the program, its two data files, its icon and a desktop entry that starts it
# in the data directory, and its program finds every library it links against.
#   check_deb.sh BUILD_DIR WORK_DIR
set -euo pipefail
build=$1
work=$2
rm -rf "$work" && mkdir -p "$work"
(cd "$build" && cpack -G DEB -B "$work/pkg" >/dev/null)
deb=$(ls "$work"/pkg/*.deb)
echo "package: $(basename "$deb")"

fail() { echo "FAIL: $*"; exit 1; }
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'liballegro4\.4' <<<"$depends" || fail "Depends lacks liballegro4.4: $depends"
echo "depends: $depends"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/soundpath ./usr/share/soundpath/crosshair.bmp ./usr/share/soundpath/sound.wav \
  ./usr/share/pixmaps/soundpath.xpm ./usr/share/applications/soundpath.desktop; do
  grep -qx "$f" <<<"$contents" || fail "missing $f"
  echo "contains: $f"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
entry="$root/usr/share/applications/soundpath.desktop"
grep -qx 'Exec=/usr/bin/soundpath' "$entry" || fail "desktop entry Exec: $(grep Exec= "$entry")"
grep -qx 'Path=/usr/share/soundpath' "$entry" || fail "desktop entry Path: $(grep Path= "$entry")"
grep -qx 'Icon=soundpath' "$entry" || fail "desktop entry Icon"
cmp -s "$root/usr/share/soundpath/sound.wav" "$build/sound.wav" || fail "sound.wav differs"
cmp -s "$root/usr/share/soundpath/crosshair.bmp" "$build/crosshair.bmp" || fail "crosshair.bmp differs"
if ldd "$root/usr/bin/soundpath" | grep -q 'not found'; then fail "unresolved libraries"; fi
echo "desktop entry starts /usr/bin/soundpath in /usr/share/soundpath; all libraries resolve"
