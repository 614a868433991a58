# zlib for the WebAssembly build, which libspng needs: compiled here from
# Debian's source package, which scripts/fetch-zlib.sh unpacks
# (scripts/install-deps.sh runs it). Nothing of it is kept in the repository.
set(ZENTROW_ZLIB_SOURCE "${PROJECT_SOURCE_DIR}/build/third_party/zlib" CACHE PATH
    "the folder holding zlib's sources")
if(NOT EXISTS "${ZENTROW_ZLIB_SOURCE}/inflate.c")
  message(FATAL_ERROR "${ZENTROW_ZLIB_SOURCE}/inflate.c is missing: run scripts/install-deps.sh")
endif()
set(zlib_sources adler32 compress crc32 deflate inffast inflate inftrees trees uncompr zutil)
list(TRANSFORM zlib_sources PREPEND "${ZENTROW_ZLIB_SOURCE}/")
list(TRANSFORM zlib_sources APPEND ".c")
add_library(zentrow_zlib STATIC ${zlib_sources})
target_include_directories(zentrow_zlib SYSTEM PUBLIC "${ZENTROW_ZLIB_SOURCE}")
# Its own code, built as its authors build it, without our warning set.
target_compile_options(zentrow_zlib PRIVATE -w)
