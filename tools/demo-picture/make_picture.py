#!/usr/bin/env python3
"""Draws a demo account picture: a 96 x 96, 24 bpp BMP with a simple head-and-shoulders figure.

    python3 tools/demo-picture/make_picture.py OUT.bmp

Under Wine the popup looks for the account picture in
C:\\ProgramData\\Microsoft\\User Account Pictures\\<account name>.bmp, so OUT.bmp is usually
"$WINEPREFIX/drive_c/ProgramData/Microsoft/User Account Pictures/<account name>.bmp"."""
import os
import struct
import sys

SIZE = 96


def pixel(x, y):
    """(r, g, b) at (x, y), y from the top."""
    head = (x - 48) ** 2 + (y - 38) ** 2 <= 18 ** 2
    shoulders = y >= 62 and (x - 48) ** 2 / 36 ** 2 + (y - 96) ** 2 / 32 ** 2 <= 1
    if head or shoulders:
        return (0xB4, 0x64, 0x28)  # falcon brown
    shade = y * 60 // SIZE
    return (0x5A + shade, 0x9A + shade // 2, 0xD2)  # a sky that lightens downwards


def bmp(width, height):
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in reversed(range(height)):  # BMP rows are stored bottom-up
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + data


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_picture.py OUT.bmp")
    out = sys.argv[1]
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    with open(out, "wb") as f:
        f.write(bmp(SIZE, SIZE))


if __name__ == "__main__":
    main()
