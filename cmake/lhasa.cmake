# liblhasa for the Windows and WebAssembly trees: Debian ships it only for
# Linux, so its library is compiled here from Debian's source package, which
# scripts/fetch-lhasa.sh unpacks (scripts/install-deps.sh runs it). Nothing
# of its source is kept in the repository.
set(ZENTROW_LHASA_SOURCE "${PROJECT_SOURCE_DIR}/build/third_party/lhasa/lib" CACHE PATH
    "the folder holding liblhasa's lha_reader.c and public/lhasa.h")
if(NOT EXISTS "${ZENTROW_LHASA_SOURCE}/lha_reader.c" OR
   NOT EXISTS "${ZENTROW_LHASA_SOURCE}/public/lhasa.h")
  message(FATAL_ERROR "${ZENTROW_LHASA_SOURCE} is missing liblhasa: run scripts/fetch-lhasa.sh")
endif()

# The files its own Makefile.am builds into the library; the rest of lib/
# are included by these.
set(lhasa_sources crc16.c ext_header.c lha_arch_unix.c lha_arch_win32.c lha_decoder.c
    lha_endian.c lha_file_header.c lha_input_stream.c lha_basic_reader.c lha_reader.c
    macbinary.c null_decoder.c lh1_decoder.c lh5_decoder.c lh6_decoder.c lh7_decoder.c
    lhx_decoder.c lz5_decoder.c lzs_decoder.c pm1_decoder.c pm2_decoder.c)
list(TRANSFORM lhasa_sources PREPEND "${ZENTROW_LHASA_SOURCE}/")
add_library(zentrow_lhasa STATIC ${lhasa_sources})
target_include_directories(zentrow_lhasa PRIVATE "${ZENTROW_LHASA_SOURCE}")
target_include_directories(zentrow_lhasa SYSTEM PUBLIC "${ZENTROW_LHASA_SOURCE}/public")
# Its own code, built as its authors build it, without our warning set.
target_compile_options(zentrow_lhasa PRIVATE -w)
