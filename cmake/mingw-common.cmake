# Shared part of the mingw-w64 toolchain files; the including file sets
# TERVANO_MINGW_TRIPLE, CMAKE_SYSTEM_PROCESSOR and TERVANO_WINE_ARCH.

set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: the win32 one has no std::mutex or std::thread,
# which GoogleTest needs.
set(CMAKE_C_COMPILER   ${TERVANO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TERVANO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${TERVANO_MINGW_TRIPLE}-windres)

# Resource scripts are UTF-8.
set(CMAKE_RC_FLAGS_INIT "--codepage=65001")

set(CMAKE_FIND_ROOT_PATH /usr/${TERVANO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The program must run on a bare Windows: link zlib statically (libz.a,
# not the import library of zlib1.dll).
set(ZLIB_USE_STATIC_LIBS ON)

# ctest runs the .exe files under Wine, with a private prefix in the top
# build folder (the binary dir of the project being configured).
get_filename_component(_tervano_wine_run ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${_tervano_wine_run} --arch ${TERVANO_WINE_ARCH} --prefix ${CMAKE_BINARY_DIR}/wineprefix)
