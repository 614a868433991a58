#!/bin/bash
# Unpacks Debian's source package of lhasa into DIR (default
# build/third_party/lhasa) for the Windows and WebAssembly builds, which
# compile its library (lib/, the headers in lib/public) themselves: Debian
# ships liblhasa only for Linux. plughost opens KiSS sets' LHA archives
# through it.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/debian-source.sh"
dest="${1:-$root/build/third_party/lhasa}"
fetch_source lhasa "$dest" lib/lha_reader.c lib 'lib/*.c' 'lib/*.h' COPYING
# The public headers share names with the library's own, which include
# them as "public/NAME".
fetch_source lhasa "$dest/lib/public" lhasa.h . 'lib/public/*.h'
