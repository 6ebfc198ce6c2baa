# The programs, and the uninstall target. The helper goes where the application looks for it
# (TRELLICK_HELPER_DIR in src/app, also found from the program's own folder).
install(TARGETS trellick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS trellick-touchpad-access RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/trellick)

# `cmake --build build --target uninstall` (with the DESTDIR the install had) removes what the
# last `cmake --install` from this build put in place, and the desktop entry of the user's own
# that Trellick may have written for this build's program under KWin.
add_custom_target(uninstall
    COMMAND ${CMAKE_COMMAND} -DMANIFEST=${PROJECT_BINARY_DIR}/install_manifest.txt -DBUILT_PROGRAM=$<TARGET_FILE:trellick>
            -P ${PROJECT_SOURCE_DIR}/cmake/Uninstall.cmake
    COMMENT "Uninstalling Trellick"
    VERBATIM)
