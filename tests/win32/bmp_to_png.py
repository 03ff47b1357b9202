#!/usr/bin/env python3
"""Turns the 24-bit BMP screenshot that the Windows test writes into a PNG.

Usage: bmp_to_png.py IN.bmp OUT.png
"""
import struct
import sys
import zlib


def main(source, target):
    data = open(source, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    if bits != 24:
        sys.exit("only 24-bit pictures are expected")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        # BMP rows run bottom up when the height is positive, colours as BGR.
        source_row = abs(height) - 1 - y if height > 0 else y
        start = offset + source_row * stride
        row = bytearray(data[start:start + width * 3])
        row[0::3], row[2::3] = row[2::3], row[0::3]
        rows.append(b"\0" + bytes(row))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", width, abs(height), 8, 2, 0, 0, 0)
    with open(target, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", header))
        out.write(chunk(b"IDAT", zlib.compress(b"".join(rows), 9)))
        out.write(chunk(b"IEND", b""))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
