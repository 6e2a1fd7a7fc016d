# One case of the payload check's tests: makes a folder with payload_fixture,
# runs payload/verify_payload.cmake on it and checks the outcome and output.
#   FIXTURE, MANIFEST, VERIFY, FOLDER: the tool, the table, the check, where
#   CHANGES: payload_fixture changes, separated by "|"
#   STRICT: passed on to the check
#   EXPECT: "pass" or "fail";  EXPECT_OUTPUT: a regular expression
#   NO_WARNING: the output must not hold a warning
string(REPLACE "|" ";" changes "${CHANGES}")
execute_process(COMMAND ${FIXTURE} ${MANIFEST} ${FOLDER} ${changes} RESULT_VARIABLE made)
if(NOT made EQUAL 0)
  message(FATAL_ERROR "payload_fixture failed: ${made}")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -DPAYLOAD_DIR=${FOLDER} -DSTRICT=${STRICT} -P ${VERIFY}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(REMOVE_RECURSE ${FOLDER})
message("${output}")
if(EXPECT STREQUAL "pass" AND NOT result EQUAL 0)
  message(FATAL_ERROR "the check failed; it should have passed")
endif()
if(EXPECT STREQUAL "fail" AND result EQUAL 0)
  message(FATAL_ERROR "the check passed; it should have failed")
endif()
if(NOT output MATCHES "${EXPECT_OUTPUT}")
  message(FATAL_ERROR "the output does not match: ${EXPECT_OUTPUT}")
endif()
if(NO_WARNING AND output MATCHES "Warning")
  message(FATAL_ERROR "the output holds a warning")
endif()
