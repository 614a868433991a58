#!/bin/bash
# Builds each DLL, 32-bit and 64-bit, alone in two fresh trees at two
# different times and paths, and requires the two Zentrow.8bi of each to be
# the same bytes, with no path of the machine that built them inside. The
# trees are removed once compared.
#   tests/packaging/repro_test.sh [BUILD_PARENT]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
parent=${1:-build}
fail() { echo "reproducibility test: $*" >&2; exit 1; }

build_dll() {  # TREE TRIPLET
  local tree=$1 triplet=$2
  rm -rf "${parent:?}/$tree"
  cmake -S . -B "$parent/$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$triplet.cmake" >/dev/null || fail "configuring $tree failed"
  cmake --build "$parent/$tree" -j "$(nproc)" --target zentrow_dll >/dev/null || fail "building $tree failed"
}

for build in win32:i686 win64:x86_64; do
  name=${build%%:*} triplet=${build##*:}
  build_dll "repro-$name-a" "$triplet"
  build_dll "repro-$name-b" "$triplet"
  a=$parent/repro-$name-a/bin/Zentrow.8bi
  b=$parent/repro-$name-b/bin/Zentrow.8bi
  cmp "$a" "$b" || fail "the two builds of the $name Zentrow.8bi differ"
  if strings "$a" | grep -F -e "$root" -e "$(realpath "$parent")"; then
    fail "the $name Zentrow.8bi holds the path of the tree it was built in"
  fi
  echo "$name Zentrow.8bi built twice, in $parent/repro-$name-a and -b: identical ($(stat -c %s "$a") bytes)"
  # Built only to be compared: not kept.
  rm -rf "${parent:?}/repro-$name-a" "${parent:?}/repro-$name-b"
done
