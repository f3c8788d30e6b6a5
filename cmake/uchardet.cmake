# The charset detector behind "Charset": uchardet 0.0.7, from Debian's source package, which
# scripts/install-deps.sh fetches and checks against pinned hashes. Its own CMake files set
# global flags and build tools and tests, so the library is built here from its sources alone:
# static and position-independent, linked into linepeek_analysis, the same sources for the shared
# object and the DLL. Its warnings are its own: it is compiled without ours.
#
# It is used under the Mozilla Public License 1.1, one of its three licences. The archives carry
# NOTICE (cmake/NOTICE.in with the licence text) and the Debian package's copyright file a
# stanza of its own (LINEPEEK_UCHARDET_COPYRIGHT, read by debian.cmake).

set(LINEPEEK_UCHARDET_DIR ${PROJECT_SOURCE_DIR}/third_party/uchardet-0.0.7
    CACHE PATH "The unpacked source package of uchardet 0.0.7")
if(NOT EXISTS ${LINEPEEK_UCHARDET_DIR}/src/uchardet.h)
  message(FATAL_ERROR "The uchardet 0.0.7 source is missing from ${LINEPEEK_UCHARDET_DIR}. "
                      "Run scripts/install-deps.sh (as root) to fetch it, or point "
                      "LINEPEEK_UCHARDET_DIR at an unpacked copy.")
endif()

file(GLOB linepeek_uchardet_sources ${LINEPEEK_UCHARDET_DIR}/src/*.cpp
     ${LINEPEEK_UCHARDET_DIR}/src/LangModels/*.cpp)
add_library(linepeek_uchardet STATIC ${linepeek_uchardet_sources})
target_compile_features(linepeek_uchardet PRIVATE cxx_std_11)
target_compile_options(linepeek_uchardet PRIVATE -w)
# Under the sanitizers the detector is checked too, on every input the fuzzers give it. Its
# code gives them no coverage to steer by: its edges are not the module's to explore, and their
# compare hooks in its per-byte loops took half of request_fuzzer's time (perf, 20 s runs).
set(uchardet_sanitizers ${LINEPEEK_SANITIZE})
list(REMOVE_ITEM uchardet_sanitizers fuzzer-no-link)
list(JOIN uchardet_sanitizers "," uchardet_sanitizers)
if(uchardet_sanitizers)
  target_compile_options(linepeek_uchardet PRIVATE -fsanitize=${uchardet_sanitizers}
                         -fno-sanitize-recover=all)
endif()
# SYSTEM: our warnings do not reach into its header either.
target_include_directories(linepeek_uchardet SYSTEM INTERFACE ${LINEPEEK_UCHARDET_DIR}/src)

# The notice for the archives: what the module holds, under which licence, and where its source
# is; then the licence text.
file(READ ${LINEPEEK_UCHARDET_DIR}/COPYING LINEPEEK_UCHARDET_LICENSE)
configure_file(${CMAKE_CURRENT_LIST_DIR}/NOTICE.in ${PROJECT_BINARY_DIR}/NOTICE @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/NOTICE DESTINATION . COMPONENT runtime)

set(LINEPEEK_UCHARDET_COPYRIGHT [=[

Files: third_party/uchardet-0.0.7/*
Copyright: 1998, 2001, 2005 Netscape Communications Corporation
 2011 BYVoid <byvoid.kcp@gmail.com>
License: MPL-1.1
Comment: uchardet 0.0.7, unmodified, is linked statically into linepeek.so. Its
 authors offer it under the MPL-1.1, the GPL-2+ or the LGPL-2.1+; linepeek uses
 it under the MPL-1.1. Its source is Debian's source package uchardet 0.0.7-1
 (apt-get source uchardet=0.0.7-1).

License: MPL-1.1
 On Debian systems, the complete text of the Mozilla Public License 1.1 can be
 found in /usr/share/common-licenses/MPL-1.1.
]=])
