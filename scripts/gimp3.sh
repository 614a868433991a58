#!/bin/bash
# The GIMP 3 plug-in, built, tested and packaged in a Debian 13 ("trixie")
# root, since Debian 12 ships GIMP 2.10 only. Makes the root when it is
# missing: mmdebstrap (installed from Debian 12's packages when missing)
# lays it from Debian's archive with GIMP 3, libgimp-3.0-dev and what the
# build needs, under /var/cache/zentrow/trixie-gimp3-KEY, KEY a hash of
# its package list, so the root is made once and made again only when the
# list below changes (ZENTROW_ROOTS names another folder for the roots).
# Then, in the root, with this checkout and ../shared mounted at the same
# paths: configures build/gimp3, builds the module, plughost, the GIMP 3
# plug-in and its test, runs that test through gimp-console-3.0, makes the
# packages (build/gimp3/packages: zentrow and gimp3-plugin-zentrow, for
# Debian 13) and checks them with lintian; then installs them in a copy of
# the root without the build's packages, where a Script-Fu batch opens a
# palette of 10 groups through GIMP and exports it back byte for byte, and
# purges them. Needs root.
#   scripts/gimp3.sh [--root] [--help]
#     --root  only make the root (when missing) and print its folder
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

suite=trixie
mirror=http://deb.debian.org/debian
# GIMP 3 and its headers; the project's build (libspng, CLI11, nlohmann-json,
# GoogleTest's sources); cpack's dependency scan (dpkg-dev, file); lintian.
packages=(gimp libgimp-3.0-dev g++ pkg-config cmake ninja-build
          libspng-dev libcli11-dev nlohmann-json3-dev googletest
          dpkg-dev file lintian)
roots=${ZENTROW_ROOTS:-/var/cache/zentrow}
key=$(printf '%s\n' mmdebstrap-apt "$suite" "$mirror" "${packages[@]}" | sha256sum | cut -c1-12)
root=$roots/$suite-gimp3-$key
shared=$(cd .. && pwd)/shared

step() { echo; echo "== $*"; }
fail() { echo "gimp3.sh: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "it needs root, to make the Debian 13 root and to chroot into it"

# The root is laid beside its final name and renamed when complete, under a
# lock, so that a run cut short or two runs at once never leave half a root
# under the name the next run trusts.
make_root() {
  [ -f "$root/.zentrow-complete" ] && return 0
  mkdir -p "$roots"
  exec 9>"$roots/$suite-gimp3.lock"
  flock 9
  [ -f "$root/.zentrow-complete" ] && return 0
  if ! command -v mmdebstrap >/dev/null; then
    # Waiting for another install that holds dpkg's lock, rather than failing.
    apt-get update -qq -o DPkg::Lock::Timeout=900 &&
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        -o DPkg::Lock::Timeout=900 mmdebstrap >/dev/null || fail "installing mmdebstrap failed"
  fi
  step "making the Debian 13 root $root (once for this package list; about 1 GB from $mirror)"
  rm -rf "$root.new"
  local started=$SECONDS
  mmdebstrap --mode=root --variant=apt --aptopt='APT::Install-Recommends "false"' \
    --include="$(IFS=,; echo "${packages[*]}")" "$suite" "$root.new" "$mirror" ||
    { rm -rf "$root.new"; fail "mmdebstrap could not make the Debian 13 root from $mirror"; }
  date -u +%FT%TZ >"$root.new/.zentrow-complete"
  mv "$root.new" "$root"
  echo "the root took $((SECONDS - started)) s"
  # Roots of older package lists are of no more use.
  for old in "$roots/$suite-gimp3-"*; do
    [ "$old" = "$root" ] || rm -rf "$old"
  done
  flock -u 9
}

make_root || exit 1
if [ $only_root -eq 1 ]; then
  echo "$root"
  exit 0
fi

# The tests read the real palettes: without them nothing is shown.
[ -d "$shared/kcf-corpus" ] ||
  fail "the real palettes are missing: $shared/kcf-corpus is not a folder (the tests read the KiSS palettes there)"

# Runs the shell command $2 in the root $1, in a mount namespace of its own
# (so its mounts end with it, however it ends): the system's devices, a
# fresh /proc and /tmp, this checkout at its own path and ../shared
# read-only beside it, so that paths are the same inside and out.
mounted_chroot() {  # ROOT CHECKOUT SHARED COMMAND
  set -e
  local r=$1 c=$2 s=$3
  mkdir -p "$r$c" "$r$s"
  mount --rbind /dev "$r/dev"
  mount -t proc proc "$r/proc"
  mount -t tmpfs tmpfs "$r/tmp"
  mount --bind "$c" "$r$c"
  mount --bind "$s" "$r$s"
  mount -o remount,bind,ro "$r$s"
  exec chroot "$r" env -i HOME=/tmp PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    bash -c 'cd "$1" && eval "$2"' in-root "$c" "$4"
}
in_root() {  # ROOT COMMAND
  unshare --mount --propagation private -- \
    bash -c "$(declare -f mounted_chroot); mounted_chroot \"\$@\"" in-root "$1" "$checkout" "$shared" "$2"
}

status=0
run() { "$@" || { echo "FAILED: ${*: -1}"; status=1; }; }

step "GIMP 3 build in the Debian 13 root (build/gimp3)"
# Only what the plug-in, its test and its packages need; cpack installs
# what is built, without building every other test first.
run in_root "$root" "cmake -S . -B build/gimp3 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \\
  -DBUILD_TESTING=ON -DZENTROW_GIMP3=ON -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null &&
  nice -n 10 cmake --build build/gimp3 -j $(nproc) --target plughost file_kcf3 zentrow_docs gimp3_table_test"

step "GIMP 3 tests through gimp-console-3.0"
run in_root "$root" "ctest --test-dir build/gimp3 -L gimp3 --output-on-failure"

step "GIMP 3 packages (build/gimp3/packages), and lintian"
rm -f build/gimp3/packages/*.deb
run in_root "$root" "cd build/gimp3 && cpack -G DEB >/dev/null && ls packages/*.deb &&
  for d in packages/*.deb; do lintian --fail-on error,warning \$d || exit 1; done"

# A Debian 13 with GIMP 3 and nothing of the build, made once as the other
# root; each check works in a copy of it, so it stays as Debian made it.
step "the packages in a fresh Debian 13 with GIMP 3"
run bash tests/gimp3/install_test.sh "$suite" "$mirror" "$roots" build/gimp3/packages

echo
[ $status -eq 0 ] && echo "GIMP 3: every step passed" || echo "GIMP 3: some steps FAILED"
exit $status
