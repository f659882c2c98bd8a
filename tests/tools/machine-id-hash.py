#!/usr/bin/env python3
"""Recomputes the machine-identifier hashes the machine_id tests expect.

The identifier hash is MD5 finished twice on one context: a finish hashes its
length block without entering it into the buffer or the bit counter, so the
second pads again from where the first stopped. MD5 written from scratch
(nothing shared with the installer's code), checked against hashlib first.

usage: machine-id-hash.py [TEXT ...]     (no TEXT: the values the tests use)
"""
import hashlib
import math
import struct
import sys

SHIFTS = [7, 12, 17, 22] * 4 + [5, 9, 14, 20] * 4 + [4, 11, 16, 23] * 4 + [6, 10, 15, 21] * 4
SINES = [int(abs(math.sin(i + 1)) * 2**32) & 0xFFFFFFFF for i in range(64)]
MASK = 0xFFFFFFFF


def compress(state, block):
    m = struct.unpack("<16I", block)
    a, b, c, d = state
    for i in range(64):
        if i < 16:
            f, g = (b & c) | (~b & d), i
        elif i < 32:
            f, g = (d & b) | (~d & c), (5 * i + 1) % 16
        elif i < 48:
            f, g = b ^ c ^ d, (3 * i + 5) % 16
        else:
            f, g = c ^ (b | (~d & MASK)), (7 * i) % 16
        f = (f + a + SINES[i] + m[g]) & MASK
        a, d, c = d, c, b
        b = (b + ((f << SHIFTS[i]) | (f >> (32 - SHIFTS[i])))) & MASK
    return [(x + y) & MASK for x, y in zip(state, (a, b, c, d))]


def md5(data, finishes=1):
    """MD5 of data with its finish done that many times on one context."""
    state, buffer, bits = [0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476], data, 8 * len(data)
    for _ in range(finishes):
        count, pad = bits, (56 - len(buffer)) % 64 or 64
        buffer += b"\x80" + b"\x00" * (pad - 1)
        bits += 8 * pad
        while len(buffer) > 56:
            state, buffer = compress(state, buffer[:64]), buffer[64:]
        state = compress(state, buffer + struct.pack("<Q", count & 0xFFFFFFFFFFFFFFFF))
    return struct.pack("<4I", *state).hex()


if __name__ == "__main__":
    for n in [0, 1, 3, 55, 56, 57, 63, 64, 65, 119, 120, 200, 259, 1000]:
        data = bytes((i * 7 + n) & 0xFF for i in range(n))
        assert md5(data) == hashlib.md5(data).hexdigest(), n
    texts = [a.encode("latin-1") for a in sys.argv[1:]] or [
        b"", b"Mid2Failed", *(b"a" * n for n in (300, 259, 258, 55, 56, 63, 64, 119, 120))]
    for text in texts:
        print("%d bytes: %s" % (len(text), md5(text[:259], 2)))
