# zlib's minizip for the page, which writes the zip archive of a
# conversion with it: its zip writer and the I/O interface it writes
# through, compiled here from Debian's zlib source package as zlib is
# (scripts/fetch-zlib.sh unpacks both). Nothing of it is kept in the
# repository.
set(ZENTROW_MINIZIP_SOURCE "${PROJECT_SOURCE_DIR}/build/third_party/minizip" CACHE PATH
    "the folder holding minizip's sources")
if(NOT EXISTS "${ZENTROW_MINIZIP_SOURCE}/zip.c")
  message(FATAL_ERROR "${ZENTROW_MINIZIP_SOURCE}/zip.c is missing: run scripts/install-deps.sh")
endif()
add_library(zentrow_minizip STATIC "${ZENTROW_MINIZIP_SOURCE}/zip.c" "${ZENTROW_MINIZIP_SOURCE}/ioapi.c")
target_include_directories(zentrow_minizip SYSTEM PUBLIC "${ZENTROW_MINIZIP_SOURCE}")
target_link_libraries(zentrow_minizip PUBLIC zentrow_zlib)
# No passwords, and no file of its own: the page hands it its I/O.
target_compile_definitions(zentrow_minizip PUBLIC NOCRYPT NOUNCRYPT PRIVATE IOAPI_NO_64)
# Its own code, built as its authors build it, without our warning set.
target_compile_options(zentrow_minizip PRIVATE -w)
