#!/usr/bin/env python3
"""Recomputes the machine-identifier hashes the machine_id tests expect.

The identifier hash is MD5 finished twice on the same context: the length
block of a finish is hashed without entering the buffer or the bit counter,
so a second finish pads again from where the first stopped. This is MD5
written from scratch (nothing shared with the installer's code); the first
finish is checked against hashlib before anything is printed.

usage: machine-id-hash.py [TEXT ...]     (no TEXT: the values the tests use)
"""
import hashlib
import math
import struct
import sys

SHIFTS = [7, 12, 17, 22] * 4 + [5, 9, 14, 20] * 4 + [4, 11, 16, 23] * 4 + [6, 10, 15, 21] * 4
SINES = [int(abs(math.sin(i + 1)) * 2**32) & 0xFFFFFFFF for i in range(64)]
MASK = 0xFFFFFFFF


def rotl(x, n):
    return ((x << n) | (x >> (32 - n))) & MASK


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
        b = (b + rotl(f, SHIFTS[i])) & MASK
    return [(x + y) & MASK for x, y in zip(state, (a, b, c, d))]


class Context:
    def __init__(self):
        self.state = [0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476]
        self.bits = 0
        self.buffer = b""

    def update(self, data):
        for byte in data:
            self.buffer += bytes([byte])
            self.bits = (self.bits + 8) & 0xFFFFFFFFFFFFFFFF
            if len(self.buffer) == 64:
                self.state = compress(self.state, self.buffer)
                self.buffer = b""

    def finish(self):
        count = self.bits
        pad = (56 - len(self.buffer)) % 64 or 64
        self.update(b"\x80" + b"\x00" * (pad - 1))
        assert len(self.buffer) == 56
        self.state = compress(self.state, self.buffer + struct.pack("<Q", count))

    def digest(self):
        return struct.pack("<4I", *self.state)


def single(data):
    ctx = Context()
    ctx.update(data)
    ctx.finish()
    return ctx.digest().hex()


def machine_id_hash(text):
    ctx = Context()
    ctx.update(text[:259])
    ctx.finish()
    ctx.finish()
    return ctx.digest().hex()


def self_check():
    for n in [0, 1, 3, 55, 56, 57, 63, 64, 65, 119, 120, 200, 259, 1000]:
        data = bytes((i * 7 + n) & 0xFF for i in range(n))
        assert single(data) == hashlib.md5(data).hexdigest(), n
    assert single(b"Mid2Failed") == hashlib.md5(b"Mid2Failed").hexdigest()


def main():
    self_check()
    texts = [a.encode("latin-1") for a in sys.argv[1:]] or [b"", b"Mid2Failed", b"a" * 300, b"a" * 259, b"a" * 258]
    for text in texts:
        print("%d bytes: %s" % (len(text), machine_id_hash(text)))


if __name__ == "__main__":
    main()
