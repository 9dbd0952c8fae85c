# The Windows installer, velora-skyshow-<version>-x64.msi in the build
# folder, made by wixl (Debian's msitools) from this build's velora.scr and
# icon: velora_msi(OUTPUT VERSION) makes one of any version.
find_program(VELORA_WIXL wixl REQUIRED)
find_program(VELORA_MSIBUILD msibuild REQUIRED)

# Every version of the product carries it: an installer finds the installed
# versions by it. Never change it.
set(VELORA_UPGRADE_CODE 8585BB73-D000-4FEC-BDF7-90042C0F091F)

function(velora_msi output version)
  set(source ${PROJECT_SOURCE_DIR}/packaging/velora-skyshow.wxs)
  # wixl 0.101 ignores MajorUpgrade's AllowSameVersionUpgrades (and
  # UpgradeVersion's IncludeMaximum): its row for the versions to remove
  # covers older ones only, and a rebuilt installer of the same version would
  # install beside the installed one. msibuild writes that row again with
  # VersionMaxInclusive (0x200) beside MigrateFeatures (1), as WiX writes it.
  set(upgrade_row "'{${VELORA_UPGRADE_CODE}}', '${version}', 513, 'WIX_UPGRADE_DETECTED'")
  # wixl finds files only by paths relative to the folder it runs in.
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${VELORA_WIXL} -a x64 -D Version=${version} -D UpgradeCode=${VELORA_UPGRADE_CODE} -D Scr=bin/velora.scr
            -D Icon=src/ui/velora-skyshow.ico -o ${output} ${source}
    COMMAND ${VELORA_MSIBUILD} ${output} -q "DELETE FROM `Upgrade` WHERE `ActionProperty` = 'WIX_UPGRADE_DETECTED'"
            -q "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) VALUES (${upgrade_row})"
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS velora velora_icon ${source}
    COMMENT "Making the installer ${output}"
    VERBATIM)
endfunction()

set(VELORA_MSI ${CMAKE_BINARY_DIR}/velora-skyshow-${PROJECT_VERSION}-x64.msi)
velora_msi(${VELORA_MSI} ${PROJECT_VERSION})
add_custom_target(velora-msi ALL DEPENDS ${VELORA_MSI})
