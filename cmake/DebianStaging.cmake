# Run by CPack on the staged files before the Debian package is made: Debian wants manual pages
# compressed (gzip -9, no name or time stored, so the package is reproducible), and the
# licence and the changelog in /usr/share/doc/<package>.
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(doc "${root}/share/doc/${CPACK_PACKAGE_NAME}")
file(COPY "${CPACK_TRELLICK_COPYRIGHT}" "${CPACK_TRELLICK_CHANGELOG}" DESTINATION "${doc}"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(GLOB_RECURSE pages "${root}/share/man/*.[1-9]")
foreach(file IN LISTS pages ITEMS "${doc}/changelog")
  execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${file}")
  endif()
endforeach()
