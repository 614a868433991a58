#!/bin/bash
# The GIMP 3 plug-in, built, tested and packaged in a Debian 13 ("trixie")
# root, since Debian 12 ships GIMP 2.10 only. Makes the root when it is
# missing: mmdebstrap (installed from Debian 12's packages when missing)
# lays it from Debian's archive with GIMP 3, libgimp-3.0-dev and what the
# build needs, under /var/cache/zentrow/trixie-gimp3-build-KEY, KEY a hash
# of its package list, so the root is made once and made again only when
# the list below changes (ZENTROW_ROOTS names another folder for the roots;
# scripts/debian13-root.sh makes them).
# Then, in the root, with this checkout and ../shared mounted at the same
# paths: configures build/gimp3, builds the module, plughost, the GIMP 3
# plug-in and its test, runs that test through gimp-console-3.0, makes the
# packages (build/gimp3/packages: zentrow and gimp3-plugin-zentrow, for
# Debian 13) and checks them with lintian; then installs them in a copy of
# a second root, Debian 13 with GIMP 3 alone (made once the same way),
# where a Script-Fu batch opens a palette of 10 groups through GIMP and
# exports it back byte for byte, and purges them
# (tests/gimp3/install_test.sh). Each step says how long it took. Needs root.
#   scripts/gimp3.sh [--root] [--help]
#     --root  only make the build's root (when missing) and say its folder
# Exit status: 0 when every step passed; 1 when one failed; 2 for an
# argument it does not take.
set -uo pipefail
cd "$(dirname "$0")/.."
checkout=$PWD

only_root=0
for arg in "$@"; do
  case "$arg" in
    -h|--help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; exit 0 ;;
    --root) only_root=1 ;;
    *) echo "gimp3.sh: $arg is not an argument it takes (--root, --help)" >&2; exit 2 ;;
  esac
done

source scripts/debian13-root.sh
# GIMP 3 and its headers; the project's build (libspng, CLI11, nlohmann-json, liblhasa,
# GoogleTest's sources); cpack's dependency scan (dpkg-dev, file); lintian.
packages=(gimp libgimp-3.0-dev g++ pkg-config cmake ninja-build
          libspng-dev libcli11-dev nlohmann-json3-dev liblhasa-dev googletest
          dpkg-dev file lintian)
shared=$(cd .. && pwd)/shared

step_started=$SECONDS
took() { echo "($((SECONDS - step_started)) s)"; step_started=$SECONDS; }
step() { echo; echo "== $*"; }
fail() { echo "gimp3.sh: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "it needs root, to make the Debian 13 root and to chroot into it"

step "the Debian 13 root with GIMP 3 and the build's packages"
root=$(debian13_root trixie-gimp3-build "${packages[@]}") || fail "the Debian 13 root could not be made"
echo "$root"
took
[ $only_root -eq 1 ] && exit 0

# The tests read the real palettes: without them nothing is shown.
[ -d "$shared/kcf-corpus" ] ||
  fail "the real palettes are missing: $shared/kcf-corpus is not a folder (the tests read the KiSS palettes there)"

status=0
run() { "$@" || { echo "FAILED: ${*: -1}"; status=1; }; }

step "GIMP 3 build in the Debian 13 root (build/gimp3)"
# Only what the plug-in, its test and its packages need; cpack installs
# what is built, without building every other test first.
run in_root "$root" "cmake -S . -B build/gimp3 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \\
  -DBUILD_TESTING=ON -DZENTROW_GIMP3=ON -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null &&
  nice -n 10 cmake --build build/gimp3 -j $(nproc) --target plughost file_kcf3 zentrow_docs gimp3_table_test"
took

step "GIMP 3 tests through gimp-console-3.0"
run in_root "$root" "ctest --test-dir build/gimp3 -L gimp3 --output-on-failure"
took

step "GIMP 3 packages (build/gimp3/packages), and lintian"
rm -f build/gimp3/packages/*.deb
run in_root "$root" "cd build/gimp3 && cpack -G DEB >/dev/null && ls packages/*.deb &&
  for d in packages/*.deb; do lintian --fail-on error,warning \$d || exit 1; done"
took

step "the packages in a fresh Debian 13 with GIMP 3"
run bash tests/gimp3/install_test.sh build/gimp3/packages
took

echo
[ $status -eq 0 ] && echo "GIMP 3: every step passed" || echo "GIMP 3: some steps FAILED"
exit $status
