# The window toolkit on Win32: a shown test form, its pixels and its input.
tarnvel_add_win_test(toolkit_test
  ${CMAKE_CURRENT_LIST_DIR}/toolkit_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/toolkit_test.rc
)
target_include_directories(toolkit_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
# It shows forms and takes the focus on the one shared display: no other test
# that reads the screen runs beside it.
set_tests_properties(toolkit_test PROPERTIES RESOURCE_LOCK tarnvel_display)
