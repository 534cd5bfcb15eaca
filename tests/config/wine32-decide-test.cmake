# The configure decision on 32-bit Wine: disabled only on proof, else a missing loader fails.
include(${SOURCE}/cmake/wine32.cmake)
set(missing /nonexistent/velvor/wine)
velvor_wine32_decide(1 "no: Exec format error" ${missing} runs reason)
if(runs OR NOT reason MATCHES "cannot execute 32-bit programs")
  message(FATAL_ERROR "a machine that cannot execute 32-bit programs should disable the tests")
endif()
# On a machine that runs 32-bit programs, a missing loader stops the configure, naming it
# (the test's pass expression); reaching the end is the failure.
velvor_wine32_decide(0 "yes" ${missing} runs reason)
message(FATAL_ERROR "configured (runs=${runs}) without a 32-bit Wine")
