# Whether the 32-bit tree's tests that need Wine run on this machine.
#
# velvor_wine32_decide(PROBE_STATUS PROBE_TEXT LOADER RUNS_VAR REASON_VAR)
#   PROBE_STATUS, PROBE_TEXT: exit code and answer of scripts/runs-32bit.sh.
#   LOADER: the 32-bit Wine loader, which must answer --version.
# Only a machine shown unable to execute a 32-bit program (the probe refused with "Exec
# format error") has them disabled, with REASON_VAR saying so. Anywhere else a 32-bit Wine
# that does not answer is a missing dependency, and configuring fails naming it: turning
# the tests off would let the run pass without them.
function(velvor_wine32_decide status text loader runs_var reason_var)
  if(status STREQUAL "1")
    set(${runs_var} OFF PARENT_SCOPE)
    set(${reason_var} "this machine cannot execute 32-bit programs" PARENT_SCOPE)
    return()
  endif()
  execute_process(COMMAND ${loader} --version RESULT_VARIABLE result
                  OUTPUT_QUIET ERROR_VARIABLE error ERROR_STRIP_TRAILING_WHITESPACE)
  if(NOT result STREQUAL "0")
    message(FATAL_ERROR "32-bit Wine does not run: '${loader} --version' failed (${result}"
                        "${error}; 32-bit probe: ${text}). Install 32-bit Wine "
                        "(Debian's wine32:i386, as scripts/install-deps.sh does), or set "
                        "VELVOR_WINE32_LOADER to its loader.")
  endif()
  set(${runs_var} ON PARENT_SCOPE)
  set(${reason_var} "" PARENT_SCOPE)
endfunction()
