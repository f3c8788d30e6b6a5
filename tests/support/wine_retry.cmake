# linepeek_run_retrying(<error variable> <execute_process arguments...>)
# Wine's own Unix-side loader can trip over its exit bookkeeping when the process ends while one
# of Wine's threads is inside dlopen ("Inconsistency detected by ld.so: dl-fini.c"). That is a
# race inside Wine, seen once in about forty runs on a loaded machine; neither the module nor the
# CLI can cause or prevent it. A run whose <error variable> shows it is repeated, at most twice.
macro(linepeek_run_retrying error_var)
  foreach(linepeek_attempt RANGE 1 3)
    execute_process(${ARGN})
    if(NOT "${${error_var}}" MATCHES "Inconsistency detected by ld\\.so: dl-fini")
      break()
    endif()
    message(STATUS "attempt ${linepeek_attempt}: Wine's loader failed at exit; running again")
  endforeach()
endmacro()
