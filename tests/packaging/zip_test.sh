#!/bin/bash
# Makes the Windows zip of a cross build tree, unpacks it into a fresh folder
# and runs the plughost.exe found there under wine, as a user would run it:
# without --module, it must load the Zentrow.8bi beside it, open the sample
# palette to a PNG and probe it. The zip must hold exactly its four files.
#   tests/packaging/zip_test.sh WIN32_BUILD_DIR
set -euo pipefail
root=$(realpath "$(dirname "$0")/../..")
build=$(realpath "$1")
sample=$root/samples/palette24.kcf
fail() { echo "zip test: $*" >&2; exit 1; }

rm -f "$build"/packages/Zentrow-*-win*.zip
(cd "$build" && cpack -G ZIP >/dev/null) || fail "cpack could not make the zip"
zip=$(ls "$build"/packages/Zentrow-*-win*.zip)
tmp=$(mktemp -d)
folder=$tmp
trap 'rm -rf "$tmp"' EXIT
# Made again a moment later, the zip is the same bytes: strip and the
# archive take the source's date, not the time they run.
cp "$zip" "$folder/first.zip"
sleep 1.1
(cd "$build" && cpack -G ZIP >/dev/null) || fail "cpack could not make the zip again"
cmp -s "$zip" "$folder/first.zip" || fail "two zips of one tree differ"
rm "$folder/first.zip"
(cd "$folder" && cmake -E tar xf "$zip")
# One folder, named as the zip, and in it the four files.
top=$(basename "$zip" .zip)
[ "$(cd "$folder" && ls)" = "$top" ] || fail "the zip unpacks into: $(cd "$folder" && ls)"
folder=$folder/$top
[ "$(cd "$folder" && LC_ALL=C ls | tr '\n' ' ')" = "INSTALL.txt LICENSE Zentrow.8bi plughost.exe " ] ||
  fail "the zip holds: $(cd "$folder" && ls)"
grep -q $'\r$' "$folder/INSTALL.txt" || fail "INSTALL.txt lacks Windows line ends"
for program in Zentrow.8bi plughost.exe; do
  ! objdump -h "$folder/$program" | grep -q '\.debug_' || fail "$program ships its debugging sections"
done

source "$root/scripts/wine-env.sh"
zentrow_wine_up "$build"
trap 'zentrow_wine_down; rm -rf "$tmp"' EXIT
cd "$folder"
wine ./plughost.exe open "$sample" --out "$folder/palette24.png" ||
  fail "plughost.exe from the zip could not open the sample"
[ "$(head -c 8 palette24.png | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] ||
  fail "the opened sample is not a PNG"
probe=$(wine ./plughost.exe probe "$sample" | tr -d '\r') || fail "probe failed: $probe"
case "$probe" in "$sample: palette"*) ;; *) fail "probe said: $probe" ;; esac
echo "$(basename "$zip") made twice alike ($(stat -c %s "$zip") bytes), works under wine: $(ls "$folder" | tr '\n' ' ')"
