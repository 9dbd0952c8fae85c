# The Windows cross build's own needs beside the compilers: the resource
# compiler, libjpeg-turbo built for the target and the Wine prefix that runs
# the tests. Both are made once and kept in the build tree.
enable_language(RC)

set(VELORA_JPEG_PREFIX ${CMAKE_BINARY_DIR}/libjpeg-turbo)
if(NOT EXISTS ${VELORA_JPEG_PREFIX}/lib/libjpeg.a)
  message(STATUS "Building libjpeg-turbo for Windows into ${VELORA_JPEG_PREFIX}")
  execute_process(
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/windows-jpeg ${VELORA_JPEG_PREFIX} ${CMAKE_TOOLCHAIN_FILE}
    RESULT_VARIABLE jpeg_failed)
  if(jpeg_failed)
    message(FATAL_ERROR "scripts/windows-jpeg could not build libjpeg-turbo for Windows")
  endif()
endif()
set(JPEG_INCLUDE_DIR ${VELORA_JPEG_PREFIX}/include CACHE PATH "libjpeg-turbo headers for Windows" FORCE)
set(JPEG_LIBRARY ${VELORA_JPEG_PREFIX}/lib/libjpeg.a CACHE FILEPATH "libjpeg-turbo for Windows" FORCE)

if(VELORA_BUILD_TESTS AND NOT EXISTS ${VELORA_WINE_PREFIX}/system.reg)
  # The first start of Wine fills a prefix (half a minute); the test
  # discovery of the build would otherwise race to do it.
  message(STATUS "Creating the Wine prefix ${VELORA_WINE_PREFIX}")
  execute_process(COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} wineboot --init OUTPUT_QUIET ERROR_QUIET)
  execute_process(COMMAND /usr/bin/env ${VELORA_WINE_ENV} wineserver --wait)
  if(NOT EXISTS ${VELORA_WINE_PREFIX}/system.reg)
    message(FATAL_ERROR "Wine could not create its prefix ${VELORA_WINE_PREFIX}")
  endif()
endif()
