# The Windows installer, velora-skyshow-<version>-x64.msi in the build
# folder, made by wixl (Debian's msitools) from this build's velora.scr and
# icon: velora_msi(OUTPUT VERSION) makes one of any version.
find_program(VELORA_WIXL wixl REQUIRED)

function(velora_msi output version)
  set(source ${PROJECT_SOURCE_DIR}/packaging/velora-skyshow.wxs)
  # wixl finds files only by paths relative to the folder it runs in.
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${VELORA_WIXL} -a x64 -D Version=${version} -D Scr=bin/velora.scr -D Icon=src/ui/velora-skyshow.ico
            -o ${output} ${source}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS velora velora_icon ${source}
    COMMENT "Making the installer ${output}"
    VERBATIM)
endfunction()

set(VELORA_MSI ${CMAKE_BINARY_DIR}/velora-skyshow-${PROJECT_VERSION}-x64.msi)
velora_msi(${VELORA_MSI} ${PROJECT_VERSION})
add_custom_target(velora-msi ALL DEPENDS ${VELORA_MSI})
