#!/usr/bin/env python3
"""Draws the context-menu glyph (bitmap 124 of tervano_ctx) from the text
drawing shellext/art/menu_glyph.txt into shellext/art/menu_glyph.bmp: 12 by
12 pixels, 4 bits a pixel with the standard 16-colour palette. The result is
committed, so a build needs no Python; run this after changing the drawing.
    scripts/make-menu-glyph.py
"""
import os
import struct
import sys

# The standard 16-colour palette in index order (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
SIZE = 12


def main():
    art = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "shellext", "art")
    with open(os.path.join(art, "menu_glyph.txt")) as f:
        rows = [line.strip() for line in f if line.strip() and not line.startswith("#")]
    if len(rows) != SIZE or any(len(r) != SIZE for r in rows):
        sys.exit("make-menu-glyph: the drawing must be %d rows of %d pixels" % (SIZE, SIZE))
    stride = (SIZE * 4 + 31) // 32 * 4
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray(stride)
        for x, ch in enumerate(row):
            index = int(ch, 16)
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        pixels += line
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 4, 0, len(pixels), 0, 0, 16, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(os.path.join(art, "menu_glyph.bmp"), "wb") as f:
        f.write(header + info + palette + pixels)


if __name__ == "__main__":
    main()
