# Signs setup.exe in place with an Authenticode signature (SHA-256), through
# Debian's osslsigncode:
#
#   cmake -DSETUP_EXE=<file> -DSETUP_SIGN_PKCS12=<.p12/.pfx>
#         [-DSETUP_SIGN_TIMESTAMP_URL=<RFC 3161 server>] -P cmake/sign.cmake
#
# The PKCS#12 file's password comes from the environment variable
# SETUP_SIGN_PASSWORD (unset or empty: a file without one), never from the
# command line, where other users could read it. A signature already on the
# file is replaced. With SOURCE_DATE_EPOCH set, that is the signing time, so
# the same key signs the same build to the same bytes (a time stamp, which only
# SETUP_SIGN_TIMESTAMP_URL asks for, never does).
#
# Exits non-zero on any failure and leaves SETUP_EXE as it was. The build runs
# it after linking setup.exe when SETUP_SIGN_PKCS12 is set (app/CMakeLists.txt);
# when it fails there, make deletes the unsigned setup.exe.

cmake_minimum_required(VERSION 3.25)

if(NOT SETUP_EXE OR NOT SETUP_SIGN_PKCS12)
  message(FATAL_ERROR "usage: cmake -DSETUP_EXE=<file> -DSETUP_SIGN_PKCS12=<p12> "
    "[-DSETUP_SIGN_TIMESTAMP_URL=<url>] -P sign.cmake (password in env SETUP_SIGN_PASSWORD)")
endif()
set(signed "${SETUP_EXE}.signing")

function(sign_failed why)
  file(REMOVE "${signed}")
  message(FATAL_ERROR "sign: ${why}")
endfunction()

foreach(input IN ITEMS SETUP_EXE SETUP_SIGN_PKCS12)
  if(NOT EXISTS "${${input}}" OR IS_DIRECTORY "${${input}}")
    sign_failed("${input}: no file at ${${input}}")
  endif()
endforeach()

find_program(OSSLSIGNCODE osslsigncode)
if(NOT OSSLSIGNCODE)
  sign_failed("osslsigncode not found (scripts/bootstrap.sh installs it)")
endif()

set(options -pkcs12 "${SETUP_SIGN_PKCS12}" -h sha256)
if(SETUP_SIGN_TIMESTAMP_URL)
  list(APPEND options -ts "${SETUP_SIGN_TIMESTAMP_URL}")
endif()
if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  list(APPEND options -time "$ENV{SOURCE_DATE_EPOCH}")
endif()

# osslsigncode writes a new file; it replaces SETUP_EXE only when complete.
file(REMOVE "${signed}")

if("$ENV{SETUP_SIGN_PASSWORD}" STREQUAL "")
  execute_process(
    COMMAND "${OSSLSIGNCODE}" sign ${options} -in "${SETUP_EXE}" -out "${signed}"
    RESULTS_VARIABLE results
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
else()
  # The password goes through a pipe: printf is built into the shell, so it
  # never appears in a process's arguments. /dev/stdin rather than "-", which
  # osslsigncode understands only from 2.9 on (Debian 12 has 2.5).
  execute_process(
    COMMAND sh -c "printf '%s' \"$SETUP_SIGN_PASSWORD\""
    COMMAND "${OSSLSIGNCODE}" sign ${options} -readpass /dev/stdin -in "${SETUP_EXE}" -out "${signed}"
    RESULTS_VARIABLE results
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
endif()

list(REMOVE_DUPLICATES results)
if(NOT results STREQUAL "0" OR NOT EXISTS "${signed}")
  sign_failed("signing ${SETUP_EXE} with ${SETUP_SIGN_PKCS12} failed (exit ${results}):\n${output}")
endif()

file(RENAME "${signed}" "${SETUP_EXE}")
file(CHMOD "${SETUP_EXE}" FILE_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
message(STATUS "Signed ${SETUP_EXE} (Authenticode, SHA-256)")
