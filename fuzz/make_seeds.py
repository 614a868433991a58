#!/usr/bin/env python3
"""Writes the seed inputs of kiss_host_fuzzer and text_fuzzer into
fuzz/seeds/<target>/ (kiss_open_fuzzer starts from tests/data/kiss and the
real palettes). Host seeds are sample palettes followed by the settings bytes
and a selector program laid out as kiss_host_fuzzer.cpp describes.

  python3 fuzz/make_seeds.py
"""
import os
import struct

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SEEDS = os.path.join(ROOT, "fuzz", "seeds")
PALETTES = os.path.join(ROOT, "tests", "data", "kiss")

SETTINGS = 22  # kSettingsBytes
(ABSENT, VERSIONS, COUNTS, NULL_ROUTINE, ADVANCE_ROW, ADVANCE_CODE, HANDLE_CREATE_FAIL,
 HANDLE_LOCK_FAIL, BUFFER_ALLOCATE_FAIL, BUFFER_LOCK_FAIL, DESCRIPTOR, ROWS, COLUMNS,
 PLANES_AND_DEPTH, IMAGE_MODE, IMAGE_RESOURCES, READ_FAIL, WRITE_FAIL, DISK_FULL,
 GLOBAL_ALLOC_FAIL, CALLOC_FAIL, FILE_REF) = range(SETTINGS)

OPEN = [17, 1, 2, 3, 4]
SAVE = [5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16]
# ReadStart, then a FilterFile that replaces the header, then ReadContinue.
FILTER_BETWEEN = [1, 2, 17, 3, 4]
ODD = [0, 18, 19, 3, 14, 3]  # About, out of range (18 and -1 as 19 - 20 + 1), no start


def program_bytes(selectors):
    # selector = byte % 20 - 1
    return bytes((s + 1) % 20 for s in selectors)


def host_seed(palette, settings, selectors=None):
    s = bytearray(SETTINGS)
    for index, value in settings.items():
        s[index] = value
    program = program_bytes(selectors) if selectors else b""
    return palette + bytes(s) + program + bytes((len(program),))


HOST_CASES = {
    "usual": {},
    "no-buffer-suite": {ABSENT: 0x01},
    "no-handle-suite": {ABSENT: 0x04},
    "no-descriptors": {ABSENT: 0x20},
    "no-advance-state": {ABSENT: 0x40},
    "buffer-suite-too-new": {VERSIONS: 0x02},
    "handle-suite-too-old": {VERSIONS: 0x10},
    "few-routines": {COUNTS: 0x55},
    "count-top-bit": {COUNTS: 0xAA},
    "handle-lock-missing": {NULL_ROUTINE: 0x35},
    "advance-fails-row-5": {ADVANCE_ROW: 6, ADVANCE_CODE: 2},
    "first-handle-fails": {HANDLE_CREATE_FAIL: 1},
    "second-lock-fails": {HANDLE_LOCK_FAIL: 2},
    "buffer-fails": {BUFFER_ALLOCATE_FAIL: 1},
    "buffer-lock-fails": {BUFFER_LOCK_FAIL: 1},
    "options-given": {DESCRIPTOR: 0x07},
    "close-missing": {DESCRIPTOR: 0x23},
    "no-read-token": {DESCRIPTOR: 0x08},
    "image-10x20": {ROWS: 10, COLUMNS: 20},
    "image-20x8": {ROWS: 20, COLUMNS: 8},
    "image-2x2-one-channel": {ROWS: 2, COLUMNS: 2, PLANES_AND_DEPTH: 1},
    "indexed-estimate": {IMAGE_MODE: 2, PLANES_AND_DEPTH: 1},
    "image-resources": {IMAGE_RESOURCES: 40},
    "read-fails-at-40": {READ_FAIL: 11},
    "write-fails-at-100": {WRITE_FAIL: 26},
    "disk-full-at-500": {DISK_FULL: 126},
    "global-alloc-fails": {ABSENT: 0x04, GLOBAL_ALLOC_FAIL: 3},
    "table-fails": {CALLOC_FAIL: 1},
    "no-file": {FILE_REF: 1},
}

PROGRAMS = {"all": None, "open": OPEN, "save": SAVE, "filter-between": FILTER_BETWEEN, "odd": ODD}


def text_seeds():
    def ps(text):
        return bytes((len(text),)) + text
    return {
        "append-short": b"\x00" + ps(b"abc") + b"\x05\x00" + b"hello" + b"\x00\x00\x05\x01",
        "append-at-cap": b"\x00" + ps(b"x" * 250) + b"\x0a\x00" + b"0123456789" * 2 +
                         b"\x00\x00\x0a\x01",
        "substitute-note": b"\x01" + ps(b"Morvid: ref num=^0.") + b"\x07" + ps(b"7") +
                           ps(b"") + ps(b""),
        "substitute-carets": b"\x01" + ps(b"a^^1b^2^3^") + b"\x06" + ps(b"") + ps(b"ONE") +
                             ps(b"two"),
        "substitute-long": b"\x01" + ps(b"^0" * 100) + b"\x01" + ps(b"y" * 200),
        "integer-min": b"\x02" + struct.pack("<i", -2**31),
        "integer-zero": b"\x02" + struct.pack("<i", 0),
        "decimal-2.5": b"\x03\x01" + struct.pack("<d", 2.5),
        "decimal-9.96": b"\x03\x01" + struct.pack("<d", 9.96),
        "decimal-negative-half": b"\x03\x01" + struct.pack("<d", -0.5),
        "decimal-1.1-three": b"\x03\x03" + struct.pack("<d", 1.1),
        "decimal-2.5-none": b"\x03\x00" + struct.pack("<d", 2.5),
    }


def write_folder(folder, seeds):
    os.makedirs(folder, exist_ok=True)
    for name in os.listdir(folder):
        os.remove(os.path.join(folder, name))
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def main():
    palettes = ["rgb24-256x1.kcf", "rgb12-16x10.kcf", "headerless-320.kcf",
                "too-many-256x10.kcf", "cut-in-colours-24.kcf"]
    host = {}
    for palette in palettes:
        with open(os.path.join(PALETTES, palette), "rb") as f:
            data = f.read()
        for case, settings in HOST_CASES.items():
            for program, selectors in PROGRAMS.items():
                if program != "all" and palette != palettes[0]:
                    continue
                host[f"{palette[:-4]}--{case}--{program}"] = host_seed(data, settings, selectors)
    write_folder(os.path.join(SEEDS, "kiss_host_fuzzer"), host)
    write_folder(os.path.join(SEEDS, "text_fuzzer"), text_seeds())


if __name__ == "__main__":
    main()
