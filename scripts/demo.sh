#!/bin/bash
# The main job, on the bundled sample: installs what is missing, builds the
# native tree, opens samples/palette24.kcf through the module into a PNG
# swatch, saves that image back to a palette through the module, and checks
# that the palette's bytes came back unchanged. Where emscripten is installed
# it also builds the page (build/web/page/index.html) and names it.
#   scripts/demo.sh [--help]
# Exit status: 0 when the bytes match; 1 when they do not or a step failed;
# 2 for an argument it does not take.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/no-arguments.sh "$0" "$@"

out=build/demo
plughost=build/native/bin/plughost
sample=samples/palette24.kcf
tile=16
step() { echo; echo "== $*"; }

# The page, when emscripten is there: the module in WebAssembly with zlib and
# libspng compiled from Debian's source packages (fetched once), and nothing
# else of the WebAssembly tree. A page that cannot be built is said, and the
# demo's answer stays the palette's.
page() {
  command -v em++ >/dev/null || return 0
  step "building the page in build/web (emscripten is installed)"
  if bash scripts/fetch-libspng.sh && bash scripts/fetch-zlib.sh &&
     cmake -S . -B build/web -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
       -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/emscripten.cmake" >/dev/null &&
     cmake --build build/web -j "$(nproc)" --target zentrow_page zentrow_page_files; then
    echo
    echo "The palette page: file://$PWD/build/web/page/index.html (open it in a browser; it sends nothing anywhere)"
  else
    echo "demo: the page could not be built (see above); the palette demo stands"
  fi
}

step "installing what is missing for the native build (scripts/install-deps.sh --native)"
bash scripts/install-deps.sh --native || { echo "demo: installing dependencies failed"; exit 1; }

step "building plughost and the native module in build/native"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j "$(nproc)" --target plughost
mkdir -p "$out"
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
