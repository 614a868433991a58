#!/usr/bin/env python3
"""Writes the sample KiSS palettes of tests/data/kiss: every form the reader
meets (24-bit, 12-bit, headerless), counts at and around the 256-colour
limit, and files cut short. The fault-injection tests read each of them, and
the open fuzzer starts from them. Run from anywhere; rewrites the folder.

  python3 tests/data/make_palettes.py
"""
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "kiss")


def header(mark=16, bits=24, per_group=256, groups=1, signature=b"KiSS"):
    return signature + struct.pack("<BBxxhh", mark, bits, per_group, groups) + bytes(20)


def colors24(n):
    return b"".join(bytes((k & 0xFF, (255 - k) & 0xFF, (k * 7) & 0xFF)) for k in range(n))


def colors12(n):
    # red in the high nibble of byte 0, blue in its low nibble, green in byte 1
    return b"".join(bytes((((k * 5) & 0xF) << 4 | (k & 0xF), (k * 3) & 0xF | 0xA0))
                    for k in range(n))


SAMPLES = {
    # what the module writes, and the common real forms
    "rgb24-256x1.kcf": header() + colors24(256),
    "rgb24-16x16.kcf": header(per_group=16, groups=16) + colors24(256),
    "rgb24-16-colours.kcf": header(per_group=16) + colors24(16),
    "rgb24-200-colours.kcf": header(per_group=200) + colors24(200),
    "rgb12-16x10.kcf": header(bits=12, per_group=16, groups=10) + colors12(160),
    "rgb12-256x1.kcf": header(bits=12, per_group=256) + colors12(256),
    "headerless-320.kcf": colors12(160),
    "headerless-512.kcf": colors12(256),
    # counts at the edge of what the header may say
    "negative-counts-24.kcf": header(per_group=-16, groups=-16) + colors24(256),
    "one-negative-count.kcf": header(per_group=300, groups=-1) + colors24(4),
    "zero-groups.kcf": header(bits=12, per_group=16, groups=0),
    "signature-lower-s.kcf": b"KiSs" + colors12(160)[4:],
    # refused: more than 256 colours, a wrong mark, a wrong depth
    "too-many-256x10.kcf": header(groups=10) + colors24(2560),
    "too-many-16x17.kcf": header(per_group=16, groups=17) + colors24(272),
    "mark-32.kcf": header(mark=32) + colors24(256),
    "bits-8.kcf": header(bits=8) + colors24(256),
    # cut short
    "cut-in-colours-24.kcf": header() + colors24(100) + b"\x01",
    "cut-in-colours-12.kcf": header(bits=12, per_group=16, groups=10) + colors12(159),
    "headerless-319.kcf": colors12(160)[:319],
    "cut-in-header-31.kcf": header()[:31],
    "three-bytes.kcf": b"KiS",
    "empty.kcf": b"",
}


def main():
    os.makedirs(HERE, exist_ok=True)
    for name in os.listdir(HERE):
        if name.endswith(".kcf"):
            os.remove(os.path.join(HERE, name))
    for name, data in SAMPLES.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
