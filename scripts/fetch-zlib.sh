#!/bin/bash
# Unpacks Debian's source package of zlib into DIR (default
# build/third_party/zlib) for the WebAssembly build, which compiles it
# itself for libspng (and minizip, beside it, for the page): emscripten
# brings no zlib of its own without a download from elsewhere.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/debian-source.sh"
fetch_source zlib "${1:-$root/build/third_party/zlib}" inflate.c . '*.c' '*.h' LICENSE
# The page writes the zip archive of a conversion with zlib's own minizip
# (its zip writer and the I/O interface it writes through), from the same
# source package.
fetch_source zlib "$(dirname "${1:-$root/build/third_party/zlib}")/minizip" zip.c . \
  contrib/minizip/zip.c contrib/minizip/zip.h contrib/minizip/ioapi.c contrib/minizip/ioapi.h \
  contrib/minizip/crypt.h
