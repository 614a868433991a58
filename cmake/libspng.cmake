# libspng for the Windows and WebAssembly trees: Debian ships it only for
# Linux, so its spng.c is compiled here from Debian's source package, which
# scripts/fetch-libspng.sh unpacks (scripts/install-deps.sh runs it), against
# Debian's mingw zlib, or zlib's own source for WebAssembly. Nothing of its
# source is kept in the repository.
set(ZENTROW_SPNG_SOURCE "${PROJECT_SOURCE_DIR}/build/third_party/libspng/spng" CACHE PATH
    "the folder holding libspng's spng.c and spng.h")
if(NOT EXISTS "${ZENTROW_SPNG_SOURCE}/spng.c")
  message(FATAL_ERROR "${ZENTROW_SPNG_SOURCE}/spng.c is missing: run scripts/install-deps.sh")
endif()
if(EMSCRIPTEN)
  include(${CMAKE_CURRENT_LIST_DIR}/zlib.cmake)
  set(zlib zentrow_zlib)
else()
  find_library(ZENTROW_MINGW_ZLIB NAMES libz.a z)
  if(NOT ZENTROW_MINGW_ZLIB)
    message(FATAL_ERROR "mingw zlib is missing: run scripts/install-deps.sh (libz-mingw-w64-dev)")
  endif()
  set(zlib ${ZENTROW_MINGW_ZLIB})
endif()

add_library(zentrow_spng STATIC "${ZENTROW_SPNG_SOURCE}/spng.c")
target_include_directories(zentrow_spng SYSTEM PUBLIC "${ZENTROW_SPNG_SOURCE}")
# A static library: no dllimport in its header.
target_compile_definitions(zentrow_spng PUBLIC SPNG_STATIC)
# Its own code, built as its authors build it, without our warning set.
target_compile_options(zentrow_spng PRIVATE -w)
target_link_libraries(zentrow_spng PUBLIC ${zlib})
