# Cross build for 64-bit Windows with Debian's MinGW-w64. The -posix
# compilers: GoogleTest needs std::thread and std::mutex, which the win32
# thread model lacks. Programs link statically, so they import nothing but
# system DLLs, and CTest runs them under Wine in a prefix of the build tree.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELORA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELORA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELORA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELORA_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELORA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Debian's wine package runs 64-bit programs with `wine` (cmake/wine-run).
# Console programs get no display; tests that need one start their own X
# server.
set(VELORA_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine)
set(VELORA_WINE_RUN ${CMAKE_CURRENT_LIST_DIR}/wine-run ${VELORA_WINE_PREFIX})
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env -u DISPLAY ${VELORA_WINE_RUN})
