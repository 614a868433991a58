#!/bin/bash
# Writes the seeds of plughost's own fuzz targets into fuzz/seeds/: small
# images of every form the image readers take (ImageMagick), palette texts
# of both kinds with each line end, a RIFF palette, and the native module's
# property list, alone and in a small ELF file.
#   fuzz/make_plughost_seeds.sh BUILD_TREE   (a native tree with bin/libzentrow.so)
set -euo pipefail
cd "$(dirname "$0")"
module="$1/bin/libzentrow.so"
img=seeds/image_fuzzer pnm=seeds/netpbm_fuzzer txt=seeds/palette_text_fuzzer
notes=seeds/palette_notes_fuzzer pipl=seeds/property_list_fuzzer
mkdir -p $img $pnm $txt $notes $pipl

# A 5 x 4 picture of four colours, and a swatch of 2 x 2 tiles of 3 pixels.
picture=(-size 5x4 xc:red -fill blue -draw "point 1,1" -fill lime -draw "point 4,3"
         -fill "#123456" -draw "point 2,0")
swatch=(-size 9x9 xc:gray25 -fill red -draw "rectangle 1,1 3,3" -fill blue
        -draw "rectangle 5,1 7,3" -fill lime -draw "rectangle 1,5 3,7")
convert "${picture[@]}" -define png:color-type=2 $img/rgb.png
convert "${picture[@]}" -colorspace gray -define png:color-type=0 $img/grey.png
convert "${picture[@]}" -define png:color-type=3 $img/palette.png
convert "${picture[@]}" -alpha set -define png:color-type=6 -depth 16 $img/rgba16.png
convert "${picture[@]}" -interlace PNG $img/interlaced.png
convert "${swatch[@]}" $img/swatch-tile-3.png
convert "${picture[@]}" BMP3:$img/rgb24.bmp
convert "${picture[@]}" -colors 4 -type palette BMP3:$img/palette8.bmp
convert "${picture[@]}" -alpha set -define bmp:format=bmp4 $img/bitfields32.bmp
convert "${picture[@]}" -colors 4 -type palette -compress RLE BMP3:$img/rle8.bmp
# RLE4, 4 x 2 of three colours: a run, an end of row, indices as they stand, the end.
printf 'BM\x4c\0\0\0\0\0\0\0\x42\0\0\0\x28\0\0\0\x04\0\0\0\x02\0\0\0\x01\0\x04\0\x02\0\0\0' >$img/rle4.bmp
printf '\0\0\0\0\0\0\0\0\0\0\0\0\x03\0\0\0\0\0\0\0\0\0\0\0\0\0\xff\0\0\xff\0\0' >>$img/rle4.bmp
printf '\x04\x12\0\0\0\x04\x21\x10\0\x01' >>$img/rle4.bmp
# An interlaced PNG far taller than the rows a save reads, in a few KB.
python3 make_interlaced_png.py 4000 $img/interlaced-tall.png
# Indices past their tables: a PNG of 4-bit indices 0 to 15 into 4 colours,
# and a GIF frame of 2 x 1 at 1,0 on a 3 x 2 screen with background colour
# 1, one pixel naming colour 3 of a table of 2; a BMP holding a PNG, of
# bit count 0, as such files are written.
python3 - $img <<'PY'
import struct, sys, zlib
def chunk(t, d): return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
row = b'\0' + bytes([0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF])
png = (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 16, 1, 4, 3, 0, 0, 0)) +
       chunk(b'PLTE', bytes([255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9])) +
       chunk(b'IDAT', zlib.compress(row)) + chunk(b'IEND', b''))
open(sys.argv[1] + '/palette-short.png', 'wb').write(png)
gif = (b'GIF89a' + bytes([3, 0, 2, 0, 0x80, 1, 0, 255, 0, 0, 0, 0, 255]) +
       b',' + bytes([1, 0, 0, 0, 2, 0, 1, 0, 0]) + bytes([2, 2, 0x5C, 0x01, 0]) + b';')
open(sys.argv[1] + '/background.gif', 'wb').write(gif)
bmp = bytearray(54) + png
bmp[0:2] = b'BM'
struct.pack_into('<IIIIiiHHII', bmp, 2, len(bmp), 0, 54, 40, 16, 1, 1, 0, 5, len(png))
open(sys.argv[1] + '/png-inside.bmp', 'wb').write(bytes(bmp))
PY
convert "${picture[@]}" $img/one-frame.gif
convert "${picture[@]}" -interlace GIF $img/interlaced.gif
convert -delay 10 "${picture[@]}" \( -size 5x4 xc:blue \) $img/two-frames.gif
convert "${picture[@]}" -compress none $img/plain.ppm
convert "${picture[@]}" $img/raw.ppm
convert "${picture[@]}" -colorspace gray -compress none $img/plain.pgm
convert "${picture[@]}" -colorspace gray -depth 16 $img/raw16.pgm
# The netpbm target takes the form from the first byte: 0 P2, 1 P3, 2 P5, 3 P6.
for f in plain.ppm raw.ppm plain.pgm raw16.pgm; do
  case "$(head -c2 $img/$f)" in P2) b='\x00' ;; P3) b='\x01' ;; P5) b='\x02' ;; *) b='\x03' ;; esac
  { printf "$b"; tail -c +3 $img/$f; } >$pnm/$f
done

printf 'GIMP Palette\nName: seeds\nColumns: 16\n#\n255   0   0\tRed\n  0 255   0\tGreen\n' >$txt/gimp-lf.gpl
printf 'GIMP Palette\r\nName: seeds\r\n# a comment\r\n\r\n1 2 3\r\n4\t5\t6 Blue\r\n' >$txt/gimp-crlf.gpl
printf '\xEF\xBB\xBFGIMP Palette\r1 2 3\r4 5 6' >$txt/gimp-cr-bom.gpl
printf 'JASC-PAL\r\n0100\r\n3\r\n1 2 3\r\n4 5 6\r\n7 8 9\r\n\r\n' >$txt/jasc-crlf.pal
printf 'JASC-PAL\n0100\n2\n255 255 255\n0 0 0\n' >$txt/jasc-lf.pal
# A RIFF palette of three colours (red, green, blue), after a LIST chunk of odd size and its pad byte.
printf 'RIFF\x28\0\0\0PAL LIST\x03\0\0\0abc\0data\x10\0\0\0\0\x03\x03\0' >$txt/riff.pal
printf '\xff\0\0\0\0\xff\0\0\0\0\xff\0' >>$txt/riff.pal

cp ../samples/palette24.kcf ../samples/palette12.kcf ../samples/headerless.kcf $notes/
objcopy -O binary --only-section=.zentrow_pipl "$module" $pipl/pipl.bin 2>/dev/null
objcopy --only-section=.zentrow_pipl "$module" $pipl/pipl-section-only.elf 2>/dev/null
