# Runs a program and passes only when it exits with the status given and its
# output matches a pattern: a crash or another status fails, which
# WILL_FAIL would let pass.
#   cmake -DSTATUS=N -DPATTERN=REGEX -P expect_status.cmake PROGRAM [ARG...]
# The command is every argument after the script's own path.
set(command "")
set(after_script -1)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE 1 ${last})
  if(after_script EQUAL 1)
    list(APPEND command "${CMAKE_ARGV${i}}")
  elseif(CMAKE_ARGV${i} STREQUAL "-P")
    set(after_script 0)
  elseif(after_script EQUAL 0)
    set(after_script 1)
  endif()
endforeach()
string(REPLACE ";" " " shown "${command}")
execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}${err}")
if(NOT status STREQUAL "${STATUS}")
  message(FATAL_ERROR "${shown} exited with ${status}, not ${STATUS}")
endif()
if(NOT "${out}${err}" MATCHES "${PATTERN}")
  message(FATAL_ERROR "${shown} did not say what matches ${PATTERN}")
endif()
