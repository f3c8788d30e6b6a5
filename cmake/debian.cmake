# The Debian package, linepeek_<version>_<arch>.deb, made by CPack's DEB generator next to the
# archive. It lays the same files out the way Debian does:
#   /usr/bin/linepeek-cli
#   /usr/lib/linepeek/linepeek.so
#   /usr/lib/linepeek/linepeek.ini -> /etc/linepeek/linepeek.ini
#   /etc/linepeek/linepeek.ini                          a conffile: upgrades keep the user's edits
#   /usr/share/man/man1/linepeek-cli.1.gz
#   /usr/share/bash-completion/completions/linepeek-cli
#   /usr/share/doc/linepeek/{README.md.gz,changelog.gz,copyright}
# The module reads the INI file named like itself in its own folder, so the link brings it the
# file in /etc; linepeek-cli looks for the module in ../lib/linepeek/ when none lies beside it.
#
# These install rules form the component "deb" and stay out of a plain cmake --install, which
# still installs the archives' flat folder. cmake/cpack_generator.cmake hands the component to
# the DEB generator.
#
# Needs dpkg, dpkg-shlibdeps (package dpkg-dev) and file, with which CPack finds the
# dependencies, and gzip; without them only the archive is made. Sets LINEPEEK_DEB_FILE_NAME
# when the package is made.

find_program(LINEPEEK_DPKG dpkg)
find_program(LINEPEEK_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(LINEPEEK_FILE file)
find_program(LINEPEEK_GZIP gzip)
if(NOT LINEPEEK_DPKG OR NOT LINEPEEK_DPKG_SHLIBDEPS OR NOT LINEPEEK_FILE OR NOT LINEPEEK_GZIP)
  message(STATUS "dpkg, dpkg-shlibdeps, file or gzip not found: no Debian package")
  return()
endif()
execute_process(COMMAND ${LINEPEEK_DPKG} --print-architecture OUTPUT_VARIABLE deb_architecture
                OUTPUT_STRIP_TRAILING_WHITESPACE)

# The package's Maintainer field; a release sets its own address.
set(LINEPEEK_DEB_MAINTAINER "${LINEPEEK_VENDOR} <linepeek@example.org>"
    CACHE STRING "Maintainer of the Debian package: name <address>")

set(deb_files ${PROJECT_BINARY_DIR}/deb)
file(MAKE_DIRECTORY ${deb_files})

function(linepeek_deb_install)
  install(${ARGN} COMPONENT deb EXCLUDE_FROM_ALL)
endfunction()

linepeek_deb_install(TARGETS linepeek-cli RUNTIME DESTINATION usr/bin)
# Loaded, never run: no execute bit.
linepeek_deb_install(TARGETS linepeek LIBRARY DESTINATION usr/lib/linepeek
                     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
linepeek_deb_install(FILES ${PROJECT_SOURCE_DIR}/samples/linepeek.ini DESTINATION etc/linepeek)
# Policy wants links between top-level folders absolute. install(FILES) copies a link as a link.
file(CREATE_LINK /etc/linepeek/linepeek.ini ${deb_files}/linepeek.ini SYMBOLIC)
linepeek_deb_install(FILES ${deb_files}/linepeek.ini DESTINATION usr/lib/linepeek)
linepeek_deb_install(FILES ${PROJECT_SOURCE_DIR}/cli/linepeek-cli.bash
                     DESTINATION usr/share/bash-completion/completions RENAME linepeek-cli)

# The manual page carries the version; pages and documents are compressed without a name or
# time stamp, so the same sources give the same package.
configure_file(${PROJECT_SOURCE_DIR}/cli/linepeek-cli.1.in ${deb_files}/linepeek-cli.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/README.md ${deb_files}/README.md COPYONLY)

# The changelog of the native package, written from CHANGELOG.md, whose newest entry must be
# the version built.
include(${CMAKE_CURRENT_LIST_DIR}/debian_changelog.cmake)
linepeek_debian_changelog(${PROJECT_SOURCE_DIR}/CHANGELOG.md ${deb_files}/changelog
                          "${LINEPEEK_DEB_MAINTAINER}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
file(STRINGS ${deb_files}/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^${PROJECT_NAME} \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "CHANGELOG.md has no entry for ${PROJECT_VERSION} on top")
endif()

# The copyright file in the machine-readable format, from LICENSE.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license_text)
if(NOT license_text MATCHES "Copyright \\(c\\) ([^\n]+)\n+(.*)$")
  message(FATAL_ERROR "LICENSE: no copyright line")
endif()
set(copyright_holder "${CMAKE_MATCH_1}")
string(STRIP "${CMAKE_MATCH_2}" license_body)
string(REGEX REPLACE "\n\n+" "\n.\n" license_body "${license_body}")
string(REPLACE "\n" "\n " license_body "${license_body}")
file(WRITE ${deb_files}/copyright
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: ${PROJECT_NAME}\n\n"
     "Files: *\nCopyright: ${copyright_holder}\nLicense: Expat\n ${license_body}\n")
file(APPEND ${deb_files}/copyright "${LINEPEEK_UCHARDET_COPYRIGHT}")
file(WRITE ${deb_files}/conffiles "/etc/linepeek/linepeek.ini\n")

set(deb_compressed ${deb_files}/linepeek-cli.1.gz ${deb_files}/README.md.gz
                   ${deb_files}/changelog.gz)
add_custom_command(OUTPUT ${deb_compressed}
                   COMMAND ${LINEPEEK_GZIP} -9nkf linepeek-cli.1 README.md changelog
                   DEPENDS ${deb_files}/linepeek-cli.1 ${deb_files}/README.md
                           ${deb_files}/changelog
                   WORKING_DIRECTORY ${deb_files} VERBATIM)
add_custom_target(linepeek_deb_files ALL DEPENDS ${deb_compressed})
linepeek_deb_install(FILES ${deb_files}/linepeek-cli.1.gz DESTINATION usr/share/man/man1)
linepeek_deb_install(FILES ${deb_files}/README.md.gz ${deb_files}/changelog.gz
                     ${deb_files}/copyright DESTINATION usr/share/doc/linepeek)

list(APPEND CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LINEPEEK_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${deb_files}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The synopsis is CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A content module for file managers that load plugins as shared objects. It adds
columns for text files: the first ten and the last three lines, the number of
lines, the encoding (UTF-8, UTF-16, 8-bit Western or Russian, DOS
pseudo-graphics, RTF or binary) and the type, and where its settings offer them
the line endings (CRLF, LF, CR or mixed) and the charset (windows-1250, KOI8-R,
Shift_JIS, GB18030 and many more), in which the lines can then be shown.
linepeek-cli shows the same columns in a terminal, as a table, CSV, TSV or JSON.")
# Read by cpack for each generator; it picks the install component and layout.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack_generator.cmake)
set(CPACK_LINEPEEK_DEB_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};deb;/")
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${deb_architecture})
set(LINEPEEK_DEB_FILE_NAME ${PROJECT_NAME}_${PROJECT_VERSION}_${deb_architecture}.deb)
