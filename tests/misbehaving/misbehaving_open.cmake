# One row of the misbehaving-module table: plughost opens INPUTS (palettes
# named from SOURCE_DIR, comma-separated) with MODULE while ZENTROW_MISUSE is
# MISUSE, and passes only when it exits with STATUS, its stderr holds every
# SAYS_1, SAYS_2, ... and never NOT_SAYS (all literal text), and its output
# folder holds, only when WRITTEN, the very images REAL_MODULE gives of the
# same inputs, and nothing else.
#   cmake -DEMULATOR=... -DPLUGHOST=... -DMODULE=... -DREAL_MODULE=...
#         -DSOURCE_DIR=... -DWORK=... -DMISUSE=... -DINPUTS=... -DSTATUS=...
#         -DWRITTEN=ON|OFF [-DNOT_SAYS=...] [-DSAYS_1=...] -P misbehaving_open.cmake
string(REPLACE "," ";" inputs "${INPUTS}")
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

# Relative names, so that plughost names each file as the row expects.
function(open_with module outDir)
  execute_process(COMMAND ${EMULATOR} ${PLUGHOST} --module ${module} open ${inputs}
                          --out-dir ${outDir}
                  WORKING_DIRECTORY "${SOURCE_DIR}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(status "${status}" PARENT_SCOPE)
  # The Windows program ends its lines with CR LF.
  string(REPLACE "\r" "" err "${err}")
  set(err "${err}" PARENT_SCOPE)
  message("${out}${err}")
endfunction()

set(ENV{ZENTROW_MISUSE} "${MISUSE}")
open_with("${MODULE}" "${WORK}/misbehaving")
if(NOT status STREQUAL "${STATUS}")
  message(FATAL_ERROR "plughost exited with ${status}, not ${STATUS}")
endif()
set(i 1)
while(DEFINED SAYS_${i})
  string(FIND "${err}" "${SAYS_${i}}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "plughost did not say: ${SAYS_${i}}")
  endif()
  math(EXPR i "${i} + 1")
endwhile()
if(NOT "${NOT_SAYS}" STREQUAL "")
  string(FIND "${err}" "${NOT_SAYS}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "plughost said what it should not: ${NOT_SAYS}")
  endif()
endif()

file(GLOB written "${WORK}/misbehaving/*")
if(NOT WRITTEN)
  if(written)
    message(FATAL_ERROR "plughost left files behind: ${written}")
  endif()
  return()
endif()
unset(ENV{ZENTROW_MISUSE})
open_with("${REAL_MODULE}" "${WORK}/real")
file(GLOB real RELATIVE "${WORK}/real" "${WORK}/real/*")
list(LENGTH written count)
list(LENGTH real expected)
if(NOT count EQUAL expected OR count EQUAL 0)
  message(FATAL_ERROR "plughost wrote ${count} files, the real module ${expected}: ${written}")
endif()
foreach(name IN LISTS real)
  if(NOT EXISTS "${WORK}/misbehaving/${name}")
    message(FATAL_ERROR "no ${name}, which the real module writes")
  endif()
  file(SHA256 "${WORK}/misbehaving/${name}" got)
  file(SHA256 "${WORK}/real/${name}" want)
  if(NOT got STREQUAL want)
    message(FATAL_ERROR "${name} is not the image the real module gives")
  endif()
endforeach()
file(REMOVE_RECURSE "${WORK}")
