#!/bin/bash
# GIMP with a palette open through file-kcf, photographed on an Xvfb display
# of its own: writes docs/screenshots/gimp.png. GIMP runs with a profile of
# its own whose plug-in path names the build tree's plug-in folder, opens
# Kayla's palette from ../shared/kcf-corpus (ten groups: a layer each), and
# is zoomed to fit the window before the shot. Needs xdotool and imagemagick.
#   gimp/screenshot.sh [BUILD_DIR]      (default build/native, already built)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = --inside ]; then
  # On the Xvfb display: GIMP, its window placed and sized, the image fitted.
  gimp-2.10 --no-splash "$2" >"$GIMP2_DIRECTORY/../gimp.log" 2>&1 &
  gimp=$!
  window=$(timeout 120 xdotool search --sync --onlyvisible --name 'kayla.*GIMP' | head -1)
  xdotool windowmove "$window" 0 0 windowsize "$window" 1200 760
  sleep 3
  # No window manager: focus the window directly, then View > Zoom > Fit Image in Window.
  xdotool windowfocus --sync "$window" key --clearmodifiers shift+ctrl+j
  sleep 3
  import -window root "$3"
  kill "$gimp"
  exit 0
fi

build=$(realpath "${1:-build/native}")
plugins=$build/gimp/plug-ins
[ -x "$plugins/file-kcf/file-kcf" ] || { echo "no plug-in in $plugins: build $build first"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/profile"/{brushes,gradients,palettes,patterns}
echo "(plug-in-path \"$plugins:\${gimp_plug_in_dir}/plug-ins\")" >"$work/profile/gimprc"
cp ../shared/kcf-corpus/emhoracek__smooch__app_static_kayla_kayla.lzh__in__kayla.kcf \
  "$work/kayla.kcf"
mkdir -p docs/screenshots
GIMP2_DIRECTORY=$work/profile XDG_CACHE_HOME=$work/cache \
  xvfb-run -a -s "-screen 0 1200x760x24" "$0" --inside "$work/kayla.kcf" \
  "$PWD/docs/screenshots/gimp.png"
echo "wrote docs/screenshots/gimp.png ($(identify -format '%wx%h' docs/screenshots/gimp.png))"
