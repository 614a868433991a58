#!/bin/bash
# Unpacks Debian's source package of libspng into DIR (default
# build/third_party/libspng) for the Windows and WebAssembly builds, which
# compile its spng.c themselves: Debian ships the library only for Linux.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
dest="${1:-$root/build/third_party/libspng}"
[ -f "$dest/spng/spng.c" ] && exit 0

source "$root/scripts/debian-source.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
debian_source libspng "$work"
mkdir -p "$dest.new/spng"
cp "$work"/src/spng/spng.c "$work"/src/spng/spng.h "$work"/src/LICENSE "$dest.new/spng/"
rm -rf "$dest"
mv "$dest.new" "$dest"
echo "libspng source in $dest"
