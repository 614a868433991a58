#!/bin/bash
# Unpacks Debian's source package of zlib into DIR (default
# build/third_party/zlib) for the WebAssembly build, which compiles it
# itself for libspng: emscripten brings no zlib of its own without a
# download from elsewhere.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/debian-source.sh"
fetch_source zlib "${1:-$root/build/third_party/zlib}" inflate.c . '*.c' '*.h' LICENSE
