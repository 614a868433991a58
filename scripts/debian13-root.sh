# Sourced by scripts/gimp3.sh and tests/gimp3/install_test.sh: Debian 13
# ("trixie") roots made from Debian's archive, and commands run in them.
#   debian13_root NAME PACKAGE...   prints the root's folder, made if missing
#   in_root ROOT COMMAND            runs the shell COMMAND in ROOT
# A root is ZENTROW_ROOTS/NAME-KEY (/var/cache/zentrow by default), KEY a
# hash of how it is made and its package list: made once, by mmdebstrap
# (installed from Debian 12's packages when missing), and made again only
# when the list changes, the root it replaces then removed. Needs root.
debian13_suite=trixie
debian13_mirror=http://deb.debian.org/debian
debian13_roots=${ZENTROW_ROOTS:-/var/cache/zentrow}

# A root is laid beside its final name and renamed when complete, under a
# lock, so that a run cut short or two runs at once never leave half a root
# under the name the next run trusts. What mmdebstrap says goes to stderr.
debian13_root() {
  local name=$1 key root started
  shift
  key=$(printf '%s\n' mmdebstrap-apt "$debian13_suite" "$debian13_mirror" "$@" | sha256sum | cut -c1-12)
  root=$debian13_roots/$name-$key
  if [ ! -f "$root/.zentrow-complete" ]; then
    mkdir -p "$debian13_roots" || return 1
    (
      flock 9
      [ -f "$root/.zentrow-complete" ] && exit 0
      if ! command -v mmdebstrap >/dev/null; then
        # Waiting for another install that holds dpkg's lock, rather than failing.
        apt-get update -qq -o DPkg::Lock::Timeout=900 &&
          DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            -o DPkg::Lock::Timeout=900 mmdebstrap >/dev/null ||
          { echo "installing mmdebstrap failed" >&2; exit 1; }
      fi
      echo "making the Debian 13 root $root from $debian13_mirror (once for its package list)" >&2
      rm -rf "$root.new"
      started=$SECONDS
      mmdebstrap --mode=root --variant=apt --aptopt='APT::Install-Recommends "false"' \
        --include="$(IFS=,; echo "$*")" "$debian13_suite" "$root.new" "$debian13_mirror" >&2 ||
        { rm -rf "$root.new"; echo "mmdebstrap could not make $root from $debian13_mirror" >&2; exit 1; }
      date -u +%FT%TZ >"$root.new/.zentrow-complete"
      mv "$root.new" "$root"
      echo "$root took $((SECONDS - started)) s" >&2
      for old in "$debian13_roots/$name-"*; do
        [ "$old" = "$root" ] || [ "${old%.lock}" != "$old" ] || rm -rf "$old"
      done
    ) 9>"$debian13_roots/$name.lock" || return 1
  fi
  echo "$root"
}

# Runs COMMAND in ROOT in a mount namespace of its own (so its mounts end
# with it, however it ends): the system's devices, a fresh /proc and /tmp,
# the checkout at its own path and ../shared read-only beside it, so that
# paths are the same inside and out.
debian13_mounted_chroot() {  # ROOT CHECKOUT SHARED COMMAND
  set -e
  local r=$1 c=$2 s=$3
  mkdir -p "$r$c" "$r$s"
  mount --rbind /dev "$r/dev"
  mount -t proc proc "$r/proc"
  mount -t tmpfs tmpfs "$r/tmp"
  mount --bind "$c" "$r$c"
  if [ -d "$s" ]; then
    mount --bind "$s" "$r$s"
    mount -o remount,bind,ro "$r$s"
  fi
  exec chroot "$r" env -i HOME=/tmp PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    bash -c 'cd "$1" && eval "$2"' in-root "$c" "$4"
}
in_root() {  # ROOT COMMAND
  local checkout
  checkout=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  unshare --mount --propagation private -- \
    bash -c "$(declare -f debian13_mounted_chroot); debian13_mounted_chroot \"\$@\"" in-root \
    "$1" "$checkout" "$(dirname "$checkout")/shared" "$2"
}
