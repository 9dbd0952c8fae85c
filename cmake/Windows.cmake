# The Windows cross build's own needs beside the compilers: the resource
# compiler and libjpeg-turbo built for the target, once per build tree. (The
# Wine prefix that runs the tests is made by cmake/wine-run on first use.)
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
