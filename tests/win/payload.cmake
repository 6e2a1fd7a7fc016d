# setup.exe's resources, read back as Windows reads them: the payload store,
# the icon, the pictures, the version record and the manifest; and the
# stand-ins' own registration.
get_property(payload_dir GLOBAL PROPERTY TARNVEL_PAYLOAD_DIR)
get_property(standin_dir GLOBAL PROPERTY TARNVEL_STANDIN_DIR)
get_property(art_dir GLOBAL PROPERTY TARNVEL_ART_DIR)

# Wine shows the Unix root as drive Z:. The backslashes come out doubled, as
# a C string literal wants them.
function(tarnvel_wine_path out path)
  string(REPLACE "/" "\\\\" path "Z:${path}")
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

tarnvel_add_win_test(payload_test payload_test.cpp)
tarnvel_wine_path(setup_exe ${CMAKE_BINARY_DIR}/setup.exe)
tarnvel_wine_path(payload_dir ${payload_dir})
tarnvel_wine_path(standin_dir ${standin_dir})
tarnvel_wine_path(art_dir ${art_dir})
target_compile_definitions(payload_test PRIVATE
  "TARNVEL_SETUP_EXE=\"${setup_exe}\""
  "TARNVEL_PAYLOAD_DIR=\"${payload_dir}\""
  "TARNVEL_STANDIN_DIR=\"${standin_dir}\""
  "TARNVEL_ART_DIR=\"${art_dir}\"")
target_link_libraries(payload_test PRIVATE version)
add_dependencies(payload_test setup tarnvel_standins tarnvel_art)
