# Runs linepeek-cli once and checks its exit status, its stdout against a golden file or a
# pattern, and its stderr against a pattern.
#
#   cmake -DCLI=... [-DEMULATOR=a|b] -DWORKDIR=... -DARGS=a|b -DEXPECT_EXIT=N
#         [-DGOLDEN=file] [-DSTDOUT_REGEX=...] [-DSTDERR_REGEX=...] [-DINPUT=file]
#         [-DSAME_AS=c|d] [-DROWS_BEFORE_FAILURE=1] -P run_cli.cmake
#
# INPUT becomes standard input. With SAME_AS, a second run with those arguments must give the
# same stdout and exit status, and the same lines on stderr in any order. With
# ROWS_BEFORE_FAILURE, INPUT is a list of paths whose
# last one makes a worker fail, and stdout must hold the header and a row for every entry before
# those that the message names, whichever worker answered them.
#
# With the environment variable LINEPEEK_UPDATE_GOLDEN set, the golden file is rewritten from
# the output instead of compared.
cmake_minimum_required(VERSION 3.20)

string(REPLACE "|" ";" arg_list "${ARGS}")
string(REPLACE "|" ";" emulator "${EMULATOR}")
get_filename_component(out_dir "${OUT}" DIRECTORY)
file(MAKE_DIRECTORY "${out_dir}")
set(input_file)
if(DEFINED INPUT)
  set(input_file INPUT_FILE "${INPUT}")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/../support/wine_retry.cmake)
macro(run_cli args output error status)
  linepeek_run_retrying(${error} COMMAND ${emulator} "${CLI}" ${args}
    WORKING_DIRECTORY "${WORKDIR}"
    ${input_file}
    OUTPUT_FILE "${output}"
    ERROR_VARIABLE ${error}
    RESULT_VARIABLE ${status})
endmacro()

run_cli("${arg_list}" "${OUT}" err rc)

if(NOT "${rc}" STREQUAL "${EXPECT_EXIT}")
  message(FATAL_ERROR "exit status ${rc}, expected ${EXPECT_EXIT}\nstderr:\n${err}")
endif()
if(DEFINED STDERR_REGEX AND NOT err MATCHES "${STDERR_REGEX}")
  message(FATAL_ERROR "stderr does not match '${STDERR_REGEX}':\n${err}")
endif()
if(NOT DEFINED STDERR_REGEX AND NOT err STREQUAL "")
  message(FATAL_ERROR "unexpected stderr:\n${err}")
endif()
if(DEFINED STDOUT_REGEX)
  file(READ "${OUT}" out)
  if(NOT out MATCHES "${STDOUT_REGEX}")
    message(FATAL_ERROR "stdout does not match '${STDOUT_REGEX}':\n${out}")
  endif()
endif()
if(ROWS_BEFORE_FAILURE)
  file(STRINGS "${INPUT}" names)
  file(STRINGS "${OUT}" rows)
  list(LENGTH names listed)
  list(LENGTH rows shown)
  set(unanswered 1)
  if(err MATCHES "or one of the ([0-9]+) entries after it")
    math(EXPR unanswered "${CMAKE_MATCH_1} + 1")
  endif()
  math(EXPR expected "1 + ${listed} - ${unanswered}")
  if(NOT shown EQUAL expected)
    message(FATAL_ERROR "${shown} lines on stdout, expected ${expected}\nstderr:\n${err}")
  endif()
endif()
if(DEFINED GOLDEN)
  if(DEFINED ENV{LINEPEEK_UPDATE_GOLDEN})
    file(COPY_FILE "${OUT}" "${GOLDEN}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${OUT}" "${GOLDEN}"
                  RESULT_VARIABLE differs)
  if(differs)
    file(READ "${OUT}" out)
    message(FATAL_ERROR "output differs from ${GOLDEN}; got:\n${out}")
  endif()
endif()
if(DEFINED SAME_AS)
  string(REPLACE "|" ";" same_list "${SAME_AS}")
  run_cli("${same_list}" "${OUT}.same" same_err same_rc)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${OUT}" "${OUT}.same"
                  RESULT_VARIABLE differs)
  # Messages about entries come when the walk meets them or when their answers do, which
  # interleave differently with other jobs: the same lines must appear, in any order.
  string(REPLACE "\n" ";" err_lines "${err}")
  string(REPLACE "\n" ";" same_err_lines "${same_err}")
  list(SORT err_lines)
  list(SORT same_err_lines)
  if(differs OR NOT same_rc STREQUAL rc OR NOT same_err_lines STREQUAL err_lines)
    message(FATAL_ERROR "the run with ${SAME_AS} differs (exit status ${same_rc}, stdout in "
                        "${OUT}.same)\nstderr:\n${same_err}")
  endif()
endif()
