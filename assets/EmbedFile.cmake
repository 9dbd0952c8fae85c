# Writes a C++ source that holds the bytes of INPUT and returns them from
# velora::assets::FUNCTION(). Run with cmake -P; kept in CMake so the build
# needs no xxd or similar tool.
#   cmake -DINPUT=<file> -DOUTPUT=<source> -DFUNCTION=<name> -P EmbedFile.cmake
foreach(var INPUT OUTPUT FUNCTION)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "EmbedFile.cmake: ${var} is not set")
  endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
if(digits EQUAL 0)
  # A zero-length array is not valid C++; an empty asset is a mistake anyway.
  message(FATAL_ERROR "EmbedFile.cmake: ${INPUT} is empty")
endif()

string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# CMake's regular expressions have no {n}: spell out sixteen bytes a line.
string(REPEAT "0x..," 16 line)
string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
get_filename_component(name "${INPUT}" NAME)

set(content "// Generated from ${name} by EmbedFile.cmake; edits here are overwritten.
#include \"EmbeddedAssets.h\"

namespace velora::assets {
namespace {
const unsigned char kBytes[] = {
    ${bytes}
};
}  // namespace

std::span<const unsigned char> ${FUNCTION}() { return kBytes; }

}  // namespace velora::assets
")

# Leave an unchanged source untouched so dependents are not rebuilt.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" previous)
  if(previous STREQUAL content)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${content}")
