# Installs the desktop component of BUILD_DIR into PREFIX and checks that the
# menu entry and the icon it names end up where a desktop looks for them.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(
  COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --component desktop --prefix "${PREFIX}"
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(entry "${PREFIX}/${DATADIR}/applications/velora-skyshow.desktop")
if(NOT EXISTS "${entry}")
  message(FATAL_ERROR "missing ${entry}")
endif()
file(STRINGS "${entry}" icon_line REGEX "^Icon=")
string(REPLACE "Icon=" "" icon "${icon_line}")
foreach(path scalable/apps/${icon}.svg 48x48/apps/${icon}.png)
  if(NOT EXISTS "${PREFIX}/${DATADIR}/icons/hicolor/${path}")
    message(FATAL_ERROR "the entry names icon '${icon}', but hicolor/${path} was not installed")
  endif()
endforeach()
file(STRINGS "${entry}" exec_line REGEX "^Exec=")
if(NOT exec_line STREQUAL "Exec=velora")
  message(FATAL_ERROR "unexpected launcher line '${exec_line}'")
endif()
file(REMOVE_RECURSE "${PREFIX}")
