#!/usr/bin/env python3
"""Makes the body of a compressed parameter entry from plain body text, as
the layered-form files of other programs hold it: four bytes, then a zlib
stream, written in base64 letters whose six-bit groups are packed
little-endian. Used to make test fixtures; the program itself never writes
compressed entries.

usage: entry_compress.py [FILE]   (reads stdin without FILE)"""
import sys
import zlib

ALPHABET = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"


def encode(data: bytes) -> str:
    out = []
    for i in range(0, len(data), 3):
        group = data[i:i + 3]
        v = sum(b << (8 * k) for k, b in enumerate(group))
        letters = [ALPHABET[(v >> (6 * k)) & 63] for k in range(4)]
        for k in range(3 - len(group)):
            letters[3 - k] = "="
        out.append("".join(letters))
    return "".join(out)


def main():
    text = open(sys.argv[1], "rb").read() if len(sys.argv) > 1 else sys.stdin.buffer.read()
    packed = encode(len(text).to_bytes(4, "little") + zlib.compress(text))
    lines = [packed[i:i + 64] for i in range(0, len(packed), 64)]
    print("::" + "\n  ".join(lines))


if __name__ == "__main__":
    main()
