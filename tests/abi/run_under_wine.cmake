# Runs a lifecycle host under Wine and passes on its output and status; a run that Wine's own
# loader spoils at exit is repeated (tests/support/wine_retry.cmake).
#   cmake -DWINE=<wine> -DHOST=<host.exe> -DMODE=<mode> -P run_under_wine.cmake
cmake_minimum_required(VERSION 3.20)
include(${CMAKE_CURRENT_LIST_DIR}/../support/wine_retry.cmake)

linepeek_run_retrying(output COMMAND "${WINE}" "${HOST}" "${MODE}" RESULT_VARIABLE status
                      OUTPUT_VARIABLE output ERROR_VARIABLE output)
message(STATUS "${output}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${HOST} ${MODE} ended with status ${status}")
endif()
