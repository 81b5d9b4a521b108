#!/usr/bin/env bash
# Compiles every source file of the program for Windows with Debian's MinGW-w64 cross compiler,
# against the library's own Windows platform headers, and checks that END_OF_MAIN() gave the
# program the WinMain entry that hands over to the library's _WinMain. Compile only: no Windows
# build of the library is available here to link against.
#   cross_compile.sh SOURCE_DIR WORK_DIR
set -euo pipefail
src=$1
work=$2
cxx=x86_64-w64-mingw32-g++
nm=x86_64-w64-mingw32-nm

# The installed headers are configured for this Unix build; the same headers, told that the
# platform is MinGW, select the library's Windows headers (alwin.h, almngw32.h) instead.
rm -rf "$work" && mkdir -p "$work/include"
cp -r /usr/include/allegro.h /usr/include/allegro "$work/include/"
cat >"$work/include/allegro/platform/alplatf.h" <<'H'
#define ALLEGRO_MINGW32
#define ALLEGRO_NO_ASM
#define ALLEGRO_USE_C
H

failed=0
for f in "$src"/src/*.cpp; do
  o="$work/$(basename "${f%.cpp}").o"
  if "$cxx" -std=c++17 -Wall -Wextra -Werror -I "$src/src" -I "$src/res" -isystem "$work/include" \
    -c "$f" -o "$o"; then
    echo "compiled for Windows: $(basename "$f")"
  else
    echo "FAILED to compile for Windows: $(basename "$f")"
    failed=1
  fi
done
[ $failed -eq 0 ] || exit 1

symbols=$("$nm" "$work/main.o")
grep -q ' T WinMain$' <<<"$symbols" || { echo "main.o defines no WinMain"; exit 1; }
grep -q ' U _WinMain$' <<<"$symbols" || { echo "WinMain does not hand over to _WinMain"; exit 1; }
grep -qE ' T (_Z13_mangled_mainv|_mangled_main)$' <<<"$symbols" || { echo "main was not renamed _mangled_main"; exit 1; }
echo "main.o: WinMain defined, calls the library's _WinMain with _mangled_main"
