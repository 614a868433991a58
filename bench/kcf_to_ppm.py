#!/usr/bin/env python3
"""KiSS palettes (.kcf) to 16 x 16 PPM images, one pixel per colour, unused
pixels black: what one would write by hand instead of running plughost.
scripts/bench.sh times it beside `plughost open ... --out-dir DIR --format ppm`.
    kcf_to_ppm.py OUTDIR FILE...
"""
import os
import struct
import sys


def pixels(data):
    """The 16 x 16 RGB pixels of a palette file, or why it is not one."""
    if data[:4] != b"KiSS":
        bits, count, body = 12, 160, data  # no header: 10 groups of 16
    elif len(data) < 32:
        return "the header is cut short"
    else:
        bits, (per_group, groups) = data[5], struct.unpack_from("<hh", data, 8)
        if data[4] != 16 or bits not in (12, 24) or per_group * groups > 256:
            return "not a palette header"
        count, body = max(per_group * groups, 0), data[32:]
    size = 3 if bits == 24 else 2
    if len(body) < count * size:
        return "the colours are cut short"
    out = bytearray(16 * 16 * 3)
    for k in range(min(count, 256)):
        if size == 3:
            out[3 * k:3 * k + 3] = body[3 * k:3 * k + 3]
        else:
            rb, g = body[2 * k], body[2 * k + 1]
            out[3 * k:3 * k + 3] = bytes(((rb >> 4) * 17, (g & 15) * 17, (rb & 15) * 17))
    return out


def main(outdir, *files):
    os.makedirs(outdir, exist_ok=True)
    failed = 0
    for path in files:
        with open(path, "rb") as f:
            image = pixels(f.read())
        if isinstance(image, str):
            print(f"{path}: {image}", file=sys.stderr)
            failed += 1
            continue
        stem = os.path.splitext(os.path.basename(path))[0]
        with open(os.path.join(outdir, stem + ".ppm"), "wb") as f:
            f.write(b"P6\n16 16\n255\n" + image)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]) if len(sys.argv) > 2 else "usage: kcf_to_ppm.py OUTDIR FILE...")
