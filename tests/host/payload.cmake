# Host tests of the payload area: the pictures' formats and the check that
# guards what is bound into setup.exe. Included from tests/host/CMakeLists.txt.

# The picture generator, as the resource build runs it.
add_library(tarnvel_art STATIC
  ${PROJECT_SOURCE_DIR}/ui/art/pictures.cpp
  ${PROJECT_SOURCE_DIR}/ui/art/raster.cpp
)
target_include_directories(tarnvel_art PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tarnvel_art PUBLIC tarnvel_warnings)
target_sources(host_tests PRIVATE art_test.cpp)
target_link_libraries(host_tests PRIVATE tarnvel_art)

# The payload check, on folders that payload_fixture makes and spoils.
add_executable(payload_fixture payload_fixture.cpp)
target_link_libraries(payload_fixture PRIVATE tarnvel_warnings)

# name | payload_fixture changes | STRICT | pass/fail | expected output
set(payload_check_cases
  "PayloadCheckPassesOnTheTablesFiles||OFF|pass|Payload check passed: 28 files"
  "PayloadCheckMatchesNamesWithoutRegardToCase|upper|OFF|pass|Payload check passed: 28 files"
  "PayloadCheckFailsNamingAMissingFile|omit:Flash.ocx|OFF|fail|Flash.ocx: not found in"
  "PayloadCheckFailsOnAFileThatIsNoImage|text:msdxm.ocx|OFF|fail|msdxm.ocx: expected a 32-bit i386 PE image.*does not begin with \"MZ\""
  "PayloadCheckFailsOnAnImageForAnotherMachine|machine:COMCAT.DLL:8664|OFF|fail|COMCAT.DLL: expected a 32-bit i386 PE.*machine is 0x8664"
  "PayloadCheckFailsOnA64BitOptionalHeader|magic:uxtheme.dll:20B|OFF|fail|uxtheme.dll: expected a 32-bit i386 PE.*optional header magic is 0x20[bB]"
  "PayloadCheckFailsWhenTwoFilesDifferOnlyInCase|twin:wshom.ocx|OFF|fail|wshom.ocx: more than one file"
  "PayloadCheckWarnsOfAWrongSize|size:agentctl.dll:30000|OFF|pass|Warning.*agentctl.dll: expected 204288 bytes, found 30000"
  "PayloadCheckWarnsOfAWrongFileVersion|version:MSCAL.OCX:8.0.0.1|OFF|pass|Warning.*MSCAL.OCX: expected file version 8.0.0.5007, found 8.0.0.1"
  "PayloadCheckInStrictModeFailsOnAWrongSize|size:agentctl.dll:30000|ON|fail|agentctl.dll: expected 204288 bytes, found 30000"
)
foreach(row IN LISTS payload_check_cases)
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 name)
  list(GET fields 1 changes)
  list(GET fields 2 strict)
  list(GET fields 3 expect)
  list(GET fields 4 output)
  set(no_warning OFF)
  if(expect STREQUAL "pass" AND NOT output MATCHES "^Warning")
    set(no_warning ON)
  endif()
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND}
      -DFIXTURE=$<TARGET_FILE:payload_fixture>
      -DMANIFEST=${PROJECT_SOURCE_DIR}/install/manifest.tsv
      -DVERIFY=${PROJECT_SOURCE_DIR}/payload/verify_payload.cmake
      -DFOLDER=${CMAKE_CURRENT_BINARY_DIR}/payload_cases/${name}
      -DCHANGES=${changes} -DSTRICT=${strict} -DEXPECT=${expect}
      "-DEXPECT_OUTPUT=${output}" -DNO_WARNING=${no_warning}
      -P ${CMAKE_CURRENT_SOURCE_DIR}/verify_payload_case.cmake)
endforeach()
