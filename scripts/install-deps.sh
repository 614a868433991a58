#!/bin/bash
# Installs what the builds and tests need from Debian's packages, and only
# what is missing. Needs root (or sudo) on a Debian 12 machine. cpack's .deb
# takes its dependencies from dpkg-dev's dpkg-shlibdeps and finds the
# programs to scan with file; lintian checks the .deb it makes. plughost reads PNG
# through libspng: the system's natively, and for the Windows builds the same
# library compiled from Debian's source package (scripts/fetch-libspng.sh,
# which dpkg-dev's dpkg-source unpacks) against Debian's mingw zlib. The
# GIMP plug-in builds against libgimp2.0-dev (found with pkg-config), and its
# test runs gimp-console-2.10, which the gimp package holds.
set -euo pipefail

packages=(cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev
          libbenchmark-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64
          xvfb x11-apps python3
          libspng-dev libz-mingw-w64-dev libcli11-dev nlohmann-json3-dev imagemagick time
          dpkg-dev file lintian pkg-config libgimp2.0-dev gimp)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
fetch_libspng() { "$(dirname "$0")/fetch-libspng.sh"; }
if [ ${#missing[@]} -eq 0 ]; then
  fetch_libspng
  exit 0
fi

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
echo "installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
  "${missing[@]}" >/dev/null
fetch_libspng
