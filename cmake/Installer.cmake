# The Windows installer, velora-skyshow-<version>-x64.msi in the build
# folder, made by packaging/make-msi from this build's velora.scr and icon:
# velora_msi(OUTPUT VERSION) makes one of any version.

# Every version of the product carries it: an installer finds the installed
# versions by it. Never change it.
set(VELORA_UPGRADE_CODE 8585BB73-D000-4FEC-BDF7-90042C0F091F)
set(VELORA_MAKE_MSI ${PROJECT_SOURCE_DIR}/packaging/make-msi)
# What make-msi runs, missed at configuring rather than at building.
find_program(VELORA_WIXL wixl REQUIRED)
find_program(VELORA_MSIBUILD msibuild REQUIRED)

function(velora_msi output version)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${VELORA_MAKE_MSI} ${output} ${version} ${VELORA_UPGRADE_CODE} $<TARGET_FILE:velora>
            ${CMAKE_BINARY_DIR}/src/ui/velora-skyshow.ico
    DEPENDS velora velora_icon ${VELORA_MAKE_MSI} ${PROJECT_SOURCE_DIR}/packaging/velora-skyshow.wxs
    COMMENT "Making the installer ${output}"
    VERBATIM)
endfunction()

set(VELORA_MSI ${CMAKE_BINARY_DIR}/velora-skyshow-${PROJECT_VERSION}-x64.msi)
velora_msi(${VELORA_MSI} ${PROJECT_VERSION})
add_custom_target(velora-msi ALL DEPENDS ${VELORA_MSI})
