# Fails when an include crosses the layers. Every #include "..." names a file of this tree in
# its own folder or a folder below it: base/ < platform/ < settings/ < analysis/ < plugin/, and
# cli/ reaches the module's code only through settings/settings_check.h. Outside platform/ (and
# the CLI's system_*.cpp and entry_*.cpp) every #include <...> names a C++ standard library
# header or a compiler's vector intrinsics header (<immintrin.h> and its kin): only platform/
# talks to the system. The one library the module links, the charset detector, is included by
# the one file that calls it.
#   cmake -DROOT=<source folder> [-DGIT=<git>] -P check_includes.cmake
# Tracked files when ROOT is a git checkout, else every source file found there.
cmake_minimum_required(VERSION 3.20)

set(folders base platform settings analysis plugin cli)
# What each folder's "..." includes may name: folders, or single files of another folder.
set(below_base base)
set(below_platform base platform)
set(below_settings base platform settings)
set(below_analysis base platform settings analysis)
set(below_plugin base platform settings analysis plugin)
set(below_cli base cli settings/settings_check.h)
set(source_pattern "\\.(h|hh|hpp|hxx|inl|ipp|c|cc|cpp|cxx)$")
set(exempt_pattern "^cli/(system|entry)_[^/]*$")
set(intrinsics_pattern "^[a-z0-9]*intrin\\.h$")
set(library_includes "analysis/charset.cpp:uchardet.h")

# C++17 and C++20, with the <c...> forms of the C library.
set(standard_headers
  algorithm any array atomic barrier bit bitset cassert ccomplex cctype cerrno cfenv cfloat
  charconv chrono cinttypes ciso646 climits clocale cmath codecvt compare complex concepts
  condition_variable coroutine csetjmp csignal cstdalign cstdarg cstdbool cstddef cstdint cstdio
  cstdlib cstring ctgmath ctime cuchar cwchar cwctype deque exception execution filesystem format
  forward_list fstream functional future initializer_list iomanip ios iosfwd iostream istream
  iterator latch limits list locale map memory memory_resource mutex new numbers numeric optional
  ostream queue random ranges ratio regex scoped_allocator semaphore set shared_mutex
  source_location span sstream stack stdexcept stop_token streambuf string string_view strstream
  syncstream system_error thread tuple type_traits typeindex typeinfo unordered_map
  unordered_set utility valarray variant vector version)

if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<source folder> [-DGIT=<git>] -P check_includes.cmake")
endif()

if(GIT AND EXISTS ${ROOT}/.git)
  execute_process(COMMAND ${GIT} ls-files -- ${folders} WORKING_DIRECTORY ${ROOT}
                  OUTPUT_VARIABLE files OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "git ls-files failed")
  endif()
  string(REPLACE "\n" ";" files "${files}")
else()
  set(files "")
  foreach(folder IN LISTS folders)
    file(GLOB_RECURSE found RELATIVE ${ROOT} ${ROOT}/${folder}/*)
    list(APPEND files ${found})
  endforeach()
endif()
list(FILTER files INCLUDE REGEX "${source_pattern}")
list(FILTER files EXCLUDE REGEX "${exempt_pattern}")
list(LENGTH files file_count)
if(file_count EQUAL 0)
  message(FATAL_ERROR "no sources found under ${ROOT}")
endif()

set(violations "")
foreach(file IN LISTS files)
  file(READ ${ROOT}/${file} text)
  # Semicolons would split the lines of the list; brackets would hide them from foreach.
  string(REGEX REPLACE "[][;\\]" "_" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  get_filename_component(folder ${file} DIRECTORY)
  string(REGEX REPLACE "/.*" "" layer "${file}")
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    if(NOT line MATCHES "^[ \t]*#[ \t]*include(_next)?[ \t]*(.*)$")
      continue()
    endif()
    set(operand "${CMAKE_MATCH_2}")
    if(operand MATCHES "^<([^>]+)>")
      set(header "${CMAKE_MATCH_1}")
      if(layer STREQUAL "platform" OR header IN_LIST standard_headers OR
         header MATCHES "${intrinsics_pattern}" OR "${file}:${header}" IN_LIST library_includes)
        continue()
      endif()
      string(APPEND violations
             "${file}:${number}: <${header}> is not a C++ standard header; only platform/ "
             "talks to the system\n")
    elseif(operand MATCHES "^\"([^\"]+)\"")
      set(header "${CMAKE_MATCH_1}")
      string(REGEX REPLACE "/.*" "" target "${header}")
      if(NOT target IN_LIST below_${layer} AND NOT header IN_LIST below_${layer})
        string(APPEND violations
               "${file}:${number}: \"${header}\" runs upward: ${layer}/ includes only from "
               "${below_${layer}}\n")
        continue()
      endif()
      if(EXISTS ${ROOT}/${header} OR EXISTS ${ROOT}/${folder}/${header})
        continue()
      endif()
      string(APPEND violations
             "${file}:${number}: \"${header}\" is not a file of this tree; system headers go "
             "through platform/\n")
    else()
      string(APPEND violations "${file}:${number}: an include that cannot be checked: ${operand}\n")
    endif()
  endforeach()
endforeach()

if(violations)
  message(NOTICE "${violations}")
  message(FATAL_ERROR "includes that cross the layers (listed above)")
endif()
message(STATUS "${file_count} files include only standard and project headers")
