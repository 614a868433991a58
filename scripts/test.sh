#!/bin/bash
# Every test: installs what is missing, builds the native tree and the
# Windows tree, and runs both suites (the Windows one under wine).
#   scripts/test.sh
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

bash scripts/install-deps.sh || { echo "installing dependencies failed"; exit 1; }
source scripts/wine-env.sh

status=0
step() { echo; echo "== $*"; }
run() { "$@" || { echo "FAILED: $*"; status=1; }; }

step "native build"
run cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
run cmake --build build/native -j "$jobs"

step "Windows build (i686 mingw)"
run cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
run cmake --build build/win32 -j "$jobs"

step "native tests"
run ctest --test-dir build/native -j "$jobs" --output-on-failure

step "Windows tests under wine"
zentrow_wine_up "$root/build/win32"
run ctest --test-dir build/win32 --output-on-failure
zentrow_wine_down

echo
[ $status -eq 0 ] && echo "all test suites passed" || echo "some test suites FAILED"
exit $status
