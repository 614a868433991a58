#!/usr/bin/env python3
"""Writes an interlaced 1-bit grey PNG of SIDE x SIDE pixels, all black but
for a white first row, compressed as tight as zlib goes: 32767 a side is
130 KB. A reader that decodes every row of the early passes to reach the top
rows spends the image's area on it.
    make_interlaced_png.py SIDE OUT.png"""
import struct
import sys
import zlib

PASSES = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2),
          (0, 1, 1, 2)]


def chunk(kind, data):
    return (struct.pack('>I', len(data)) + kind + data +
            struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))


def image_data(side):
    z = zlib.compressobj(9)
    out = []
    for x0, y0, dx, dy in PASSES:
        width = (side - x0 + dx - 1) // dx if side > x0 else 0
        height = (side - y0 + dy - 1) // dy if side > y0 else 0
        if width == 0 or height == 0:
            continue
        row_bytes = (width + 7) // 8
        black = b'\0' * (1 + row_bytes)
        if y0 == 0:  # the pass's first row is image row 0: white
            out.append(z.compress(b'\0' + b'\xff' * row_bytes))
            height -= 1
        block = black * 256
        for _ in range(height // 256):
            out.append(z.compress(block))
        out.append(z.compress(black * (height % 256)))
    out.append(z.flush())
    return b''.join(out)


def main():
    side = int(sys.argv[1])
    header = struct.pack('>IIBBBBB', side, side, 1, 0, 0, 0, 1)
    with open(sys.argv[2], 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', image_data(side)) +
                chunk(b'IEND', b''))


if __name__ == '__main__':
    main()
