#!/usr/bin/env python3
"""Writes the seed inputs of cel_fuzzer, configuration_fuzzer and
lha_archive_fuzzer into fuzz/seeds/<target>/: cels of every form, a
configuration with every kind of line, and small LHA archives (members
stored unpacked, "-lh0-") holding a whole set, a set missing a cel, and
ones spoilt as the damaged sets are. The real sets (../shared/kiss-sets)
are replayed beside them.

  python3 fuzz/make_doll_seeds.py
"""
import os
import struct

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SEEDS = os.path.join(ROOT, "fuzz", "seeds")


def marked_cel(mark, bits, width, height, x, y, rows):
    header = b"KiSS" + bytes((mark, bits, 0, 0)) + struct.pack("<HHHH", width, height, x, y)
    return header + bytes(16) + bytes(rows)


def unmarked_cel(width, height, rows):
    return struct.pack("<HH", width, height) + bytes(rows)


def palette24(groups, per_group):
    header = b"KiSS" + bytes((16, 24, 0, 0)) + struct.pack("<hh", per_group, groups) + bytes(20)
    return header + bytes((g * 20 + k) % 256 for g in range(groups) for k in range(per_group * 3))


def lha_crc16(data):
    crc = 0
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ (0xA001 if crc & 1 else 0)
    return crc


def stored_archive(members):
    out = bytearray()
    for name, data in members:
        name = name.encode()
        header = (b"-lh0-" + struct.pack("<III", len(data), len(data), 0x00210000) + bytes((0x20, 0))
                  + bytes((len(name),)) + name + struct.pack("<H", lha_crc16(data)))
        out += bytes((len(header), sum(header) % 256)) + header + data
    return bytes(out + b"\0")


CNF = (b"; a set\r\n%body.kcf\r\n%clothes.kcf\r\n(120,90)\r\n[3\r\n"
       b"#1.999\thair.cel\t*1 :0 2 ;%t90\r\n#0 body.cel\r\n#2. shoe.cel *1:  9\r\n"
       b";@EventHandler\r\n$2 10,20 * -5,7\r\n 30,40\r\n$0 0,0 5,5 6,6\r\n$1 * 1,1\n 2 , 3\n")


def write(target, name, data):
    folder = os.path.join(SEEDS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main():
    cels = {
        "marked-4.cel": marked_cel(32, 4, 3, 2, 5, 7, [0x12, 0x3F, 0x45, 0x6F]),
        "marked-8.cel": marked_cel(32, 8, 4, 3, 0, 0, range(12)),
        "marked-32.cel": marked_cel(33, 32, 2, 2, 1, 1, range(16)),
        "unmarked-4.cel": unmarked_cel(5, 2, [0x12, 0x34, 0x50, 0x67, 0x89, 0xA0]),
        "cut-8.cel": marked_cel(32, 8, 4, 3, 0, 0, range(11)),
        "bits-24.cel": marked_cel(32, 24, 1, 1, 0, 0, range(3)),
    }
    for name, data in cels.items():
        write("cel_fuzzer", name, data)
    write("configuration_fuzzer", "every-line.cnf", CNF)
    write("configuration_fuzzer", "noted-lines.cnf",
          b"#x.cel\n#4 ; none\n% ;\n$ 1,2\n$0 1,2 3\n(640)\n[x\n(5000,400)\n#4096 a.cel\n")
    whole = [("set.cnf", CNF), ("body.kcf", palette24(3, 16)), ("clothes.kcf", palette24(1, 256)),
             ("hair.cel", cels["marked-8.cel"]), ("body.cel", cels["unmarked-4.cel"]),
             ("shoe.cel", cels["marked-32.cel"])]
    write("lha_archive_fuzzer", "whole-set.lzh", stored_archive(whole))
    write("lha_archive_fuzzer", "missing-cel.lzh", stored_archive(whole[:-1]))
    write("lha_archive_fuzzer", "cut-cel.lzh",
          stored_archive(whole[:3] + [("hair.cel", cels["cut-8.cel"])] + whole[4:]))
    damaged = bytearray(stored_archive(whole))
    damaged[1:2] = b"\xef\xbf\xbd"
    write("lha_archive_fuzzer", "damaged-header.lzh", bytes(damaged))
    spoilt = bytearray(stored_archive(whole))
    spoilt[-5] ^= 0xFF
    write("lha_archive_fuzzer", "damaged-data.lzh", bytes(spoilt))


if __name__ == "__main__":
    main()
