# Tools that run on the build machine while setup.exe is built (the pictures,
# the stand-ins' padding, the payload checksums). The cross compiler cannot
# build them, so they go straight to the build machine's own C++ compiler.
find_program(TARNVEL_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
set(TARNVEL_HOST_TOOL_DIR ${CMAKE_BINARY_DIR}/host_tools)
file(MAKE_DIRECTORY ${TARNVEL_HOST_TOOL_DIR})

# Builds the tool `name` from the sources and headers given (the headers only
# count for rebuilding) and sets `<name>_tool` to its path in the caller.
function(tarnvel_add_host_tool name)
  set(tool ${TARNVEL_HOST_TOOL_DIR}/${name})
  set(sources ${ARGN})
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  add_custom_command(OUTPUT ${tool}
    COMMAND ${TARNVEL_HOST_CXX} -std=c++17 -O2 -Wall -Wextra -Werror
            -I${PROJECT_SOURCE_DIR} ${sources} -o ${tool}
    DEPENDS ${ARGN}
    COMMENT "Building ${name} for the build machine"
    VERBATIM)
  set(${name}_tool ${tool} PARENT_SCOPE)
endfunction()
