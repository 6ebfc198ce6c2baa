# Renders the manual page: cmake -DSCDOC=... -DIN=page.scd -DOUT=page.1 -DDATE=YYYY-MM-DD -P ManPage.cmake
# The page carries DATE (the release's), not the day it was built, so builds are reproducible.
execute_process(COMMAND date -u -d "${DATE}" +%s OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "Cannot read the release date ${DATE}")
endif()
set(ENV{SOURCE_DATE_EPOCH} ${epoch})
execute_process(COMMAND ${SCDOC} INPUT_FILE ${IN} OUTPUT_FILE ${OUT}.tmp RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE ${OUT}.tmp)
  message(FATAL_ERROR "scdoc could not read ${IN}")
endif()
file(RENAME ${OUT}.tmp ${OUT})
