# Checks the binary interface of the built module, as a host sees it.
#   cmake -DCHECK=exports|imports -DTOOL=<nm or objdump> -DMODULE=<file> -P check_module.cmake
# exports: the module defines exactly ContentGetSupportedField, ContentGetValue and
#          ContentGetValueW (ELF: nm -D --defined-only; PE: the export name table of objdump -p).
# imports: a PE module imports only system DLLs, so it loads on a plain Windows.
cmake_minimum_required(VERSION 3.20)

set(expected_exports ContentGetSupportedField ContentGetValue ContentGetValueW)
# KERNEL32 and the C run-time that mingw-w64 links against (msvcrt, or the UCRT and its
# api-ms-win-crt-* forwarders); everything else would have to ship beside the module.
set(system_dll_pattern "^(kernel32|msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+)\\.dll$")

foreach(var CHECK TOOL MODULE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_module: ${var} is not set")
  endif()
endforeach()
if(NOT EXISTS "${MODULE}")
  message(FATAL_ERROR "check_module: no module at ${MODULE}")
endif()

string(TOLOWER "${MODULE}" module_lower)
if(module_lower MATCHES "\\.dll$")
  set(tool_args -p "${MODULE}")
else()
  set(tool_args -D --defined-only "${MODULE}")
endif()
execute_process(COMMAND "${TOOL}" ${tool_args} RESULT_VARIABLE status OUTPUT_VARIABLE listing
                ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "check_module: ${TOOL} failed (${status}): ${errors}")
endif()
string(REPLACE "\r" "" listing "${listing}")
string(REPLACE ";" "\\;" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")

set(found_exports "")
set(found_imports "")
set(in_name_table OFF)
foreach(line IN LISTS lines)
  if(module_lower MATCHES "\\.dll$")
    # objdump -p: "[Ordinal/Name Pointer] Table" is followed by "\t[   0] Name" rows up to a
    # blank line; each import is a "\tDLL Name: KERNEL32.dll" line.
    if(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
      set(in_name_table ON)
    elseif(in_name_table AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] +([^ \t]+)[ \t]*$")
      list(APPEND found_exports "${CMAKE_MATCH_1}")
    elseif(in_name_table AND line MATCHES "^[ \t]*$")
      set(in_name_table OFF)
    elseif(line MATCHES "^[ \t]*DLL Name: +([^ \t]+)")
      list(APPEND found_imports "${CMAKE_MATCH_1}")
    endif()
  elseif(line MATCHES "^[0-9a-fA-F]* *[A-Za-z] +([^ \t@]+)")
    # nm: "<address> <type> <name>[@version]"; the address column may be blank.
    list(APPEND found_exports "${CMAKE_MATCH_1}")
  endif()
endforeach()

if(CHECK STREQUAL "exports")
  list(REMOVE_DUPLICATES found_exports)
  list(SORT found_exports)
  if(NOT found_exports STREQUAL expected_exports)
    message(FATAL_ERROR "check_module: ${MODULE} exports [${found_exports}], "
                        "expected exactly [${expected_exports}]")
  endif()
  message(STATUS "exports: ${found_exports}")
elseif(CHECK STREQUAL "imports")
  if(NOT module_lower MATCHES "\\.dll$")
    message(FATAL_ERROR "check_module: import check needs a DLL, got ${MODULE}")
  endif()
  if(NOT found_imports)
    message(FATAL_ERROR "check_module: no import table found in ${MODULE}")
  endif()
  set(foreign "")
  foreach(dll IN LISTS found_imports)
    string(TOLOWER "${dll}" dll_lower)
    if(NOT dll_lower MATCHES "${system_dll_pattern}")
      list(APPEND foreign "${dll}")
    endif()
  endforeach()
  if(foreign)
    message(FATAL_ERROR "check_module: ${MODULE} imports non-system DLLs [${foreign}]")
  endif()
  message(STATUS "imports: ${found_imports}")
else()
  message(FATAL_ERROR "check_module: unknown CHECK '${CHECK}'")
endif()
