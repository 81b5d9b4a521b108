#!/usr/bin/env bash
# Checks a Debian package as Debian would (a released one, or one CPack builds from BUILD_DIR
# when none is given): lintian reports nothing,
# the desktop entry and the AppStream metadata validate, the dependencies were computed from what
# the program links, and the package holds the program, its data files, icons, manual page,
# licence and changelog, and no maintainer script. Then it installs the package with apt and
# starts the installed program from its desktop entry (the end-to-end test
# Desktop.TheInstalledEntry...). The arm64 package is installed, with what it depends on as apt
# resolves that in Debian's arm64 archive, in an arm64 root, whose program runs the end-to-end
# cases that prove the most under qemu-user.
#   check_deb.sh BUILD_DIR WORK_DIR E2E_TESTS [DEB]
set -euo pipefail
build=$1
work=$2
e2e_tests=$3
deb=${4:-}
id=org.soundpath.soundpath
rm -rf "$work" && mkdir -p "$work"
if [ -z "$deb" ]; then
  (cd "$build" && cpack -G DEB -B "$work/pkg" >/dev/null)
  deb=$(ls "$work"/pkg/*.deb)
fi
echo "package: $(basename "$deb")"
# shellcheck source=scripts/lib.sh
source "$(dirname "$0")/../../scripts/lib.sh"
fail_as=FAIL

echo "lintian:"
lintian --fail-on error,warning --display-level '>=pedantic' "$deb" 2>&1 |
  grep -v 'running with root privileges' || true
lintian --fail-on error,warning "$deb" >/dev/null 2>&1 || fail "lintian reports errors or warnings"

depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'liballegro4\.4' <<<"$depends" || fail "Depends lacks liballegro4.4: $depends"
grep -q 'libc6' <<<"$depends" || fail "Depends lacks libc6 (not computed?): $depends"
echo "depends: $depends"
scripts=$(dpkg-deb -I "$deb" | grep -Ew 'preinst|postinst|prerm|postrm|config|triggers') || true
[ -z "$scripts" ] || fail "maintainer scripts, which nothing proves: $scripts"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/soundpath ./usr/share/soundpath/crosshair.bmp ./usr/share/soundpath/sound.wav \
  ./usr/share/applications/$id.desktop ./usr/share/metainfo/$id.metainfo.xml \
  ./usr/share/man/man1/soundpath.1.gz ./usr/share/doc/soundpath/copyright \
  ./usr/share/doc/soundpath/changelog.gz ./usr/share/pixmaps/soundpath.xpm \
  ./usr/share/icons/hicolor/{16x16,24x24,32x32,48x48,64x64,128x128,256x256}/apps/soundpath.png; do
  grep -qx "$f" <<<"$contents" || fail "missing $f"
done
echo "contains the program, its files, entry, metadata, manual page, licence, changelog and icons"

root="$work/root"
dpkg-deb -x "$deb" "$root"
entry="$root/usr/share/applications/$id.desktop"
desktop-file-validate "$entry" || fail "desktop-file-validate"
echo "desktop-file-validate: no complaint"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" || fail "appstreamcli"
grep -qx 'Icon=soundpath' "$entry" || fail "desktop entry Icon"
cmp -s "$root/usr/share/soundpath/sound.wav" "$build/sound.wav" || fail "sound.wav differs"
cmp -s "$root/usr/share/soundpath/crosshair.bmp" "$build/crosshair.bmp" || fail "crosshair.bmp differs"

if [ "$(dpkg-deb -f "$deb" Architecture)" = arm64 ]; then
  # As apt on a Raspberry Pi or any arm64 machine would resolve them: on this machine's Debian
  # release and the later one (built on 13, the package names 13's library package, which 12
  # lacks; releases are built on 12)...
  codename=$(release_codename)
  case $codename in
  bookworm) releases=(bookworm trixie) ;;
  *) releases=("$codename") ;;
  esac
  for release in "${releases[@]}"; do
    said=$(arm64_resolves "$release" "$depends") || { echo "$said"; fail "apt on $release: no"; }
    echo "apt on $release arm64 installs it with $(grep -c '^Inst ' <<<"$said") packages"
  done
  # ...and unpacked with them, and with ALSA's PulseAudio plugin for the cases' sound server,
  # as a desktop has it, in an arm64 root of this machine's release.
  names=$(sed 's/ *([^)]*)//g; s/,/ /g' <<<"$depends")
  # shellcheck disable=SC2086 # one name a word
  base=$(arm64_root $names libasound2-plugins) || fail "no arm64 root of $names"
  cp -a "$base" "$work/arm64" && dpkg-deb -x "$deb" "$work/arm64"
  SOUNDPATH_E2E_ARM64_ROOT=$work/arm64 "$e2e_tests" --gtest_brief=1 \
    --gtest_filter='Window.StatusLine*:Window.Taps*:Window.DelClears*:Sound.ThePathIsHeard*'
  exit
fi

# Installed for real, where this runs as root (as in CI); removed again afterwards.
if [ "$(id -u)" -ne 0 ]; then
  echo "not root: the package was not installed"
  exit 0
fi
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" </dev/null >/dev/null
trap 'DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq soundpath </dev/null >/dev/null' EXIT
echo "installed with apt-get install ./$(basename "$deb")"
SOUNDPATH_DESKTOP_ENTRY=/usr/share/applications/$id.desktop "$e2e_tests" \
  --gtest_filter='Desktop.TheInstalledEntry*' --gtest_brief=1
