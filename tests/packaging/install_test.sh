#!/bin/bash
# Installs a native build tree into a fresh prefix and uses it as a user
# would: the installed plughost, given no --module, must find the installed
# module (PREFIX/lib/zentrow) and open the sample palette to a PNG, then
# probe it. Also checks that the documents and the man page are in place,
# that cpack's .tar.gz and .deb hold the same files, and that lintian finds
# nothing wrong with the .deb.
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

# The .tar.gz and the .deb hold what the tree holds, and the .deb says what
# it needs.
files=$(cd "$prefix" && find . -type f | sort)
rm -f "$build"/packages/zentrow[-_]*
out=$(cd "$build" && cpack 2>&1) || fail "cpack could not make the packages: $out"
deb=$(ls "$build"/packages/zentrow_*.deb)
tgz=$(ls "$build"/packages/zentrow-*-Linux.tar.gz)
[ "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./usr/|./|' | sort)" = "$files" ] ||
  fail "$(basename "$deb") does not hold the installed files"
[ "$(tar tzf "$tgz" | grep -v '/$' | sed 's|^[^/]*/|./|' | sort)" = "$files" ] ||
  fail "$(basename "$tgz") does not hold the installed files"
dpkg-deb -f "$deb" Depends | grep -q 'libc6 (>=' || fail "$(basename "$deb") names no dependencies"
# Debian's package checker, as a distribution would run it: no error, no
# warning.
if command -v lintian >/dev/null; then
  findings=$(lintian --fail-on error,warning "$deb" 2>&1) ||
    fail "lintian finds in $(basename "$deb"): $findings"
else
  fail "lintian is not installed (scripts/install-deps.sh installs it)"
fi

# From another folder, so that nothing is found by being the current one.
cd "$prefix"
"$prefix/bin/plughost" open "$sample" --out "$prefix/palette24.png" ||
  fail "the installed plughost could not open the sample with its default module"
[ "$(head -c 8 "$prefix/palette24.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] ||
  fail "the opened sample is not a PNG"
probe=$("$prefix/bin/plughost" probe "$sample") || fail "probe failed: $probe"
case "$probe" in "$sample: palette"*) ;; *) fail "probe said: $probe" ;; esac
echo "installed tree works: $(echo $files)"
echo "packages: $(cd "$build/packages" && stat -c '%n %s bytes' "$(basename "$tgz")" "$(basename "$deb")" | paste -sd ';')"
