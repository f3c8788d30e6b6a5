# Builds the Debian package with cpack and checks it the way a Debian user meets it:
#   - the control fields, the conffile, and dependencies that dpkg-shlibdeps found;
#   - the exact file list with modes, the settings link included;
#   - unpacked with dpkg -x into a scratch root: the settings link resolves to the file in /etc,
#     and the copyright file has a stanza for the charset detector linked into the module;
#   - the unpacked CLI finds the unpacked module in ../lib/linepeek/ and shows the samples
#     exactly as the build tree does;
#   - SkipEmpty=1 in the unpacked /etc file changes a line count;
#   - lintian, when given, reports no error.
# Everything happens in a fresh folder of its own under WORK, removed when all is well.
#
#   cmake -DCPACK=... -DCPACK_CONFIG=... -DDEB=<file name> -DVERSION=... -DBUILD_CLI=...
#         -DSOURCE_DIR=... -DWORK=... [-DLINTIAN=...] -P check_deb.cmake
cmake_minimum_required(VERSION 3.20)

function(fail)
  string(JOIN "" message ${ARGN})
  message(FATAL_ERROR "${message}\n(work folder kept: ${scratch})")
endfunction()

function(run out_var)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out
                  ERROR_VARIABLE err WORKING_DIRECTORY "${SOURCE_DIR}")
  if(NOT status EQUAL 0)
    string(JOIN " " command ${ARGN})
    fail("${command}: exit ${status}\n${out}${err}")
  endif()
  set(${out_var} "${out}" PARENT_SCOPE)
endfunction()

file(MAKE_DIRECTORY "${WORK}")
execute_process(COMMAND mktemp -d "${WORK}/deb.XXXXXX" OUTPUT_VARIABLE scratch
                OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot make a work folder under ${WORK}")
endif()

# --- The package.
run(ignored "${CPACK}" -G DEB --config "${CPACK_CONFIG}" -B "${scratch}/dist")
set(deb "${scratch}/dist/${DEB}")
if(NOT EXISTS "${deb}")
  fail("cpack did not make ${DEB}")
endif()

# --- Control fields and the conffile.
run(fields dpkg-deb --field "${deb}" Package Version Architecture Depends)
if(NOT fields MATCHES "^Package: linepeek\nVersion: ${VERSION}\nArchitecture: [a-z0-9]+\n")
  fail("${DEB} control fields:\n${fields}")
endif()
foreach(library libc6 libstdc\\+\\+6)
  if(NOT fields MATCHES "\nDepends: ([^\n]*, )?${library} \\(>= [^)]+\\)")
    fail("${DEB} does not depend on a version of ${library}:\n${fields}")
  endif()
endforeach()
run(ignored dpkg-deb --control "${deb}" "${scratch}/control")
file(READ "${scratch}/control/conffiles" conffiles)
if(NOT conffiles STREQUAL "/etc/linepeek/linepeek.ini\n")
  fail("${DEB} conffiles:\n${conffiles}")
endif()

# --- Every file with its mode; folders are implied.
run(listing dpkg-deb --contents "${deb}")
string(REPLACE "\n" ";" lines "${listing}")
set(files "")
foreach(line IN LISTS lines)
  if(line MATCHES "^([-l][rwx-]+) root/root +[0-9]+ [-0-9]+ [:0-9]+ \\./(.+)$")
    list(APPEND files "${CMAKE_MATCH_1} ${CMAKE_MATCH_2}")
  elseif(NOT line MATCHES "^drwxr-xr-x root/root " AND NOT line STREQUAL "")
    fail("${DEB}: unexpected entry: ${line}")
  endif()
endforeach()
list(SORT files)
set(expected
    "-rw-r--r-- etc/linepeek/linepeek.ini"
    "-rwxr-xr-x usr/bin/linepeek-cli"
    "-rw-r--r-- usr/lib/linepeek/linepeek.so"
    "-rw-r--r-- usr/share/bash-completion/completions/linepeek-cli"
    "-rw-r--r-- usr/share/doc/linepeek/README.md.gz"
    "-rw-r--r-- usr/share/doc/linepeek/changelog.gz"
    "-rw-r--r-- usr/share/doc/linepeek/copyright"
    "-rw-r--r-- usr/share/man/man1/linepeek-cli.1.gz"
    "lrwxrwxrwx usr/lib/linepeek/linepeek.ini -> /etc/linepeek/linepeek.ini")
list(SORT expected)
if(NOT files STREQUAL expected)
  string(REPLACE ";" "\n  " files "${files}")
  string(REPLACE ";" "\n  " expected "${expected}")
  fail("${DEB} holds\n  ${files}\ninstead of\n  ${expected}")
endif()

# --- Unpacked into a scratch root. The link is absolute, so outside a real installation it
# would reach the machine's own /etc: check its target inside the root, then point it there.
set(root "${scratch}/root")
run(ignored dpkg -x "${deb}" "${root}")
set(link "${root}/usr/lib/linepeek/linepeek.ini")
file(READ_SYMLINK "${link}" target)
if(NOT target STREQUAL "/etc/linepeek/linepeek.ini" OR NOT EXISTS "${root}${target}"
   OR IS_SYMLINK "${root}${target}")
  fail("${link} points at '${target}', which is not a file in the package")
endif()
file(REMOVE "${link}")
file(CREATE_LINK "${root}${target}" "${link}" SYMBOLIC)

# --- The copyright file names the charset detector linked into the module, and its licence.
file(READ "${root}/usr/share/doc/linepeek/copyright" copyright)
if(NOT copyright MATCHES "\nFiles: third_party/uchardet-0\\.0\\.7/\\*\n[^\n]*\n[^\n]*\nLicense: MPL-1\\.1\n")
  fail("${DEB}: the copyright file has no stanza for uchardet under the MPL-1.1:\n${copyright}")
endif()

# --- The unpacked CLI loads the unpacked module and answers as the build tree does, whose
# module runs on its defaults.
set(cli "${root}/usr/bin/linepeek-cli")
run(version "${cli}" --version)
if(NOT version STREQUAL "linepeek-cli ${VERSION}\n")
  fail("the unpacked linepeek-cli --version printed '${version}'")
endif()
run(unpacked "${cli}" -r -f all -o tsv samples/files)
run(built "${BUILD_CLI}" -r -f all -o tsv samples/files)
if(NOT unpacked STREQUAL built)
  file(WRITE "${scratch}/unpacked.tsv" "${unpacked}")
  file(WRITE "${scratch}/built.tsv" "${built}")
  fail("the unpacked package answers differently from the build tree, see unpacked.tsv and "
       "built.tsv")
endif()

# --- The module reads /etc/linepeek/linepeek.ini. blank_lines.txt has six lines, three of them
# blank.
set(count_args -o tsv -f "Line count" samples/files/blank_lines.txt)
set(ini "${root}/etc/linepeek/linepeek.ini")
file(READ "${ini}" ini_text)
string(REGEX REPLACE "(^|\n)SkipEmpty=0" "\\1SkipEmpty=1" skipping "${ini_text}")
if(skipping STREQUAL ini_text)
  fail("${ini} has no line SkipEmpty=0")
endif()
file(WRITE "${ini}" "${skipping}")
run(skipped "${cli}" ${count_args})
if(NOT skipped MATCHES "\nsamples/files/blank_lines.txt\t3\n$")
  fail("blank_lines.txt with SkipEmpty=1 in the unpacked /etc/linepeek/linepeek.ini:\n"
       "${skipped}")
endif()

# --- lintian: warnings are shown, errors fail.
if(LINTIAN)
  execute_process(COMMAND "${LINTIAN}" --fail-on error "${deb}" RESULT_VARIABLE status
                  OUTPUT_VARIABLE out ERROR_VARIABLE err)
  message(STATUS "lintian ${DEB}:\n${out}")
  if(NOT status EQUAL 0)
    fail("lintian found errors in ${DEB} (exit ${status}):\n${out}${err}")
  endif()
endif()

file(REMOVE_RECURSE "${scratch}")
message(STATUS "${DEB}: fields, files, settings link, answers and lintian as expected")
