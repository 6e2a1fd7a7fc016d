# The window toolkit on Win32: a shown test form, its pixels and its input.
tarnvel_add_win_test(toolkit_test
  ${CMAKE_CURRENT_LIST_DIR}/toolkit_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/toolkit_test.rc
)
target_include_directories(toolkit_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
