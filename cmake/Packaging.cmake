# One Debian package with every component: cpack -G DEB in the build folder.
set(CPACK_PACKAGE_NAME velora-skyshow)
set(CPACK_PACKAGE_VENDOR "Velora Skyshow")
set(CPACK_PACKAGE_CONTACT "Velora Skyshow developers <velora@velora-skyshow.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "star-burst screensaver for XScreenSaver")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Salvos of thin, anti-aliased star outlines burst from random points of"
  "the screen, spin, drift outwards, shrink and fade, drawn with OpenGL."
  "."
  "The package holds velora-skyshow, the saver for the XScreenSaver daemon,"
  "with its description for the daemon's settings program, and velora, the"
  "same picture with the command line of a Windows screensaver.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://velora-skyshow.example.org/")
# Linked libraries are found by dpkg-shlibdeps; OpenGL is loaded at run
# time, where it cannot look.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xscreensaver")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver-gl, swayidle")
# A cross build packs for its target, not for the machine that packs it.
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()
include(CPack)
