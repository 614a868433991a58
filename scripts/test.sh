#!/bin/bash
# Every test: installs what is missing, builds the native tree, the two
# Windows trees (32- and 64-bit) and the WebAssembly tree, runs the four
# suites (the Windows ones under wine, the WebAssembly one under Node.js)
# and checks that the four builds read the real palettes of
# ../shared/kcf-corpus alike; tests the page in headless Chromium; installs
# the native tree and runs what it installed; builds, tests through
# gimp-console-3.0 and packages the GIMP 3 plug-in in a Debian 13 root
# (scripts/gimp3.sh, which makes that root once and keeps it); runs the
# Windows zips unpacked, builds each DLL twice to show it
# is the same bytes each time; then the native suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer, and each fuzz target for
# a minute (scripts/fuzz.sh runs them longer). A rerun keeps the build trees
# and their wine prefixes and rebuilds only what changed.
#   scripts/test.sh [--help]
# Exit status: 0 when every suite passed; 1 when one failed; 2 for an
# argument it does not take.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

source scripts/no-arguments.sh "$0" "$@"

# The real palettes are read by the tests of every build: without them
# nothing is shown, so say so before an hour of building.
if [ ! -d ../shared/kcf-corpus ]; then
  echo "the real palettes are missing: $(cd .. && pwd)/shared/kcf-corpus is not a folder (the tests read the KiSS palettes there)"
  exit 1
fi

bash scripts/install-deps.sh || { echo "installing dependencies failed"; exit 1; }
source scripts/wine-env.sh

status=0
step() { echo; echo "== $*"; }
run() { "$@" || { echo "FAILED: $*"; status=1; }; }

step "native build"
run cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON >/dev/null
run cmake --build build/native -j "$jobs"

# A tree configured with another toolchain keeps it in its cache: only then
# start afresh. A tree of this toolchain is kept, with its wine prefix, and
# the build redoes only what changed.
windows_build() {  # TREE TRIPLET
  local tree=$1 triplet=$2
  local toolchain="$root/cmake/mingw-$triplet.cmake"
  step "Windows build ($triplet mingw)"
  if [ -f "build/$tree/CMakeCache.txt" ] &&
     ! grep -qxF -e "CMAKE_TOOLCHAIN_FILE:FILEPATH=$toolchain" \
       -e "CMAKE_TOOLCHAIN_FILE:UNINITIALIZED=$toolchain" "build/$tree/CMakeCache.txt"; then
    echo "build/$tree was configured with another toolchain: building it afresh"
    rm -rf "build/$tree"
  fi
  run cmake -S . -B "build/$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
  run cmake --build "build/$tree" -j "$jobs"
}
windows_build win32 i686
windows_build win64 x86_64

step "WebAssembly build (emscripten): the module, the host and palette layers, the page"
if [ -f build/web/CMakeCache.txt ] &&
   ! grep -q "^CMAKE_TOOLCHAIN_FILE:.*=$root/cmake/emscripten.cmake\$" build/web/CMakeCache.txt; then
  rm -rf build/web
fi
run cmake -S . -B build/web -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_TESTING=ON \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/emscripten.cmake" >/dev/null
run cmake --build build/web -j "$jobs"

# Each build's corpus test writes what every real palette gave; stale files
# must not stand in for a run that did not write them.
rm -f build/{native,win32,win64,web}/kcf-corpus-results.txt

step "native tests"
run ctest --test-dir build/native -j "$jobs" --output-on-failure

step "WebAssembly tests under Node.js"
run ctest --test-dir build/web --output-on-failure

for tree in win32 win64; do
  step "Windows tests under wine ($tree)"
  zentrow_wine_up "$root/build/$tree"
  run ctest --test-dir "build/$tree" --output-on-failure
  zentrow_wine_down
done

step "real palettes: the native, both Windows and the WebAssembly builds agree byte for byte"
# CI always places the corpus: without it nothing here is shown.
if [ -d ../shared/kcf-corpus ]; then
  run cmp build/native/kcf-corpus-results.txt build/win32/kcf-corpus-results.txt &&
    run cmp build/native/kcf-corpus-results.txt build/win64/kcf-corpus-results.txt &&
    run cmp build/native/kcf-corpus-results.txt build/web/kcf-corpus-results.txt &&
    echo "$(wc -l < build/native/kcf-corpus-results.txt) palettes: the same answers and images"
else
  echo "FAILED: the real palettes are missing: ../shared/kcf-corpus is not a folder"
  status=1
fi

step "the Linux plughost reads both DLLs' property lists, as Windows does"
for tree in win32 win64; do
  native=$(build/native/bin/plughost info "build/$tree/bin/Zentrow.8bi" 2>&1) &&
    [ "$(grep -c 'entry point: *ENTRYPOINT' <<<"$native")" = 1 ] &&
    echo "build/$tree/bin/Zentrow.8bi: $(grep '^code:\|^name:' <<<"$native" | tr -s ' ' | paste -sd ';')" ||
    { echo "FAILED: plughost info build/$tree/bin/Zentrow.8bi: $native"; status=1; }
done

step "installed tree and Linux packages (.tar.gz, .deb)"
run bash tests/packaging/install_test.sh build/native

step "GIMP 3: its plug-in built, tested through gimp-console-3.0 and packaged in a Debian 13 root"
run bash scripts/gimp3.sh

step "Windows zips, unpacked and run under wine"
run bash tests/packaging/zip_test.sh build/win32
run bash tests/packaging/zip_test.sh build/win64

step "each DLL is the same bytes whenever and wherever it is built"
run bash tests/packaging/repro_test.sh build

step "sanitizer build (ASan + UBSan, clang) and the native suite under it"
# Built with clang, so that the code stays warning-free under both compilers.
if [ -f build/asan/CMakeCache.txt ] &&
   ! grep -q '^CMAKE_CXX_COMPILER:.*clang++' build/asan/CMakeCache.txt; then
  rm -rf build/asan
fi
run cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENTROW_SANITIZE=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
run cmake --build build/asan -j "$jobs"
run env ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan -j "$jobs" --output-on-failure

step "fuzz targets, 60 s each"
run bash scripts/fuzz.sh 60

echo
[ $status -eq 0 ] && echo "all test suites passed" || echo "some test suites FAILED"
exit $status
