# C code and client headers from Wayland protocol XML (wayland-scanner), into one folder of the
# build tree that the targets using them put on their include path.
find_program(TRELLICK_WAYLAND_SCANNER wayland-scanner REQUIRED)
pkg_get_variable(TRELLICK_WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
set(TRELLICK_WAYLAND_GENERATED ${PROJECT_BINARY_DIR}/wayland-protocols)

# Adds the generated code of `xml` to `target` (from any folder: the tests' protocols too).
function(trellick_wayland_protocol target xml)
  set(TRELLICK_WAYLAND_GENERATED ${PROJECT_BINARY_DIR}/wayland-protocols)
  get_filename_component(name ${xml} NAME_WE)
  set(header ${TRELLICK_WAYLAND_GENERATED}/${name}-client-protocol.h)
  set(code ${TRELLICK_WAYLAND_GENERATED}/${name}-protocol.c)
  add_custom_command(
    OUTPUT ${header} ${code}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TRELLICK_WAYLAND_GENERATED}
    COMMAND ${TRELLICK_WAYLAND_SCANNER} client-header ${xml} ${header}
    # C++ includes the header, and layer-shell names a parameter `namespace`.
    COMMAND sed -i -E "s/\\bnamespace\\b/name_space/g" ${header}
    COMMAND ${TRELLICK_WAYLAND_SCANNER} private-code ${xml} ${code}
    DEPENDS ${xml}
    VERBATIM)
  target_sources(${target} PRIVATE ${header} ${code})
  target_include_directories(${target} SYSTEM PUBLIC ${TRELLICK_WAYLAND_GENERATED})
endfunction()
