# Cross build for 64-bit ARM Linux with Debian's aarch64 compilers. Libraries
# and headers come from Debian's multiarch packages (libx11-dev:arm64 and the
# others of scripts/deps.sh), pkg-config looks only at theirs, and CTest runs
# the programs under qemu's user emulation.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(VELORA_CROSS_TRIPLE aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${VELORA_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${VELORA_CROSS_TRIPLE}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${VELORA_CROSS_TRIPLE})
set(CMAKE_LIBRARY_ARCHITECTURE ${VELORA_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${VELORA_CROSS_TRIPLE}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} /)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/${VELORA_CROSS_TRIPLE})
