# 32-bit Windows build with Debian's mingw-w64 cross compilers:
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
# Tests run under 32-bit Wine with the Chinese (936) ANSI code page.
set(TERVANO_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TERVANO_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
