# The Debian package: `cpack -G DEB` in the build folder (scripts/package.sh does it all) makes
# trellick_<version>_<arch>.deb, installing under /usr whatever prefix the build was configured
# for; its dependencies come from the binaries (dpkg-shlibdeps).
set(CPACK_PACKAGE_NAME trellick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Trellick developers")
set(CPACK_PACKAGE_HOMEPAGE_URL https://github.com/trellick/trellick)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "switch windows with a three-finger touchpad swipe")
set(CPACK_PACKAGE_DESCRIPTION
    "Trellick reads the touchpad itself and recognises a three-finger sideways
swipe: a quick one switches to the previously used window or application; a
held one shows a floating list of recently used windows that the fingers walk
through. It lives in the system tray of X11 sessions whose window manager
follows EWMH. Everything runs locally.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

set(TRELLICK_PACKAGE_MAINTAINER "The Trellick developers <trellick@users.noreply.github.com>" CACHE STRING
    "The Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TRELLICK_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# What Trellick uses at run time without linking it: colour emoji in its windows, the SVG icon
# engine (most icon themes draw applications' icons in SVG only). pkexec runs the grant step,
# which a packaged install does not need, since the package ships the udev rule.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-color-emoji, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pkexec | policykit-1")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/data/debian/postinst ${PROJECT_BINARY_DIR}/data/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Debian's conventions for the staged files: a compressed manual page, the copyright file and
# the changelog (made from the metainfo's releases).
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebianStaging.cmake)
set(CPACK_TRELLICK_COPYRIGHT ${PROJECT_SOURCE_DIR}/data/debian/copyright)
set(CPACK_TRELLICK_CHANGELOG ${PROJECT_BINARY_DIR}/data/debian/changelog)
set(CPACK_SOURCE_GENERATOR "")

# The package's changelog: the metainfo's releases, newest first, each paragraph an entry.
function(trellick_debian_changelog metainfo out)
  file(READ ${metainfo} rest)
  set(text "")
  while(rest MATCHES "<release version=\"([^\"]+)\" date=\"([^\"]+)\"[^>]*>")
    set(version ${CMAKE_MATCH_1})
    execute_process(COMMAND date -u -R -d ${CMAKE_MATCH_2} OUTPUT_VARIABLE date OUTPUT_STRIP_TRAILING_WHITESPACE)
    string(FIND "${rest}" "${CMAKE_MATCH_0}" start)
    string(SUBSTRING "${rest}" ${start} -1 rest)
    string(FIND "${rest}" "</release>" end)
    string(SUBSTRING "${rest}" 0 ${end} notes)
    string(SUBSTRING "${rest}" ${end} -1 rest)
    # Paragraphs and list items, their text on one line (";" kept out of CMake's lists).
    string(REPLACE ";" "@SEMICOLON@" notes "${notes}")
    string(REGEX REPLACE "<(p|li)>" "@ENTRY@" notes "${notes}")
    string(REGEX REPLACE "<[^>]*>" "" notes "${notes}")
    string(REGEX REPLACE "[ \t\n]+" " " notes "${notes}")
    string(REPLACE "@ENTRY@" ";" entries "${notes}")
    string(APPEND text "trellick (${version}) unstable; urgency=medium\n\n")
    # Each entry filled to 78 columns.
    foreach(entry IN LISTS entries)
      string(STRIP "${entry}" entry)
      if(entry STREQUAL "")
        continue()
      endif()
      string(REPLACE " " ";" words "${entry}")
      set(line "  *")
      foreach(word IN LISTS words)
        string(LENGTH "${line} ${word}" length)
        if(length GREATER 78)
          string(APPEND text "${line}\n")
          set(line "   ")
        endif()
        string(APPEND line " ${word}")
      endforeach()
      string(APPEND text "${line}\n")
    endforeach()
    string(REPLACE "@SEMICOLON@" ";" text "${text}")
    string(APPEND text "\n -- ${CPACK_DEBIAN_PACKAGE_MAINTAINER}  ${date}\n\n")
  endwhile()
  string(STRIP "${text}" text)
  file(CONFIGURE OUTPUT ${out} CONTENT "${text}\n" @ONLY)
endfunction()
trellick_debian_changelog(${PROJECT_SOURCE_DIR}/data/io.github.trellick.Trellick.metainfo.xml
                          ${CPACK_TRELLICK_CHANGELOG})
include(CPack)
