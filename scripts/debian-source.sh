#!/bin/bash
# debian_source PACKAGE WORK: Debian's source package PACKAGE, unpacked into
# WORK/src. The deb-src entry lives in a temporary apt setup of its own in
# WORK, used for this one download, so the machine's apt sources and lists
# are left as they were. apt checks the package's files against the
# archive's signed index; then dpkg-source checks the maintainer's
# signature of the .dsc. Sourced by the fetch-*.sh scripts, which call
# fetch_source.
debian_source() {
  local package=$1 work=$2
  mkdir -p "$work/lists/partial" "$work/archives/partial"
  # The same mirror the machine installs its binary packages from.
  local uri
  uri="$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)"
  uri="${uri:-http://deb.debian.org/debian}"
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri bookworm main" \
    >"$work/sources.list"
  local apt_options=(-o "Dir::Etc::SourceList=$work/sources.list" -o "Dir::Etc::SourceParts=-"
                     -o "Dir::State::Lists=$work/lists" -o "Dir::Cache::Archives=$work/archives"
                     -o "APT::Sandbox::User=root")
  apt-get "${apt_options[@]}" update -qq
  (cd "$work" && apt-get "${apt_options[@]}" source -qq --download-only "$package")
  # The source package's own signature, checked against the keys of Debian's
  # developers (debian-keyring): a bad or missing one stops the build.
  (cd "$work" && dpkg-source --require-valid-signature -x "${package}"_*.dsc src >/dev/null)
}

# fetch_source PACKAGE DEST MARKER SUBDIR FILE...: unless DEST/MARKER is
# there, the FILEs of PACKAGE's source (paths in it, globs allowed) copied
# into DEST/SUBDIR, DEST replaced whole only once every one is there.
fetch_source() {
  local package=$1 dest=$2 marker=$3 subdir=$4
  shift 4
  [ -f "$dest/$marker" ] && return 0
  local work
  work="$(mktemp -d)"
  trap "rm -rf '$work'" EXIT
  debian_source "$package" "$work"
  mkdir -p "$dest.new/$subdir"
  (cd "$work/src" && cp $* "$dest.new/$subdir/")
  rm -rf "$dest"
  mv "$dest.new" "$dest"
  echo "$package source in $dest"
}
