# Writes BuildInfo.h from BuildInfo.h.in: VERSION as given, BUILD the short hash of the commit
# checked out in SOURCE_DIR, or "?" where git or the checkout is missing. configure_file leaves
# the header untouched when nothing changed, so nothing rebuilds needlessly.
execute_process(COMMAND git rev-parse --short HEAD
                WORKING_DIRECTORY ${SOURCE_DIR}
                OUTPUT_VARIABLE BUILD
                OUTPUT_STRIP_TRAILING_WHITESPACE
                ERROR_QUIET
                RESULT_VARIABLE status)
if(NOT status STREQUAL "0" OR BUILD STREQUAL "")
  set(BUILD "?")
endif()
configure_file(${IN} ${OUT} @ONLY)
