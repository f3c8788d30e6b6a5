# Install layout and release archives. Everything a user needs lies flat in one folder: the
# module, linepeek.ini beside it (the module reads the INI file named like itself), the terminal
# host (it loads the module from its own folder), the README and the license. The module and
# the host install their own files; this adds the documents and sets up CPack:
#   cpack --config <build>/CPackConfig.cmake
# gives linepeek-<version>-win64.zip from the mingw build and
# linepeek-<version>-linux-x86_64.tar.gz from a native x86_64 Linux build, each holding one
# top folder of the same name. On Debian, cmake/debian.cmake adds the Debian package.

# A flat folder does not belong in /usr/local: without an explicit --prefix or
# CMAKE_INSTALL_PREFIX, install into the build tree.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX ${PROJECT_BINARY_DIR}/install CACHE PATH "Install folder" FORCE)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .
        COMPONENT runtime)

if(WIN32)
  set(linepeek_package_system win64)
  set(CPACK_GENERATOR ZIP)
else()
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" linepeek_package_system)
  set(CPACK_GENERATOR TGZ)
endif()

set(CPACK_PACKAGE_NAME linepeek)
set(CPACK_PACKAGE_VENDOR "${LINEPEEK_VENDOR}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
# include(CPack) leaves CPACK_PACKAGE_FILE_NAME set to the source archive's name; the tests
# read the binary archive's name from LINEPEEK_PACKAGE_FILE_NAME.
set(LINEPEEK_PACKAGE_FILE_NAME linepeek-${PROJECT_VERSION}-${linepeek_package_system})
set(CPACK_PACKAGE_FILE_NAME ${LINEPEEK_PACKAGE_FILE_NAME})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# Only the files above: no test helper or third-party install rule ends up in an archive.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};runtime;/")
set(CPACK_STRIP_FILES ON)
if(NOT WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/debian.cmake)
endif()
include(CPack)
