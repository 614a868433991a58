#!/bin/bash
# plughost save on inputs that once crashed it or made it take gigabytes:
# each gives its exit status and words, and the peak memory (resident set,
# measured by /usr/bin/time) stays under LIMIT_MIB (64 unless given).
#   save_within_memory.sh PLUGHOST CRASHERS_DIR WORK_DIR [LIMIT_MIB]
set -uo pipefail
plughost=$1 crashers=$2 work=$3
limit_kib=$((${4:-64} * 1024))
mkdir -p "$work"
# What each run writes starts from an empty folder of its own, so that no
# earlier run's outputs stand in the way of this one; the inputs made below
# are kept, being slow to make.
out="$work/run"
rm -rf "$out" && mkdir -p "$out"

# Made here rather than kept: a 20,000 x 20,000 black PNG (1.2 MB) and
# palette texts of 16 MiB.
[ -f "$work/20000-square.png" ] || python3 - "$work/20000-square.png" <<'PY'
import struct, sys, zlib
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
side, z, parts = 20000, zlib.compressobj(9), []
row = bytes(1 + side * 3)
for _ in range(side):
    parts.append(z.compress(row))
parts.append(z.flush())
with open(sys.argv[1], 'wb') as f:
    f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', side, side, 8, 2, 0, 0, 0)))
    f.write(chunk(b'IDAT', b''.join(parts)) + chunk(b'IEND', b''))
PY
[ -f "$work/newlines.gpl" ] || { printf 'GIMP Palette'; head -c $((16 << 20)) /dev/zero | tr '\0' '\n'; } >"$work/newlines.gpl"
[ -f "$work/bad-line.pal" ] || { printf 'JASC-PAL\r\n0100\r\n1\r\n'; head -c $((10 << 20)) /dev/zero | tr '\0' 'x'; } >"$work/bad-line.pal"

failures=0
# file, exit status, words the output must hold
check() {
  local file=$1 status=$2 words=$3 name
  name=$(basename "$file")
  "$ZENTROW_TIME_BIN" -f '%M' -o "$out/$name.kib" "$plughost" save "$file" --out "$out/$name.kcf" \
    >"$out/$name.out" 2>"$out/$name.err"
  local got=$? kib
  kib=$(tail -1 "$out/$name.kib")
  local problem=""
  [ "$got" -eq "$status" ] || problem="exit $got, not $status"
  grep -qF -- "$words" "$out/$name.err" "$out/$name.out" || problem="$problem; no \"$words\""
  [ "$kib" -lt "$limit_kib" ] || problem="$problem; $kib KiB at its peak"
  [ "$(wc -c <"$out/$name.err")" -lt 640 ] || problem="$problem; $(wc -c <"$out/$name.err") bytes of messages"
  if [ -n "$problem" ]; then
    echo "FAIL $name: $problem"; cat "$out/$name.err"; failures=$((failures + 1))
  else
    echo "ok   $name: exit $got, $kib KiB"
  fi
}
ZENTROW_TIME_BIN=/usr/bin/time
c=$crashers/image_fuzzer
check "$c/png-16384-square-with-one-byte-of-pixels" 3 "is truncated: its PNG data stops before its end"
check "$c/gif-16384-square-screen-in-35-bytes" 0 "only the first 16 rows and 16 columns of the 16384 x 16384 image"
check "$c/tga-run-length-16384-square" 3 "is a TGA image, which plughost does not read"
check "$c/bmp-two-planes-in-34-bytes" 3 "is a BMP file of 2 colour planes, which plughost does not read"
check "$c/bmp-top-down-16-square" 0 "bmp-top-down-16-square ->"
check "$c/gif-two-frames" 0 "it is an animation of 2 frames; only the first is read"
check "$c/pgm-sides-past-four-billion" 3 "4294967295 x 4294967295 pixels"
check "$c/jpeg-damaged-huffman-table" 3 "save the image as PNG"
check "$work/20000-square.png" 0 "of the 20000 x 20000 image are saved"
check "$work/newlines.gpl" 0 "it holds 0 colours"
check "$work/bad-line.pal" 3 "line 4: longer than 4096 characters"
echo "$((11 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
