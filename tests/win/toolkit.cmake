# The window toolkit on Win32: a shown test form, its pixels and its input.
tarnvel_add_win_test(toolkit_test
  ${CMAKE_CURRENT_LIST_DIR}/toolkit_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/toolkit_test.rc
)
target_include_directories(toolkit_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
# It reads its windows' pixels off the shared display, as e2e_gui does: a
# window of the other test on top would be read instead.
set_tests_properties(toolkit_test PROPERTIES RESOURCE_LOCK tarnvel_display)
