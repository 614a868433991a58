#!/bin/bash
# Unpacks Debian's source package of libspng into DIR (default
# build/third_party/libspng) for the Windows builds, which compile its
# spng.c themselves: Debian ships the library only for Linux. The deb-src
# entry lives in a temporary apt setup of its own, used for this one
# download, so the machine's apt sources and lists are left as they were.
# apt checks the package's files against the archive's signed index; then
# dpkg-source checks the maintainer's signature of the .dsc.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
dest="${1:-$root/build/third_party/libspng}"
[ -f "$dest/spng/spng.c" ] && exit 0

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/archives/partial"
# The same mirror the machine installs its binary packages from.
uri="$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)"
uri="${uri:-http://deb.debian.org/debian}"
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri bookworm main" \
  >"$work/sources.list"
apt_options=(-o "Dir::Etc::SourceList=$work/sources.list" -o "Dir::Etc::SourceParts=-"
             -o "Dir::State::Lists=$work/lists" -o "Dir::Cache::Archives=$work/archives"
             -o "APT::Sandbox::User=root")
apt-get "${apt_options[@]}" update -qq
(cd "$work" && apt-get "${apt_options[@]}" source -qq --download-only libspng)
# The source package's own signature, checked against the keys of Debian's
# developers (debian-keyring): a bad or missing one stops the build.
(cd "$work" && dpkg-source --require-valid-signature -x libspng_*.dsc src >/dev/null)
mkdir -p "$dest.new/spng"
cp "$work"/src/spng/spng.c "$work"/src/spng/spng.h "$work"/src/LICENSE "$dest.new/spng/"
rm -rf "$dest"
mv "$dest.new" "$dest"
echo "libspng source in $dest"
