#!/bin/bash
# Installs what the builds and tests need from Debian's packages, and only
# what is missing. Needs root (or sudo) on a Debian 12 machine. cpack's .deb
# takes its dependencies from dpkg-dev's dpkg-shlibdeps and finds the
# programs to scan with file; lintian checks the .deb it makes. plughost reads PNG
# through libspng: the system's natively, and for the Windows builds the same
# library compiled from Debian's source package (scripts/fetch-libspng.sh,
# which dpkg-dev's dpkg-source unpacks) against Debian's mingw zlib. The
# GIMP plug-in builds against libgimp2.0-dev (found with pkg-config), and its
# test runs gimp-console-2.10, which the gimp package holds. The WebAssembly
# build takes emscripten (which finds node-acorn) and zlib's and libspng's
# source packages; its tests run under nodejs, and the page's in headless
# chromium through chromedriver and python3-selenium.
# With --native, only what the demo uses: the native build of plughost and
# the module (no tests, no GIMP plug-in), and for its page step, taken only
# where emscripten is installed, python3 and the tools that fetch and check
# zlib's and libspng's source packages (dpkg-dev, debian-keyring); nothing
# of the Windows builds, and no source download here.
#   scripts/install-deps.sh [--native]
set -euo pipefail

native=(cmake ninja-build g++ libspng-dev libcli11-dev nlohmann-json3-dev liblhasa-dev pkg-config
        python3 dpkg-dev debian-keyring)
# The rest of the test command: the tests, the GIMP plug-in and its test,
# the Windows trees under wine, the sanitizer and fuzz trees, the
# benchmarks and the packages.
everything=(googletest libgtest-dev pkg-config libgimp2.0-dev
            clang libclang-rt-14-dev libbenchmark-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64
            wine wine32:i386 wine64 xvfb x11-apps libz-mingw-w64-dev imagemagick
            time file lintian gimp lhasa
            emscripten node-acorn nodejs chromium chromium-driver python3-selenium fonts-dejavu-core)
packages=("${native[@]}")
case "${1:-}" in
  --native) everything=() ;;
  "") packages+=("${everything[@]}") ;;
  *) echo "usage: scripts/install-deps.sh [--native]"; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
# The Windows and WebAssembly builds compile libspng and liblhasa (and the
# latter zlib) from Debian's source packages.
fetch_libspng() {
  [ ${#everything[@]} -eq 0 ] || { "$(dirname "$0")/fetch-libspng.sh" && "$(dirname "$0")/fetch-zlib.sh" &&
                                   "$(dirname "$0")/fetch-lhasa.sh"; }
}
# The page's browser test checks the page with axe-core, from the npm
# registry at the version tests/web/package-lock.json pins, installed in
# tests/web/node_modules (again only when that version is not there).
page_test_tools() {
  [ ${#everything[@]} -gt 0 ] || return 0
  local web pinned installed
  web="$(cd "$(dirname "$0")/../tests/web" && pwd)"
  pinned=$(node -p "require('$web/package-lock.json').packages['node_modules/axe-core'].version")
  installed=$(node -p "require('$web/node_modules/axe-core/package.json').version" 2>/dev/null || true)
  [ "$pinned" = "$installed" ] && return 0
  command -v npm >/dev/null || DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq npm >/dev/null
  npm ci --prefix "$web" --no-audit --no-fund --silent
}
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
if [ ${#missing[@]} -eq 0 ]; then
  fetch_libspng
  page_test_tools
  exit 0
fi

echo "installing: ${missing[*]}"
if [ ${#everything[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
  "${missing[@]}" >/dev/null
fetch_libspng
page_test_tools
