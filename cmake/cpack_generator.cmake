# Read by cpack once per generator. The archives hold the flat folder of the "runtime"
# component under one top folder; the Debian package holds the "deb" component laid out from
# the root of the file system.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_LINEPEEK_DEB_PROJECTS}")
  set(CPACK_PACKAGING_INSTALL_PREFIX /)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
endif()
