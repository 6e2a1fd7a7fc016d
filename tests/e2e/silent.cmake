# The silent install end to end: the real setup.exe runs "/s" under Wine
# against a prepared system directory.

# The component files bound into setup.exe, named as in the manifest.
get_property(tarnvel_payload_dir GLOBAL PROPERTY TARNVEL_PAYLOAD_DIR)
set(tarnvel_planted_marker "planted-regsvr32-ran.txt")

add_executable(e2e_planted_regsvr32 WIN32 ${CMAKE_CURRENT_LIST_DIR}/planted_regsvr32.cpp)
target_link_libraries(e2e_planted_regsvr32 PRIVATE tarnvel_warnings)
target_link_options(e2e_planted_regsvr32 PRIVATE ${TARNVEL_STATIC_LINK})
target_compile_definitions(e2e_planted_regsvr32 PRIVATE
  TARNVEL_E2E_PLANTED_MARKER="${tarnvel_planted_marker}")

# Paths reach the test as Wine sees them: the Unix root is drive Z:.
add_executable(e2e_silent_install ${CMAKE_CURRENT_LIST_DIR}/silent_install_test.cpp)
target_link_libraries(e2e_silent_install PRIVATE tarnvel_core ${TARNVEL_GTEST})
target_link_options(e2e_silent_install PRIVATE ${TARNVEL_STATIC_LINK})
target_compile_definitions(e2e_silent_install PRIVATE
  TARNVEL_E2E_SETUP_EXE="Z:$<TARGET_FILE:setup>"
  TARNVEL_E2E_PAYLOAD_DIR="Z:${tarnvel_payload_dir}"
  TARNVEL_E2E_PLANTED_TOOL="Z:$<TARGET_FILE:e2e_planted_regsvr32>"
  TARNVEL_E2E_PLANTED_MARKER="${tarnvel_planted_marker}")
add_dependencies(e2e_silent_install setup e2e_planted_regsvr32)

# One Wine launch for all cases: two setup runs and their registrations take
# several minutes under emulation. It reads the whole system directory, so
# tests that write files there take the same lock.
add_test(NAME e2e_silent_install COMMAND e2e_silent_install --gtest_color=no)
set_tests_properties(e2e_silent_install PROPERTIES
  TIMEOUT 2400
  ENVIRONMENT TARNVEL_WINE_RUN_TIMEOUT=2350
  RESOURCE_LOCK tarnvel_system_directory)
