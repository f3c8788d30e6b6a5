# Builds the release archive with cpack, unpacks it into a fresh folder and checks it the way a
# user meets it:
#   - the archive holds one top folder with exactly the module, the CLI, linepeek.ini, README.md,
#     LICENSE and NOTICE, which carries the charset detector's licence;
#   - linepeek.ini is the sample, which sets every key to its default;
#   - the unpacked CLI finds the module beside it and prints the version;
#   - it shows the samples exactly as the build tree does without any settings file;
#   - the module reads the linepeek.ini beside it: SkipEmpty=1 there changes a line count;
#   - on Windows, the unpacked module carries its version resource.
#
#   cmake -DCPACK=... -DCPACK_CONFIG=... -DGENERATOR=... -DARCHIVE=... -DTOP=... -DMODULE_NAME=...
#         -DCLI_NAME=... -DBUILD_CLI=... -DSOURCE_DIR=... -DWORK=... -DVERSION=... [-DEMULATOR=...]
#         [-DVERSION_TEST=...] -P check_archive.cmake
cmake_minimum_required(VERSION 3.20)

function(fail)
  string(JOIN "" message ${ARGN})
  message(FATAL_ERROR "${message}")
endfunction()

# Runs the unpacked or the build tree's CLI from the source folder, so the sample paths it prints
# are the same relative paths for both.
function(run_cli cli out_var)
  execute_process(COMMAND ${EMULATOR} "${cli}" ${ARGN}
                  WORKING_DIRECTORY "${SOURCE_DIR}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    fail("${cli} ${ARGN}: exit ${status}\n${err}")
  endif()
  set(${out_var} "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/dist" "${WORK}/unpacked")

# --- The archive and its listing.
execute_process(COMMAND "${CPACK}" -G "${GENERATOR}" --config "${CPACK_CONFIG}" -B "${WORK}/dist"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(archive "${WORK}/dist/${ARCHIVE}")
if(NOT status EQUAL 0 OR NOT EXISTS "${archive}")
  fail("cpack did not make ${ARCHIVE} (exit ${status}):\n${out}${err}")
endif()

execute_process(COMMAND "${CMAKE_COMMAND}" -E tar tf "${archive}"
                RESULT_VARIABLE status OUTPUT_VARIABLE listing)
string(REPLACE "\n" ";" entries "${listing}")
set(files "")
foreach(entry IN LISTS entries)
  if(entry AND NOT entry MATCHES "/$")
    list(APPEND files "${entry}")
  endif()
endforeach()
list(SORT files)
set(expected "")
foreach(name ${CLI_NAME} ${MODULE_NAME} LICENSE NOTICE README.md linepeek.ini)
  list(APPEND expected "${TOP}/${name}")
endforeach()
list(SORT expected)
if(NOT files STREQUAL expected)
  fail("${ARCHIVE} holds\n  ${files}\ninstead of\n  ${expected}")
endif()

execute_process(COMMAND "${CMAKE_COMMAND}" -E tar xf "${archive}"
                WORKING_DIRECTORY "${WORK}/unpacked" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  fail("cannot unpack ${archive}")
endif()
set(top "${WORK}/unpacked/${TOP}")
set(cli "${top}/${CLI_NAME}")

file(READ "${top}/NOTICE" notice)
if(NOT notice MATCHES "uchardet=0\\.0\\.7-1" OR NOT notice MATCHES "MOZILLA PUBLIC LICENSE")
  fail("NOTICE lacks the uchardet source or the text of its licence")
endif()

# --- linepeek.ini is the sample, whose keys and defaults the settings tests hold against the
# module's key table.
file(READ "${top}/linepeek.ini" packed_ini HEX)
file(READ "${SOURCE_DIR}/samples/linepeek.ini" sample_ini HEX)
if(NOT packed_ini STREQUAL sample_ini)
  fail("the packed linepeek.ini differs from samples/linepeek.ini")
endif()

# --- The unpacked CLI loads the module beside it.
run_cli("${cli}" version --version)
if(NOT version STREQUAL "linepeek-cli ${VERSION}\n")
  fail("${CLI_NAME} --version printed '${version}', expected 'linepeek-cli ${VERSION}'")
endif()

# --- With the packed settings, every column of every sample equals the build tree's answer,
# where no settings file lies beside the module.
get_filename_component(build_folder "${BUILD_CLI}" DIRECTORY)
if(EXISTS "${build_folder}/linepeek.ini")
  fail("${build_folder}/linepeek.ini exists: the build tree's module must run on its defaults")
endif()
run_cli("${cli}" packed -r -f all -o tsv samples/files)
run_cli("${BUILD_CLI}" built -r -f all -o tsv samples/files)
if(NOT packed STREQUAL built)
  file(WRITE "${WORK}/packed.tsv" "${packed}")
  file(WRITE "${WORK}/built.tsv" "${built}")
  fail("the unpacked module answers differently from the build tree's, see ${WORK}/packed.tsv "
       "and ${WORK}/built.tsv")
endif()

# --- The module reads the linepeek.ini beside it. blank_lines.txt has six lines, three of them
# blank (empty, two spaces, a tab).
set(count_args -o tsv -f "Line count" samples/files/blank_lines.txt)
set(count_row "samples/files/blank_lines.txt\t")
run_cli("${cli}" counted ${count_args})
if(NOT counted MATCHES "\n${count_row}6\n$")
  fail("blank_lines.txt with the packed settings:\n${counted}")
endif()
file(READ "${top}/linepeek.ini" ini_text)
string(REGEX REPLACE "(^|\n)SkipEmpty=0" "\\1SkipEmpty=1" ini_text "${ini_text}")
file(WRITE "${top}/linepeek.ini" "${ini_text}")
run_cli("${cli}" skipped ${count_args})
if(NOT skipped MATCHES "\n${count_row}3\n$")
  fail("blank_lines.txt with SkipEmpty=1 in the unpacked linepeek.ini:\n${skipped}")
endif()

# --- The archive's module, stripped for release, still shows its version in its properties.
if(VERSION_TEST)
  set(ENV{LINEPEEK_MODULE_UNDER_TEST} ".\\${MODULE_NAME}")
  execute_process(COMMAND ${EMULATOR} "${VERSION_TEST}" WORKING_DIRECTORY "${top}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    fail("version resource of the packed ${MODULE_NAME}:\n${out}${err}")
  endif()
endif()

message(STATUS "${ARCHIVE}: contents, settings, version and answers as expected")
