# The two windows end to end: the real setup.exe under Wine, driven like a user
# through the window manager (find windows, read controls, click, answer
# message boxes, read screen pixels, read the exit code).

# The files bound into setup.exe, and its pictures, as the payload build
# names them.
get_property(tarnvel_payload_dir GLOBAL PROPERTY TARNVEL_PAYLOAD_DIR)
get_property(tarnvel_art_dir GLOBAL PROPERTY TARNVEL_ART_DIR)

add_library(tarnvel_gui_driver STATIC
  ${CMAKE_CURRENT_LIST_DIR}/gui_driver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gui_image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gui_targets.cpp
)
target_include_directories(tarnvel_gui_driver PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tarnvel_gui_driver PUBLIC tarnvel_warnings user32 gdi32)

# Paths reach the driver as Wine sees them: the Unix root is drive Z:.
set(tarnvel_gui_paths
  TARNVEL_E2E_SETUP_EXE="Z:$<TARGET_FILE:setup>"
  TARNVEL_E2E_PAYLOAD_DIR="Z:${tarnvel_payload_dir}"
  TARNVEL_E2E_BANNER_BMP="Z:${tarnvel_art_dir}/banner.bmp")

add_executable(e2e_gui ${CMAKE_CURRENT_LIST_DIR}/gui_test.cpp)
target_link_libraries(e2e_gui PRIVATE tarnvel_gui_driver tarnvel_core ${TARNVEL_GTEST})
target_link_options(e2e_gui PRIVATE ${TARNVEL_STATIC_LINK})
target_compile_definitions(e2e_gui PRIVATE ${tarnvel_gui_paths})
add_dependencies(e2e_gui setup)

# Screenshot mode for scripts/screenshots.sh; not a test.
add_executable(e2e_gui_screenshots ${CMAKE_CURRENT_LIST_DIR}/gui_screenshots.cpp)
target_link_libraries(e2e_gui_screenshots PRIVATE tarnvel_gui_driver advapi32)
target_link_options(e2e_gui_screenshots PRIVATE ${TARNVEL_STATIC_LINK})
target_compile_definitions(e2e_gui_screenshots PRIVATE ${tarnvel_gui_paths})
add_dependencies(e2e_gui_screenshots setup)

# One Wine launch for every scenario; each scenario starts setup.exe once and
# each start costs a minute or more under emulation. Scenarios write component
# names into the system directory, so they take the shared lock; they read
# pixels off the shared display, so they take its lock too.
add_test(NAME e2e_gui COMMAND e2e_gui --gtest_color=no)
set_tests_properties(e2e_gui PROPERTIES
  TIMEOUT 3000
  ENVIRONMENT TARNVEL_WINE_RUN_TIMEOUT=2950
  RESOURCE_LOCK "tarnvel_system_directory;tarnvel_display")
