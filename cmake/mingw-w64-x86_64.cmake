# Cross-build for 64-bit Windows with mingw-w64: the posix thread model, for std::thread and
# std::mutex in the tests, while the module links the win32 model's runtime
# (plugin/CMakeLists.txt). Tests run under Wine through CTest.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
# The module's own runtime: the win32 thread model, which needs no threads library.
set(LINEPEEK_MODULE_RUNTIME_CXX x86_64-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
find_program(LINEPEEK_WINE NAMES wine64 wine)
if(LINEPEEK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LINEPEEK_WINE})
endif()
