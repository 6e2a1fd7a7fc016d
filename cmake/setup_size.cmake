# Prints, after setup.exe is linked, what its program takes: the whole file
# less the bound component files and the two bitmaps (as built), against the
# budget, and the file's SHA-256, on one line.
#
#   cmake -DSETUP=<setup.exe> -DINPUTS=<list file> [-DMAP=<link map>] -P setup_size.cmake
#
# The list file sets PAYLOAD_FILES and PICTURES (payload/CMakeLists.txt
# writes it when the build is configured).

cmake_policy(VERSION 3.25)

set(budget 131072)
include("${INPUTS}")

function(_tarnvel_total_size out)
  set(total 0)
  foreach(path IN LISTS ARGN)
    file(SIZE "${path}" size)
    math(EXPR total "${total} + ${size}")
  endforeach()
  set(${out} ${total} PARENT_SCOPE)
endfunction()

file(SIZE "${SETUP}" whole)
_tarnvel_total_size(payload ${PAYLOAD_FILES})
_tarnvel_total_size(pictures ${PICTURES})
math(EXPR program "${whole} - ${payload} - ${pictures}")
file(SHA256 "${SETUP}" sha256)

set(line "setup.exe: program ${program} bytes (budget ${budget}) = ${whole} less payload ${payload} and bitmaps ${pictures}; SHA-256 ${sha256}")
execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${line}")
if(program GREATER budget)
  message(WARNING "setup.exe's program is ${program} bytes, over its budget of ${budget}")
endif()

# Both run-from-swap flags in the file header (app/CMakeLists.txt sets them
# after the link): a build that lost that step fails here.
file(READ "${SETUP}" pe_at OFFSET 60 LIMIT 4 HEX)
string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" pe_at "${pe_at}")
math(EXPR characteristics_at "0x${pe_at} + 22")
file(READ "${SETUP}" characteristics OFFSET ${characteristics_at} LIMIT 2 HEX)
string(REGEX REPLACE "(..)(..)" "\\2\\1" characteristics "${characteristics}")
math(EXPR run_from_swap "0x${characteristics} & 0x0C00")
if(NOT run_from_swap EQUAL 3072)
  message(FATAL_ERROR "setup.exe's header does not ask to be run from the page file: characteristics 0x${characteristics}")
endif()

# Two things a link must not bring back. The runtime's exception machinery:
# one guarded static or one library call that throws brings back the unwinder
# and its tables. And a static import of user32, gdi32 or advapi32: they are
# bound on first use (app/win32_lazy_imports.cpp), so that a silent run with
# nothing to write loads none of them; a function missing from that table is
# linked from its import library instead.
if(MAP)
  file(STRINGS "${MAP}" unwinding REGEX "\\((eh_throw|eh_personality|unwind-dw2)\\.o\\)" LIMIT_COUNT 1)
  if(unwinding)
    message(FATAL_ERROR "setup.exe links the runtime's exception machinery: ${unwinding}")
  endif()
  file(STRINGS "${MAP}" bound REGEX "lib(user32|gdi32|advapi32)\\.a\\(" LIMIT_COUNT 1)
  if(bound)
    message(FATAL_ERROR "setup.exe imports a function that app/win32_lazy_imports.cpp does not list: ${bound}")
  endif()
endif()
