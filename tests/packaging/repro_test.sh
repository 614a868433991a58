#!/bin/bash
# Builds the DLL alone in two fresh trees, at two different times and paths,
# and requires the two Zentrow.8bi to be the same bytes, with no path of the
# machine that built them inside.
#   tests/packaging/repro_test.sh [BUILD_PARENT]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
parent=${1:-build}
fail() { echo "reproducibility test: $*" >&2; exit 1; }

for tree in repro-a repro-b; do
  rm -rf "${parent:?}/$tree"
  cmake -S . -B "$parent/$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null || fail "configuring $tree failed"
  cmake --build "$parent/$tree" -j "$(nproc)" --target zentrow_dll >/dev/null || fail "building $tree failed"
done
a=$parent/repro-a/bin/Zentrow.8bi
b=$parent/repro-b/bin/Zentrow.8bi
cmp "$a" "$b" || fail "the two builds of Zentrow.8bi differ"
if strings "$a" | grep -F -e "$root" -e "$(realpath "$parent")"; then
  fail "Zentrow.8bi holds the path of the tree it was built in"
fi
echo "Zentrow.8bi built twice, in $parent/repro-a and $parent/repro-b: identical ($(stat -c %s "$a") bytes)"
