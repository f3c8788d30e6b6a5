# Fails when clang-format would change any tracked .cpp or .h file.
execute_process(COMMAND ${GIT} ls-files -- "*.cpp" "*.h" WORKING_DIRECTORY ${ROOT}
                OUTPUT_VARIABLE files OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "git ls-files failed")
endif()
string(REPLACE "\n" ";" files "${files}")
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${files} WORKING_DIRECTORY ${ROOT}
                RESULT_VARIABLE status ERROR_VARIABLE report)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "not formatted (run clang-format -i on these):\n${report}")
endif()
