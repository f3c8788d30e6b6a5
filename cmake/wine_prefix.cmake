# Prepares the Wine prefix that the Windows tests run in, once per build tree.
#   cmake -DWINE=<wine> -DPREFIX=<folder> -P wine_prefix.cmake
# Quiet and unattended: no Mono or Gecko installer, no display, no crash dialog. A prefix that
# is already set up is left as it is, so repeated test runs pay nothing.
cmake_minimum_required(VERSION 3.20)

if(EXISTS "${PREFIX}/system.reg" AND EXISTS "${PREFIX}/.linepeek-ready")
  return()
endif()

set(ENV{WINEPREFIX} "${PREFIX}")
set(ENV{WINEDEBUG} "-all")
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=")
unset(ENV{DISPLAY})
unset(ENV{WAYLAND_DISPLAY})

file(MAKE_DIRECTORY "${PREFIX}")
execute_process(COMMAND "${WINE}" wineboot --init RESULT_VARIABLE status OUTPUT_QUIET
                ERROR_QUIET TIMEOUT 240)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "wineboot --init failed in ${PREFIX}: ${status}")
endif()
# A crashing test prints its backtrace instead of waiting for someone to close a dialog.
execute_process(COMMAND "${WINE}" reg add "HKCU\\Software\\Wine\\WineDbg" /v ShowCrashDialog
                        /t REG_DWORD /d 0 /f
                RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET TIMEOUT 120)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "could not turn off the Wine crash dialog: ${status}")
endif()
file(TOUCH "${PREFIX}/.linepeek-ready")
message(STATUS "Wine prefix ready: ${PREFIX}")
