# Checks that the objects built for one instruction set share no code with the rest of the
# module: their only global symbol is the kernel's entry point, and nothing in them runs at load.
#   cmake -DTOOL=<nm> -DOBJECTS=<files> -DENTRY=<name part> -P check_kernel_object.cmake
# A weak or COMDAT function there (an inline function they emitted) may be picked by the linker
# for callers that run on any CPU; a static initializer would run their instructions at load.
cmake_minimum_required(VERSION 3.20)

execute_process(COMMAND "${TOOL}" --defined-only ${OBJECTS} RESULT_VARIABLE status
                OUTPUT_VARIABLE listing ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "check_kernel_object: ${TOOL} failed (${status}): ${errors}")
endif()
string(REPLACE "\r" "" listing "${listing}")
string(REPLACE ";" "\\;" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")

set(entries 0)
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^[0-9a-fA-F]* *([A-Za-z]) (.+)$")
    continue()
  endif()
  set(type ${CMAKE_MATCH_1})
  set(name ${CMAKE_MATCH_2})
  if(name MATCHES "_GLOBAL__sub_I|_GLOBAL__I_")
    message(FATAL_ERROR "check_kernel_object: a static initializer: ${name}")
  elseif(type MATCHES "^[A-Zu]$")
    if(NOT name MATCHES "${ENTRY}")
      message(FATAL_ERROR "check_kernel_object: a shared symbol: ${type} ${name}")
    endif()
    math(EXPR entries "${entries} + 1")
  endif()
endforeach()
if(NOT entries EQUAL 1)
  message(FATAL_ERROR "check_kernel_object: ${entries} symbols match ${ENTRY}, expected 1")
endif()
