#!/usr/bin/env python3
"""Draws Kestrelon's resource art: the link highlight bitmap, the two icons, and the demo
profile's account picture.

Run from the repository root: python3 tools/make_art.py
The outputs are committed; run this again only to change the art."""
import struct

OUT = "resources/"


def bmp_24(width, height, pixel):
    """A bottom-up 24 bpp BMP file; pixel(x, y) gives (r, g, b) with y from the top."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in reversed(range(height)):
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


def icon_image_32(size, pixel):
    """One 32 bpp icon image (BITMAPINFOHEADER, BGRA rows bottom-up, AND mask)."""
    xor = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b, a = pixel(x, y, size)
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    and_mask = b"\0" * (mask_stride * size)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return info + bytes(xor) + and_mask


def icon_image_1(size, on):
    """One monochrome icon image: black where on(x, y), transparent elsewhere."""
    stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):
        xrow = bytearray(stride)
        mrow = bytearray(b"\xff" * stride)
        for x in range(size):
            if on(x, y):
                mrow[x // 8] &= ~(0x80 >> (x % 8)) & 0xFF
        xor += xrow
        mask += mrow
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, len(xor) + len(mask), 0, 0, 2, 0)
    return info + palette + bytes(xor) + bytes(mask), 1


def ico(images):
    """images: list of (size, bits per pixel, image bytes)."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, bpp, data in images:
        colours = 2 if bpp == 1 else 0
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bpp, len(data), offset + len(body))
        body += data
    return out + body


def link_back(x, y):
    # A grey-blue button face, lighter in its upper half, with a dark outline.
    if x in (0, 134) or y in (0, 30):
        return (0x3C, 0x4A, 0x5E)
    if y < 15:
        return (0x9C, 0xB4, 0xCE)
    return (0x6E, 0x8C, 0xAE)


def kestrel_button(x, y, size):
    # A round badge in falcon brown with a lighter wing stripe.
    c = (size - 1) / 2
    d = ((x - c) ** 2 + (y - c) ** 2) ** 0.5
    if d > size / 2:
        return (0, 0, 0, 0)
    if d > size / 2 - max(1, size // 16):
        return (0x5A, 0x32, 0x14, 0xFF)
    if abs((x - c) + (y - c) * 0.5) < size / 8:
        return (0xF0, 0xC8, 0x8C, 0xFF)
    return (0xB4, 0x64, 0x28, 0xFF)


def right_arrow(x, y):
    # A solid triangle pointing right, centred in 16 x 16.
    return 5 <= x <= 10 and abs(y - 7.5) <= (10 - x) * 0.75 + 0.5


def demo_account_picture(x, y):
    # A head-and-shoulders figure in falcon brown against a sky that lightens downwards.
    head = (x - 48) ** 2 + (y - 38) ** 2 <= 18 ** 2
    shoulders = y >= 62 and (x - 48) ** 2 / 36 ** 2 + (y - 96) ** 2 / 32 ** 2 <= 1
    if head or shoulders:
        return (0xB4, 0x64, 0x28)
    shade = y * 60 // 96
    return (0x5A + shade, 0x9A + shade // 2, 0xD2)


def main():
    with open(OUT + "linkback.bmp", "wb") as f:
        f.write(bmp_24(135, 31, link_back))
    with open(OUT + "button.ico", "wb") as f:
        f.write(ico([(s, 32, icon_image_32(s, kestrel_button)) for s in (16, 32, 48)]))
    with open("tools/demo-account.bmp", "wb") as f:
        f.write(bmp_24(96, 96, demo_account_picture))
    data, _ = icon_image_1(16, right_arrow)
    with open(OUT + "rightarrow.ico", "wb") as f:
        f.write(ico([(16, 1, data)]))


if __name__ == "__main__":
    main()
