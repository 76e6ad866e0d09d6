# Runs Doxygen over the public headers and fails when a public function has no
# comment. Arguments: DOXYGEN, SOURCE_DIR, WORK_DIR.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} -E env KU_DOCS_OUTPUT=${WORK_DIR} KU_VERSION=test
                        ${DOXYGEN} docs/Doxyfile
                WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE status ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "doxygen failed: ${err}")
endif()
file(STRINGS ${WORK_DIR}/warnings.txt undocumented REGEX "\\(function\\)")
if(undocumented)
  string(REPLACE ";" "\n" undocumented "${undocumented}")
  message(FATAL_ERROR "public functions without a comment:\n${undocumented}")
endif()
