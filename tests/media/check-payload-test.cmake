# The payload check refuses a payload with a subfolder or a missing folder, naming the
# path, and accepts the demo payload.
#   cmake -DCHECK=check-payload.cmake -DDEMO=payload/demo -DWORK=scratch -P check-payload-test.cmake
function(run_check payload result output)
  execute_process(COMMAND ${CMAKE_COMMAND} -DVELVOR_PAYLOAD=${payload} -P ${CHECK}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(${result} ${rc} PARENT_SCOPE)
  # CMake wraps long messages: join the lines before looking for a path.
  string(REGEX REPLACE "\n *" " " joined "${out}${err}")
  set(${output} "${joined}" PARENT_SCOPE)
endfunction()

function(expect_refused payload path)
  run_check(${payload} rc out)
  if(rc EQUAL 0)
    message(FATAL_ERROR "the check accepted ${payload}, which has ${path}")
  endif()
  string(FIND "${out}" "${path}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the check refused ${payload} without naming ${path}:\n${out}")
  endif()
  message(STATUS "refused, naming ${path}")
endfunction()

# A subfolder, with a space in its name, among the files of samples/.
set(nested ${WORK}/nested)
file(REMOVE_RECURSE ${nested})
foreach(f plugin/velvor.8bf samples/canyon.jpg "samples/more photos/sunset.jpg" help/velvor.hlp)
  file(WRITE "${nested}/${f}" "x")
endforeach()
expect_refused(${nested} "${nested}/samples/more photos")

# A payload without its help files.
set(nohelp ${WORK}/nohelp)
file(REMOVE_RECURSE ${nohelp})
file(WRITE ${nohelp}/plugin/velvor.8bf "x")
file(WRITE ${nohelp}/samples/canyon.jpg "x")
expect_refused(${nohelp} "${nohelp}/help")

run_check(${DEMO} rc out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the check refused the demo payload:\n${out}")
endif()
message(STATUS "the demo payload passes")
