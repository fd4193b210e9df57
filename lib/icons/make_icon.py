#!/usr/bin/env python3
"""Draws the console's icon: the word "test" above a staircase of green bars.

Writes corvane.ico beside this script: one 32x32 image, 16 colours, with its
transparency mask. Plain python3, no extra modules, so anyone can redraw it.
With --check it writes nothing and fails when corvane.ico is not what it draws.
"""
import os
import struct
import sys

SIZE = 32

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
DARK_BLUE = 4
GREEN = 2
WHITE = 15
CLEAR = None

# Letters 4 pixels wide and 7 high; "t" rises above the others.
GLYPHS = {
    "t": [".#..",
          ".#..",
          "####",
          ".#..",
          ".#..",
          ".#..",
          "..##"],
    "e": ["....",
          "....",
          ".##.",
          "#..#",
          "####",
          "#...",
          ".###"],
    "s": ["....",
          "....",
          ".###",
          "#...",
          ".##.",
          "...#",
          "###."],
}

TEXT_LEFT, TEXT_TOP = 1, 1
STAIRS_TOP = 8          # first row of the top bar
BAR_HEIGHT = 4          # six bars of four rows fill rows 8..31
BAR_LEFTS = [27, 22, 16, 11, 5, 0]   # each bar runs from here to the right edge


def draw():
    """Returns the picture as rows (top first) of palette indexes or CLEAR."""
    pixels = [[CLEAR] * SIZE for _ in range(SIZE)]

    x = TEXT_LEFT
    for letter in "test":
        for dy, row in enumerate(GLYPHS[letter]):
            for dx, mark in enumerate(row):
                if mark == "#":
                    pixels[TEXT_TOP + dy][x + dx] = DARK_BLUE
        x += 5

    for n, left in enumerate(BAR_LEFTS):
        top = STAIRS_TOP + n * BAR_HEIGHT
        for y in range(top, top + BAR_HEIGHT):
            for x in range(left, SIZE):
                edge = y == top or x == left
                pixels[y][x] = WHITE if edge else GREEN
    return pixels


def ico_bytes(pixels):
    # Colour bits, 4 per pixel, rows bottom first; 16 bytes per row needs no padding.
    xor = bytearray()
    for row in reversed(pixels):
        for x in range(0, SIZE, 2):
            hi = row[x] or 0
            lo = row[x + 1] or 0
            xor.append(hi << 4 | lo)
    # Mask bits, 1 = transparent, rows bottom first; 4 bytes per row.
    mask = bytearray()
    for row in reversed(pixels):
        bits = 0
        for x in range(SIZE):
            bits = bits << 1 | (1 if row[x] is CLEAR else 0)
        mask += struct.pack(">I", bits)

    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    # The header's height counts the colour and mask bitmaps together.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    image = header + palette + bytes(xor) + bytes(mask)

    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corvane.ico")
    icon = ico_bytes(draw())
    if "--check" in sys.argv[1:]:
        with open(out, "rb") as f:
            if f.read() != icon:
                sys.exit("corvane.ico differs from what make_icon.py draws; run make_icon.py")
        return
    with open(out, "wb") as f:
        f.write(icon)


if __name__ == "__main__":
    main()
