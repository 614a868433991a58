#!/bin/bash
# Screenshots of the DLL's About box and of one suite warning, as real
# Windows message boxes under wine on an Xvfb display. Writes
# docs/screenshots/about.png and docs/screenshots/warning.png.
#   scripts/screenshots.sh        (after scripts/test.sh has built build/win32)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh
# xdotool finds the box and closes it; only this script needs it.
dpkg -s xdotool >/dev/null 2>&1 || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq xdotool >/dev/null
if [ ! -x build/win32/bin/plughost.exe ]; then
  cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
  cmake --build build/win32 --target plughost zentrow_dll
fi
unset DISPLAY  # a display of our own, so the shot holds nothing else
source scripts/wine-env.sh
zentrow_wine_up "$root/build/win32"
trap zentrow_wine_down EXIT
mkdir -p docs/screenshots

# Runs a plughost command that shows a box, photographs the screen once the
# box is up, crops to the box, then closes it with Enter.
shoot() {
  local out="$1"; shift
  wine build/win32/bin/plughost.exe "$@" >/dev/null 2>&1 &
  local pid=$! box=""
  for _ in $(seq 100); do
    box=$(xdotool search --onlyvisible --class "plughost.exe" 2>/dev/null | head -1 || true)
    [ -n "$box" ] && break
    sleep 0.1
  done
  [ -n "$box" ] || { echo "no box appeared for: $*"; kill $pid; return 1; }
  # On a loaded machine the box is drawn some time after it appears: shoot
  # until the picture holds more than the empty screen.
  for _ in $(seq 20); do
    sleep 0.5
    import -window root -trim +repage "$out" 2>/dev/null
    [ "$(identify -format '%w' "$out" 2>/dev/null || echo 0)" -gt 10 ] && break
  done
  xdotool key --window "$box" Return 2>/dev/null || true
  wait $pid || true
  echo "wrote $out ($(identify -format '%wx%h' "$out"))"
}

shoot docs/screenshots/about.png about
shoot docs/screenshots/warning.png --without buffer open samples/palette24.kcf --out /tmp/zentrow-shot.png
