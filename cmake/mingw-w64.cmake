# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads), for example:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DVT_PUGIXML_SOURCE_DIR=<pugixml source>/src
# The programs are linked statically (CMakeLists.txt), so each .exe runs alone, except the Qt
# programs, which share Qt's C++ runtime DLLs. Wine is the tests' emulator when it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VT_MINGW x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${VT_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VT_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${VT_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VT_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(VT_WINE NAMES wine wine64)
if(VT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VT_WINE})
endif()
