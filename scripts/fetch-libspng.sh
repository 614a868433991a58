#!/bin/bash
# Unpacks Debian's source package of libspng into DIR (default
# build/third_party/libspng) for the Windows and WebAssembly builds, which
# compile its spng.c themselves: Debian ships the library only for Linux.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/debian-source.sh"
fetch_source libspng "${1:-$root/build/third_party/libspng}" spng/spng.c spng \
  spng/spng.c spng/spng.h LICENSE
