#!/bin/bash
# The main job, on the bundled sample: installs what is missing, builds the
# native tree, opens samples/palette24.kcf through the module into a PNG
# swatch, saves that image back to a palette through the module, and checks
# that the palette's bytes came back unchanged. Where emscripten is installed
# it also builds the page (build/web/page/index.html) and names it. What the
# installs and builds print goes to build/demo/build.log, one line a step
# here; a step that fails shows the end of the log.
#   scripts/demo.sh [--help]
# Exit status: 0 when the bytes match; 1 when they do not or a step failed;
# 2 for an argument it does not take.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/no-arguments.sh "$0" "$@"

out=build/demo
log=$out/build.log
plughost=build/native/bin/plughost
sample=samples/palette24.kcf
tile=16
step() { echo; echo "== $*"; }
mkdir -p "$out"
: >"$log"
# A step whose output goes to the log; false, after showing the log's end,
# when it fails.
logged() {
  "$@" >>"$log" 2>&1 && return 0
  echo "demo: this step failed; the end of $log:"
  tail -n 20 "$log" | sed 's/^/  /'
  return 1
}

# The page, when emscripten is there: the module in WebAssembly with zlib and
# libspng and liblhasa compiled from Debian's source packages (fetched once), and nothing
# else of the WebAssembly tree. A page that cannot be built is said, and the
# demo's answer stays the palette's.
page() {
  command -v em++ >/dev/null || return 0
  step "building the page in build/web (emscripten is installed)"
  if logged bash scripts/fetch-libspng.sh && logged bash scripts/fetch-zlib.sh &&
     logged bash scripts/fetch-lhasa.sh &&
     logged cmake -S . -B build/web -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_TESTING=OFF \
       -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/emscripten.cmake" &&
     logged cmake --build build/web -j "$(nproc)" --target zentrow_page zentrow_page_files; then
    echo
    echo "The palette page: file://$PWD/build/web/page/index.html (open it in a browser; it sends nothing anywhere)"
  else
    echo "demo: the page could not be built; the palette demo stands"
  fi
}

step "installing what is missing (scripts/install-deps.sh --native; output in $log)"
logged bash scripts/install-deps.sh --native || exit 1

step "building plughost and the native module in build/native"
logged cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF || exit 1
logged cmake --build build/native -j "$(nproc)" --target plughost || exit 1
rm -f "$out/palette24.png" "$out/palette24-saved.kcf"

step "opening $sample through the module into a swatch"
"$plughost" --verbose open "$sample" --out "$out/palette24.png" --swatch "$tile"

step "saving the swatch back to a palette through the module"
"$plughost" --verbose save "$out/palette24.png" --swatch "$tile" --out "$out/palette24-saved.kcf"

step "comparing $sample with the saved palette"
if cmp "$sample" "$out/palette24-saved.kcf"; then
  echo "identical: $(wc -c <"$sample") bytes"
  echo
  echo "Swatch of the 256 colours: $out/palette24.png; palette saved from it: $out/palette24-saved.kcf"
  page
else
  echo "demo: the saved palette differs from $sample"
  exit 1
fi
