#!/bin/bash
# The Debian 13 packages as a user meets them: in a copy of a Debian 13 root
# that holds GIMP 3 and nothing else of ours (made once, as scripts/gimp3.sh
# makes its build root), `apt-get install ./zentrow_*.deb
# ./gimp3-plugin-zentrow_*.deb` from DIR; GIMP then finds the plug-in and
# the module it loads, and a Script-Fu batch opens Kayla's palette (10
# groups) with gimp-file-load as 10 layers, exports it back over a copy of
# itself byte for byte, and to a new name as the same palette byte for byte
# (a copy of the palette it was opened from, each layer put back); then both
# packages are purged and leave nothing.
#   tests/gimp3/install_test.sh DIR
set -uo pipefail
cd "$(dirname "$0")/../.."
source scripts/debian13-root.sh

fail() { echo "install_test.sh: $*" >&2; exit 1; }
[ $# -eq 1 ] && [ -d "$1" ] || fail "usage: tests/gimp3/install_test.sh DIR (the folder of the .deb packages)"
packages=$(cd "$1" && pwd)
zentrow=$(ls "$packages"/zentrow_*.deb 2>/dev/null | head -1)
plugin=$(ls "$packages"/gimp3-plugin-zentrow_*.deb 2>/dev/null | head -1)
[ -n "$zentrow" ] && [ -n "$plugin" ] || fail "$packages holds no zentrow and gimp3-plugin-zentrow packages"
kayla=$(cd .. && pwd)/shared/kcf-corpus/emhoracek__smooch__app_static_kayla_kayla.lzh__in__kayla.kcf
[ -f "$kayla" ] || fail "the real palettes are missing: $kayla is not a file"

fresh=$(debian13_root trixie-gimp3-run gimp) || fail "the Debian 13 root with GIMP 3 could not be made"
# A copy for this run, so that the root stays as Debian made it.
copy=$(mktemp -d "$debian13_roots/trixie-gimp3-check.XXXXXX")
trap 'rm -rf "$copy"' EXIT
cp -a "$fresh/." "$copy/" || fail "copying $fresh failed"

work=$PWD/build/gimp3/install-test
rm -rf "$work" && mkdir -p "$work"
cp "$kayla" "$work/kayla.kcf" && chmod u+w "$work/kayla.kcf"
cp "$kayla" "$work/original.kcf"

# In the copy: install, look, run GIMP, purge, look again. GIMP runs with a
# profile of its own and finds the plug-in where the package put it.
in_root "$copy" "
set -e
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends '$zentrow' '$plugin' >/dev/null
dpkg -L gimp3-plugin-zentrow | grep -x '.*/gimp/3.0/plug-ins/file-kcf/file-kcf'
dpkg -L zentrow | grep -x '/usr/lib/zentrow/libzentrow.so'
cd '$work'
GIMP3_DIRECTORY=\$PWD/profile XDG_CACHE_HOME=\$PWD/cache timeout 300 gimp-console-3.0 -i -d -f --quit \\
  --batch-interpreter=plug-in-script-fu-eval -b '
(let* ((image (car (gimp-file-load RUN-NONINTERACTIVE \"kayla.kcf\")))
       (layers (car (gimp-image-get-layers image))))
  (gimp-message (string-append \"layers: \" (number->string (vector-length layers))))
  (gimp-file-save RUN-NONINTERACTIVE image \"kayla.kcf\" -1)
  (gimp-file-save RUN-NONINTERACTIVE image \"new.kcf\" -1))' >gimp.log 2>&1
grep -q 'layers: 10\$' gimp.log
cmp original.kcf kayla.kcf
cmp original.kcf new.kcf
apt-get purge -y -qq gimp3-plugin-zentrow zentrow >/dev/null
# Purged: dpkg knows neither (or knows them as not installed), and their files are gone.
test -z \"\$(dpkg-query -W -f='\${db:Status-Abbrev}\\n' gimp3-plugin-zentrow zentrow 2>/dev/null | grep -v '^[pu]n')\"
test -z \"\$(ls -d /usr/lib/zentrow /usr/share/doc/*zentrow* /usr/bin/plughost /usr/lib/*/gimp/3.0/plug-ins/file-kcf 2>/dev/null)\"
" >"$work/test.log" 2>&1 || { tail -n 30 "$work/test.log"; [ -f "$work/gimp.log" ] && tail -n 20 "$work/gimp.log"; fail "the packages failed in a fresh Debian 13 with GIMP 3 ($work/test.log)"; }
echo "$(basename "$zentrow") and $(basename "$plugin") in a fresh Debian 13 with GIMP 3:" \
  "installed; gimp-file-load opened Kayla's palette as 10 layers; gimp-file-save gave it back" \
  "byte for byte, and to a new name the same palette byte for byte; purged, nothing left"
