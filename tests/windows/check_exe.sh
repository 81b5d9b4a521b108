#!/usr/bin/env bash
# Checks the Windows release that scripts/build-windows.sh made: what the zip holds, and what
# Windows will see of the program: a GUI-subsystem executable with WinMain, importing only DLLs
# that Windows itself has, with high-entropy ASLR and NX, carrying the icon groups "A" (for
# Explorer) and "allegro_icon" (for its window) made from the pixel map, a version resource
# with the project's version, and a manifest.
#   check_exe.sh RELEASE_DIR UNSTRIPPED_EXE ICON_TESTS WORK_DIR VERSION
set -euo pipefail
release=$1
unstripped=$2
icon_tests=$3
work=$4
version=$5
exe=$release/soundpath.exe
# shellcheck source=scripts/lib.sh
source "$(dirname "$0")/../../scripts/lib.sh"
fail_as=FAIL
rm -rf "$work" && mkdir -p "$work"

for f in soundpath.exe crosshair.bmp sound.wav README.txt; do
  [ -f "$release/$f" ] || fail "the release lacks $f"
done
echo "release holds: $(cd "$release" && echo *)"

headers=$(x86_64-w64-mingw32-objdump -p "$exe")
grep -q 'Subsystem.*(Windows GUI)' <<<"$headers" || fail "not a GUI-subsystem program"
echo "subsystem: Windows GUI"

# Every DLL it imports comes with Windows; the compiler's own runtimes are linked in.
system_dlls='^(kernel32|user32|gdi32|comdlg32|ole32|oleaut32|advapi32|shell32|dinput|dinput8|ddraw|dsound|winmm|msvcrt|ws2_32)\.dll$'
imports=$(sed -n 's/^\tDLL Name: //p' <<<"$headers")
[ -n "$imports" ] || fail "no imports found"
while read -r dll; do
  grep -qiE "$system_dlls" <<<"$dll" || fail "imports $dll, which Windows does not have"
done <<<"$imports"
echo "imports only system DLLs: $(tr '\n' ' ' <<<"$imports")"

for flag in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT; do
  grep -qw "$flag" <<<"$headers" || fail "the executable lacks $flag"
done
echo "hardening: high-entropy ASLR (HIGH_ENTROPY_VA, DYNAMIC_BASE), NX_COMPAT"

symbols=$(x86_64-w64-mingw32-nm "$unstripped")
grep -q ' T WinMain$' <<<"$symbols" || fail "no WinMain"
grep -q ' T _WinMain$' <<<"$symbols" || fail "WinMain has no library _WinMain to hand over to"
echo "entry: WinMain, handing over to the library's _WinMain"

# Each icon group, read back from the executable, made into an .ico as Windows would (the
# group's header and entry, the entry's resource id turned into the offset of the image that
# follows), and checked against the pixel map. "A" comes first, as Explorer takes the first.
wrestool -l "$exe" | grep -m1 -- "--type=14" | grep -q -- "--name='A'" || fail "no first icon group A"
for group in A ALLEGRO_ICON; do
  wrestool -x --raw --type=14 --name="$group" -o "$work/group" "$exe" || fail "no icon group $group"
  [ "$(stat -c %s "$work/group")" -eq 20 ] || fail "the group $group does not hold exactly one image"
  id=$(od -An -tu2 -j18 -N2 "$work/group" | tr -d ' ')
  wrestool -x --raw --type=3 --name="$id" -o "$work/image" "$exe"
  { head -c 18 "$work/group"; printf '\x16\x00\x00\x00'; cat "$work/image"; } >"$work/$group.ico"
  SOUNDPATH_ICO="$work/$group.ico" "$icon_tests" --gtest_filter='Icon.TheIcoFile*' --gtest_brief=1
done
echo "icon groups A and ALLEGRO_ICON: one 32x32 8-bit image each, mask and colours as in the pixel map"

# The version resource: its strings, each key followed by its value.
strings=$(wrestool -x --raw --type=16 "$exe" | iconv -f UTF-16LE -t UTF-8 | tr -c '[:print:]' '\n' |
  grep -v '^.\{0,1\}$')
value() { grep -A1 -x "$1" <<<"$strings" | sed -n 2p; }
for pair in ProductName=soundpath FileDescription=soundpath FileVersion="$version" \
  ProductVersion="$version" OriginalFilename=soundpath.exe; do
  [ "$(value "${pair%%=*}")" = "${pair#*=}" ] || fail "version resource: ${pair%%=*} is '$(value "${pair%%=*}")'"
done
grep -q "soundpath developers.*MIT" <<<"$(value LegalCopyright)" || fail "version resource: LegalCopyright"
echo "version resource: soundpath $version, $(value LegalCopyright)"

manifest=$(wrestool -x --raw --type=24 --name=1 "$exe")
for want in 35138b9a-5d96-4fbd-8e2d-a2440225f93a 4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 \
  1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a \
  '"Microsoft.Windows.Common-Controls" version="6.0.0.0"' '>unaware</dpiAwareness>' 'level="asInvoker"'; do
  grep -qF -- "$want" <<<"$manifest" || fail "the manifest lacks $want"
done
echo "manifest: Windows 7 to 11, Common Controls 6, DPI unaware, as invoker"
