#!/usr/bin/env python3
"""Writes the cabinet files the cabinet tests expand.

Stored (uncompressed) MS-CAB files, written by hand so that a test can have
entries no packing tool would produce: names with "..", absolute names, and
a file continued in a next cabinet.

usage: make-cabinets.py OUT_DIR
"""
import os
import struct
import sys


def checksum(data, seed=0):
    """The cabinet format's CSUMCompute."""
    csum = seed
    whole = len(data) // 4
    for i in range(whole):
        csum ^= struct.unpack_from("<I", data, i * 4)[0]
    rest = data[whole * 4:]
    tail = 0
    for byte in rest:
        tail = (tail << 8) | byte
    return (csum ^ tail) & 0xFFFFFFFF


def cabinet(files, next_cabinet=None):
    """files: list of (name, bytes); with next_cabinet the last file is
    marked as continued in that cabinet."""
    data = b"".join(content for _, content in files)
    flags = 0
    reserve_strings = b""
    if next_cabinet:
        flags |= 0x0002  # cfhdrNEXT_CABINET
        reserve_strings = next_cabinet.encode() + b"\0" + b"disk2\0"
    header_size = 36 + len(reserve_strings)
    folder_size = 8
    entries = b""
    offset = 0
    for index, (name, content) in enumerate(files):
        folder_index = 0
        if next_cabinet and index == len(files) - 1:
            folder_index = 0xFFFE  # ifoldCONTINUED_TO_NEXT
        size = len(content)
        if folder_index == 0xFFFE:
            size *= 2  # the rest would be in the next cabinet
        entries += struct.pack("<IIHHHH", size, offset, folder_index, 0x5A21, 0, 0x20)
        entries += name.encode("utf-8") + b"\0"
        offset += len(content)
    files_offset = header_size + folder_size
    data_offset = files_offset + len(entries)
    sizes = struct.pack("<HH", len(data), len(data))
    block = struct.pack("<I", checksum(sizes, checksum(data))) + sizes + data
    total = data_offset + len(block)
    header = b"MSCF" + struct.pack("<IIIIIBBHHHHH", 0, total, 0, files_offset, 0, 3, 1, 1,
                                   len(files), flags, 0x1234, 0)
    header += reserve_strings
    folder = struct.pack("<IHH", data_offset, 1, 0)  # one block, stored
    return header + folder + entries + block


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    cabinets = {
        "plain.cab": cabinet([("a.txt", b"alpha\r\n"), ("sub\\b.txt", b"bravo\r\n")]),
        "dotdot.cab": cabinet([("a.txt", b"alpha\r\n"), ("..\\evil.txt", b"evil\r\n")]),
        "absolute.cab": cabinet([("a.txt", b"alpha\r\n"), ("C:\\evil.txt", b"evil\r\n")]),
        "spanning.cab": cabinet([("a.txt", b"alpha\r\n"), ("big.bin", b"x" * 64)], "part2.cab"),
    }
    for name, content in cabinets.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(content)


if __name__ == "__main__":
    main()
