# Platform services and payload extraction against the real file system.
tarnvel_add_win_test(platform_test platform_test.cpp platform_test.rc)

# A DLL beside the test program, which a plain LoadLibrary finds there until
# the process is hardened.
add_library(tvltest_plant SHARED platform_test_plant.c)
set_target_properties(tvltest_plant PROPERTIES PREFIX "")
target_link_options(tvltest_plant PRIVATE -static-libgcc)
add_dependencies(platform_test tvltest_plant)

# It writes files of its own into the system directory, where the silent
# end-to-end test looks for anything left behind.
set_tests_properties(platform_test PROPERTIES RESOURCE_LOCK tarnvel_system_directory)
