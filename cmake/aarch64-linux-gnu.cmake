# Cross-compiling for 64-bit ARM Linux (arm64) with Debian's cross compiler
# (g++-aarch64-linux-gnu), against Debian's arm64 libraries unpacked in SOUNDPATH_ARM64_ROOT,
# which scripts/build-arm64.sh makes. The root serves as the compiler's and pkg-config's sysroot.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(SOUNDPATH_DEB_ARCH arm64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
if(NOT SOUNDPATH_ARM64_ROOT)
  set(SOUNDPATH_ARM64_ROOT $ENV{SOUNDPATH_ARM64_ROOT})  # for CMake's own test projects
endif()
if(NOT IS_DIRECTORY "${SOUNDPATH_ARM64_ROOT}/usr/lib/aarch64-linux-gnu")
  message(FATAL_ERROR "SOUNDPATH_ARM64_ROOT (${SOUNDPATH_ARM64_ROOT}) is no unpacked arm64 root")
endif()
set(ENV{SOUNDPATH_ARM64_ROOT} ${SOUNDPATH_ARM64_ROOT})
set(CMAKE_SYSROOT ${SOUNDPATH_ARM64_ROOT})
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${SOUNDPATH_ARM64_ROOT})
set(ENV{PKG_CONFIG_LIBDIR}
    ${SOUNDPATH_ARM64_ROOT}/usr/lib/aarch64-linux-gnu/pkgconfig:${SOUNDPATH_ARM64_ROOT}/usr/share/pkgconfig)
# Programs (pkg-config, the generators) are the build machine's; libraries and headers are
# looked for only in the root, so that the build machine's own never leak in.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
