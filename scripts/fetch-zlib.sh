#!/bin/bash
# Unpacks Debian's source package of zlib into DIR (default
# build/third_party/zlib) for the WebAssembly build, which compiles it
# itself for libspng: emscripten brings no zlib of its own without a
# download from elsewhere.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
dest="${1:-$root/build/third_party/zlib}"
[ -f "$dest/inflate.c" ] && exit 0

source "$root/scripts/debian-source.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
debian_source zlib "$work"
mkdir -p "$dest.new"
cp "$work"/src/*.c "$work"/src/*.h "$work"/src/LICENSE "$dest.new/" 2>/dev/null ||
  cp "$work"/src/*.c "$work"/src/*.h "$dest.new/"
rm -rf "$dest"
mv "$dest.new" "$dest"
echo "zlib source in $dest"
