#!/usr/bin/env bash
# Checks the Windows release that scripts/build-windows.sh made: what the zip holds, and what
# Windows will see of the program: a GUI-subsystem executable with WinMain, importing only DLLs
# that Windows itself has, and carrying the icon group "A" with the icon made from the pixel map.
#   check_exe.sh RELEASE_DIR UNSTRIPPED_EXE ICON_TESTS WORK_DIR
set -euo pipefail
release=$1
unstripped=$2
icon_tests=$3
work=$4
exe=$release/soundpath.exe
fail() { echo "FAIL: $*"; exit 1; }
rm -rf "$work" && mkdir -p "$work"

for f in soundpath.exe crosshair.bmp sound.wav README.txt; do
  [ -f "$release/$f" ] || fail "the release lacks $f"
done
echo "release holds: $(cd "$release" && ls | tr '\n' ' ')"

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

symbols=$(x86_64-w64-mingw32-nm "$unstripped")
grep -q ' T WinMain$' <<<"$symbols" || fail "no WinMain"
grep -q ' T _WinMain$' <<<"$symbols" || fail "WinMain has no library _WinMain to hand over to"
echo "entry: WinMain, handing over to the library's _WinMain"

# The icon group "A", read back from the executable, made into an .ico as Windows would (the
# group's header and entry, the entry's resource id turned into the offset of the image that
# follows), and checked against the pixel map.
wrestool -l "$exe" | grep -q -- "--type=14 --name='A'" || fail "no icon group named A"
wrestool -x --raw --type=14 --name=A -o "$work/group" "$exe"
[ "$(stat -c %s "$work/group")" -eq 20 ] || fail "the group does not hold exactly one image"
id=$(od -An -tu2 -j18 -N2 "$work/group" | tr -d ' ')
wrestool -x --raw --type=3 --name="$id" -o "$work/image" "$exe"
{ head -c 18 "$work/group"; printf '\x16\x00\x00\x00'; cat "$work/image"; } >"$work/A.ico"
SOUNDPATH_ICO="$work/A.ico" "$icon_tests" --gtest_filter='Icon.TheIcoFile*' --gtest_brief=1
echo "icon group A: one 32x32 8-bit image, mask and colours as in the pixel map"
