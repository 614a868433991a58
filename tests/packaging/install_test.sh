#!/bin/bash
# Installs a native build tree into a fresh prefix and uses it as a user
# would: the installed plughost, given no --module, must find the installed
# module (PREFIX/lib/zentrow) and open the sample palette to a PNG, then
# probe it. Also checks that the documents and the man page are in place,
# that cpack's .tar.gz holds the same files as the tree and its two .debs
# (zentrow, and gimp-plugin-zentrow when the GIMP plug-in is built) hold
# them between them, the plug-in's needing zentrow of this version and GIMP,
# and that lintian finds nothing wrong with either.
#   tests/packaging/install_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
sample=$(realpath "$(dirname "$0")/../../samples/palette24.kcf")
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/plughost lib/zentrow/libzentrow.so share/doc/zentrow/README.md \
         share/doc/zentrow/LICENSE share/doc/zentrow/copyright share/doc/zentrow/changelog.gz \
         share/man/man1/plughost.1.gz; do
  [ -f "$prefix/$f" ] || fail "$f is not installed"
done
zcat "$prefix/share/man/man1/plughost.1.gz" | grep -q '^\.TH PLUGHOST 1' ||
  fail "the man page has no title line"

# The .tar.gz holds what the tree holds; the .debs hold it between them,
# and each says what it needs.
files=$(cd "$prefix" && find . -type f | sort)
rm -f "$build"/packages/zentrow[-_]* "$build"/packages/gimp-plugin-zentrow_*
out=$(cd "$build" && cpack 2>&1) || fail "cpack could not make the packages: $out"
deb=$(ls "$build"/packages/zentrow_*.deb)
debs=("$deb")
plugin=$(ls "$build"/packages/gimp-plugin-zentrow_*.deb 2>/dev/null || true)
if [ -f "$prefix/lib/gimp/2.0/plug-ins/file-kcf/file-kcf" ]; then
  [ -n "$plugin" ] || fail "no gimp-plugin-zentrow package, though the GIMP plug-in is built"
  debs+=("$plugin")
  version=$(dpkg-deb -f "$deb" Version)
  dpkg-deb -f "$plugin" Depends | grep -q "zentrow (= $version)" ||
    fail "$(basename "$plugin") does not need zentrow $version"
  dpkg-deb -f "$plugin" Depends | grep -q "gimp (>= 2.10)" || fail "$(basename "$plugin") does not need GIMP"
  dpkg-deb -c "$deb" | grep -q "plug-ins" && fail "$(basename "$deb") holds the GIMP plug-in"
fi
tgz=$(ls "$build"/packages/zentrow-*-Linux.tar.gz)
[ "$(for d in "${debs[@]}"; do dpkg-deb -c "$d"; done | awk '$1 !~ /^d/ {print $6}' |
     sed 's|^\./usr/|./|' | sort)" = "$files" ] ||
  fail "the .debs do not hold the installed files between them"
[ "$(tar tzf "$tgz" | grep -v '/$' | sed 's|^[^/]*/|./|' | sort)" = "$files" ] ||
  fail "$(basename "$tgz") does not hold the installed files"
dpkg-deb -f "$deb" Depends | grep -q 'libc6 (>=' || fail "$(basename "$deb") names no dependencies"
# Debian's package checker, as a distribution would run it: no error, no
# warning.
command -v lintian >/dev/null || fail "lintian is not installed (scripts/install-deps.sh installs it)"
for d in "${debs[@]}"; do
  findings=$(lintian --fail-on error,warning "$d" 2>&1) || fail "lintian finds in $(basename "$d"): $findings"
done

# From another folder, so that nothing is found by being the current one.
cd "$prefix"
"$prefix/bin/plughost" open "$sample" --out "$prefix/palette24.png" ||
  fail "the installed plughost could not open the sample with its default module"
[ "$(head -c 8 "$prefix/palette24.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] ||
  fail "the opened sample is not a PNG"
probe=$("$prefix/bin/plughost" probe "$sample") || fail "probe failed: $probe"
case "$probe" in "$sample: palette"*) ;; *) fail "probe said: $probe" ;; esac
echo "installed tree works: $(echo $files)"
echo "packages: $(cd "$build/packages" && for f in "$tgz" "${debs[@]}"; do stat -c '%n %s bytes' "$(basename "$f")"; done | paste -sd ';')"
