# zlib for the WebAssembly build, compiled from the sources of Debian's zlib
# package (scripts/install-deps.sh --web unpacks them with `apt-get source`
# into build/zlib-source), so the movies deflate exactly as with the zlib the
# native build links. Defines ZLIB::ZLIB as find_package(ZLIB) would.
set(TERVANO_ZLIB_SOURCE "" CACHE PATH "Unpacked Debian zlib source (default: build/zlib-source/zlib-*)")
if(NOT TERVANO_ZLIB_SOURCE)
  file(GLOB zlib_candidates LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/build/zlib-source/zlib-*)
  foreach(candidate ${zlib_candidates})
    if(IS_DIRECTORY ${candidate} AND EXISTS ${candidate}/deflate.c)
      set(TERVANO_ZLIB_SOURCE ${candidate})
    endif()
  endforeach()
endif()
if(NOT TERVANO_ZLIB_SOURCE OR NOT EXISTS ${TERVANO_ZLIB_SOURCE}/deflate.c)
  message(FATAL_ERROR "No zlib source for the web build: run scripts/install-deps.sh --web "
    "(or set TERVANO_ZLIB_SOURCE to an unpacked `apt-get source zlib`)")
endif()

# Only the in-memory stream functions: the core neither reads nor writes
# gzip files.
set(zlib_sources adler32 compress crc32 deflate infback inffast inflate inftrees trees uncompr zutil)
list(TRANSFORM zlib_sources PREPEND ${TERVANO_ZLIB_SOURCE}/)
list(TRANSFORM zlib_sources APPEND .c)
add_library(tervano_zlib STATIC ${zlib_sources})
target_include_directories(tervano_zlib SYSTEM PUBLIC ${TERVANO_ZLIB_SOURCE})
target_compile_options(tervano_zlib PRIVATE -O3 -w)
add_library(ZLIB::ZLIB ALIAS tervano_zlib)
