# Runs one example program as `tavikwm --batch NAME.TK` and compares what it prints byte for byte.
#   cmake -DTAVIKWM=<program> -DEXAMPLE=<NAME> -DEXAMPLES=<examples dir> -DDIR=<this dir> -P run_example.cmake
# EXAMPLES/NAME.TK  the program, as tavikWM saved it (UTF-16LE with its byte-order mark)
# DIR/NAME.in       standard input for a program that asks (optional, else empty)
# DIR/NAME.out      the exact standard output expected
# DIR/NAME.status   the expected exit status (optional, else 0)
# The example is staged as a session of the session runner: its file is copied into the empty working
# directory and given as FILE, so it runs exactly as a user would run it.
cmake_minimum_required(VERSION 3.22)

foreach(var TAVIKWM EXAMPLE EXAMPLES DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "run_example.cmake needs -D${var}=...")
  endif()
endforeach()

set(program "${EXAMPLES}/${EXAMPLE}.TK")
if(NOT EXISTS "${program}")
  message(FATAL_ERROR "no example program ${program}")
endif()
# Examples are kept as tavikWM saves them.
file(READ "${program}" mark HEX LIMIT 2)
if(NOT mark STREQUAL "fffe")
  message(FATAL_ERROR "${program} is not UTF-16LE with its byte-order mark (starts with '${mark}')")
endif()

set(session "example.${EXAMPLE}")
set(stage "${CMAKE_CURRENT_BINARY_DIR}/example-stage")
file(REMOVE_RECURSE "${stage}/${session}.files")
file(MAKE_DIRECTORY "${stage}/${session}.files")
file(COPY "${program}" DESTINATION "${stage}/${session}.files")
file(WRITE "${stage}/${session}.args" "${EXAMPLE}.TK")
if(EXISTS "${DIR}/${EXAMPLE}.in")
  configure_file("${DIR}/${EXAMPLE}.in" "${stage}/${session}.in" COPYONLY)
else()
  file(WRITE "${stage}/${session}.in" "")
endif()
configure_file("${DIR}/${EXAMPLE}.out" "${stage}/${session}.out" COPYONLY)
file(REMOVE "${stage}/${session}.status")
if(EXISTS "${DIR}/${EXAMPLE}.status")
  configure_file("${DIR}/${EXAMPLE}.status" "${stage}/${session}.status" COPYONLY)
endif()

set(SESSION "${session}")
set(DIR "${stage}")
include("${CMAKE_CURRENT_LIST_DIR}/../sessions/run_session.cmake")
