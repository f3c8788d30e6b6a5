# Runs a lifecycle host under Wine and passes on its output and status, with one exception.
#   cmake -DWINE=<wine> -DHOST=<host.exe> -DMODE=<mode> -P run_under_wine.cmake
# Wine's own Unix-side loader can trip over its exit bookkeeping when the process ends while one
# of Wine's threads is inside dlopen ("Inconsistency detected by ld.so: dl-fini.c"). That is a
# race inside Wine, seen once in about forty runs on a loaded machine; the module can neither
# cause nor prevent it. Such a run is repeated, at most twice. Any other failure fails at once.
cmake_minimum_required(VERSION 3.20)

foreach(attempt RANGE 1 3)
  execute_process(COMMAND "${WINE}" "${HOST}" "${MODE}" RESULT_VARIABLE status
                  OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(status EQUAL 0 OR NOT output MATCHES "Inconsistency detected by ld\\.so: dl-fini")
    break()
  endif()
  message(STATUS "attempt ${attempt}: Wine's loader failed at exit; running the host again")
endforeach()
message(STATUS "${output}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${HOST} ${MODE} ended with status ${status}")
endif()
