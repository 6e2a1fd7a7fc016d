# The window toolkit on Win32: a shown test form, its pixels and its input.
tarnvel_add_win_test(toolkit_test
  ${CMAKE_CURRENT_LIST_DIR}/toolkit_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/toolkit_test.rc
)
target_include_directories(toolkit_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
# Its windows take the focus on the one display the tests share.
set_tests_properties(toolkit_test PROPERTIES RESOURCE_LOCK tarnvel_display)
