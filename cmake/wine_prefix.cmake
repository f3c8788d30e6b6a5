# Prepares the Wine prefix that the Windows tests run in, once per build tree, and starts the
# server that they all share; or stops that server again. Runs in the tests' Wine environment
# (LINEPEEK_WINE_ENV in tests/CMakeLists.txt), which names the prefix in WINEPREFIX.
#   cmake -DWINE=<wine> -DWINESERVER=<wineserver> [-DACTION=start|stop] -P wine_prefix.cmake
# Quiet and unattended: no crash dialog, and the environment brings no Mono or Gecko installer
# and no display. A prefix that is already set up is left as it is, so repeated test runs pay
# nothing.
#
# CTest starts several Wine processes at once. When none finds a server running, each starts
# its own and all but one lose the race ("recvmsg: Connection reset by peer"), so the server is
# started here, before them, and kept while no test runs for a while. The prefix's system
# processes (services, devices, the desktop) are booted here too. Whatever starts the server or
# those processes hands them its standard streams, and CTest waits for a test's output pipe to
# close, so a test that started them would last as long as they do; here they get /dev/null.
cmake_minimum_required(VERSION 3.20)

set(PREFIX "$ENV{WINEPREFIX}")
foreach(var WINE WINESERVER PREFIX)
  if("${${var}}" STREQUAL "")
    message(FATAL_ERROR "wine_prefix: ${var} is not set")
  endif()
endforeach()
if(NOT DEFINED ACTION)
  set(ACTION start)
endif()

# Seconds the server stays up without any Wine process: far longer than the gap between two
# tests, short enough that a run stopped halfway leaves nothing behind for long.
set(server_linger 120)

# wine_step(<what> <command...>): runs a step detached from the test's streams; fails on error.
function(wine_step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status TIMEOUT 240 INPUT_FILE /dev/null
                  OUTPUT_FILE /dev/null ERROR_FILE /dev/null)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "wine_prefix: ${what} failed in ${PREFIX}: ${status}")
  endif()
endfunction()

# Ends the server of this prefix and every Wine process on it; nothing when none runs.
function(stop_server)
  if(EXISTS "${PREFIX}")
    execute_process(COMMAND "${WINESERVER}" -k TIMEOUT 30 INPUT_FILE /dev/null
                    OUTPUT_FILE /dev/null ERROR_FILE /dev/null)
    execute_process(COMMAND "${WINESERVER}" -w TIMEOUT 30 INPUT_FILE /dev/null
                    OUTPUT_FILE /dev/null ERROR_FILE /dev/null)
  endif()
endfunction()

if(ACTION STREQUAL "stop")
  stop_server()
  return()
elseif(NOT ACTION STREQUAL "start")
  message(FATAL_ERROR "wine_prefix: unknown ACTION '${ACTION}'")
endif()

# A server left by an earlier run may be about to exit; start from a known one.
stop_server()
file(MAKE_DIRECTORY "${PREFIX}")
wine_step("starting wineserver" "${WINESERVER}" -p${server_linger})

if(NOT EXISTS "${PREFIX}/system.reg" OR NOT EXISTS "${PREFIX}/.linepeek-ready")
  # Creates the prefix and boots it.
  wine_step("wineboot --init" "${WINE}" wineboot --init)
  # A crashing test prints its backtrace instead of waiting for someone to close a dialog.
  wine_step("turning off the crash dialog" "${WINE}" reg add "HKCU\\Software\\Wine\\WineDbg"
            /v ShowCrashDialog /t REG_DWORD /d 0 /f)
  file(TOUCH "${PREFIX}/.linepeek-ready")
  message(STATUS "Wine prefix ready: ${PREFIX}")
else()
  wine_step("booting the prefix" "${WINE}" wineboot)
endif()
message(STATUS "wineserver running for ${PREFIX}")
