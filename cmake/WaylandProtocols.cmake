# The client code of a Wayland protocol, made by wayland-scanner on the build
# machine (VELORA_WAYLAND_SCANNER, found with the Wayland backend):
#
#   velora_wayland_protocol(<xml> <directory> <sources>)
#
# writes <name>-client-protocol.h and <name>-protocol.c into <directory> and
# appends both to the list variable <sources>.
function(velora_wayland_protocol xml directory sources)
  get_filename_component(name ${xml} NAME_WE)
  set(header ${directory}/${name}-client-protocol.h)
  set(code ${directory}/${name}-protocol.c)
  add_custom_command(
    OUTPUT ${header} ${code}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${directory}
    COMMAND ${VELORA_WAYLAND_SCANNER} client-header ${xml} ${header}
    COMMAND ${VELORA_WAYLAND_SCANNER} private-code ${xml} ${code}
    DEPENDS ${xml}
    COMMENT "Generating the Wayland client code of ${name}"
    VERBATIM)
  # Generated code is not ours to keep warning-free.
  set_source_files_properties(${code} PROPERTIES COMPILE_OPTIONS -w)
  set(${sources} ${${sources}} ${header} ${code} PARENT_SCOPE)
endfunction()
