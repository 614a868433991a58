#!/bin/bash
# The manual names every option of every command: each --help's and
# --help-host's options, looked up in packaging/plughost.1 with its escapes undone; and every
# format save reads.
#   tests/packaging/man_page_test.sh PLUGHOST MANPAGE
set -uo pipefail
plughost=$1
manual=$(sed 's/\\-/-/g; s/\\f[BIRP]//g' "$2")
missing=0
for command in "" open save probe about info; do
  options=$({ "$plughost" $command --help; "$plughost" $command --help-host 2>/dev/null; } | grep -oE -- '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,' | sort -u)
  [ -n "$options" ] || { echo "plughost $command --help lists no option"; exit 1; }
  for option in $options; do
    grep -qF -- "$option" <<<"$manual" && continue
    echo "the manual does not name ${command:-plughost}'s option $option"
    missing=1
  done
done
# And every format save reads, as its --help lists them from the table of
# formats: "Save images (PNG, BMP, GIF, PPM, PGM) or ...".
formats=$("$plughost" save --help | head -1 | sed -n 's/^[^(]*(\([^)]*\)).*/\1/p' | tr -d ',')
[ -n "$formats" ] || { echo "plughost save --help names no format"; exit 1; }
for format in $formats; do
  grep -qw -- "$format" <<<"$manual" && continue
  echo "the manual does not name the format $format, which save reads"
  missing=1
done
[ $missing -eq 0 ] && echo "the manual names every option of every command, and every format save reads"
exit $missing
