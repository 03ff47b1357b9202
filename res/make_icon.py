#!/usr/bin/env python3
"""Writes Quenby.ico: a 32x32 and a 16x16 image, 16 colours with a mask;
and quenby.svg, the 32x32 picture drawn with shapes, from which the desktop
icons larger than 32x32 are made.

Run it again after changing a picture: python3 res/make_icon.py
"""
import os
import struct

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, SILVER, WHITE = 0, 4, 7, 15
CLEAR = None  # A transparent pixel.

# Capital letters three pixels wide and five high.
FONT = {
    "Q": [".X.", "X.X", "X.X", "XX.", ".XX"],
    "U": ["X.X", "X.X", "X.X", "X.X", "XXX"],
    "E": ["XXX", "X..", "XX.", "X..", "XXX"],
    "N": ["XX.", "X.X", "X.X", "X.X", "X.X"],
    "B": ["XX.", "X.X", "XX.", "X.X", "XX."],
    "Y": ["X.X", "X.X", ".X.", ".X.", ".X."],
}


LARGE = 32


def name_runs():
    """The product name's black marks on the 32x32 picture, centred, as
    (x, y, width) runs along the rows."""
    text = "QUENBY"
    width = len(text) * 4 - 1
    x0, y0 = (LARGE - width) // 2, 13
    runs = []
    for n, letter in enumerate(text):
        for y, row in enumerate(FONT[letter]):
            for x, mark in enumerate(row):
                if mark == "X" and (x == 0 or row[x - 1] != "X"):
                    length = len(row[x:]) - len(row[x:].lstrip("X"))
                    runs.append((x0 + n * 4 + x, y0 + y, length))
    return runs


def large_picture():
    """A grey block in a black outline, lit white along its top and right
    edges, with the product name in black capitals."""
    size = LARGE
    pixels = [[SILVER] * size for _ in range(size)]
    for i in range(size):
        pixels[0][i] = pixels[size - 1][i] = BLACK
        pixels[i][0] = pixels[i][size - 1] = BLACK
    for i in range(1, size - 1):
        pixels[1][i] = WHITE          # top bevel
        pixels[i][size - 2] = WHITE   # right bevel
    for x, y, length in name_runs():
        for i in range(length):
            pixels[y][x + i] = BLACK
    return pixels


def svg():
    """The large picture with shapes on the same 32-unit grid, so that it
    stays sharp at every whole multiple of 32 pixels."""
    def rgb(index):
        return "#%02x%02x%02x" % PALETTE[index]

    letters = "".join("M%d %dh%dv1h-%dz" % (x, y, n, n)
                      for x, y, n in name_runs())
    last = LARGE - 1
    return "\n".join([
        '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
        'viewBox="0 0 %d %d">' % ((LARGE,) * 4),
        '<title>Quenby Playlist Maker</title>',
        # The block with its outline on the outermost ring of pixels.
        '<rect x="0.5" y="0.5" width="%d" height="%d" fill="%s" '
        'stroke="%s"/>' % (last, last, rgb(SILVER), rgb(BLACK)),
        # The bevel: the ring inside it, along the top and the right.
        '<path d="M1 1.5H%d.5V%d" fill="none" stroke="%s"/>' % (
            last - 1, last, rgb(WHITE)),
        '<path d="%s" fill="%s"/>' % (letters, rgb(BLACK)),
        '</svg>',
        '',
    ])


def small_picture():
    """A navy quaver on a clear background."""
    art = [
        "................",
        "........XX......",
        "........XXX.....",
        "........X.XX....",
        "........X..XX...",
        "........X...X...",
        "........X...X...",
        "........X..X....",
        "........X.......",
        "........X.......",
        "....XXXXX.......",
        "...XXXXXX.......",
        "...XXXXXX.......",
        "....XXXX........",
        "................",
        "................",
    ]
    return [[NAVY if c == "X" else CLEAR for c in row] for row in art]


def dib(pixels):
    """One icon image: header, palette, colour bits, then the mask, each
    bottom row first and each row padded to four bytes."""
    size = len(pixels)
    colour_row = (size * 4 + 31) // 32 * 4
    mask_row = (size + 31) // 32 * 4
    colour = bytearray()
    mask = bytearray()
    for row in reversed(pixels):
        line = bytearray(colour_row)
        bits = bytearray(mask_row)
        for x, index in enumerate(row):
            if index is None:
                bits[x // 8] |= 0x80 >> (x % 8)
                index = 0
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        colour += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(colour) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(colour) + bytes(mask)


def icon(pictures):
    images = [dib(p) for p in pictures]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for picture, image in zip(pictures, images):
        size = len(picture)
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image),
                           offset)
        offset += len(image)
    return out + b"".join(images)


if __name__ == "__main__":
    folder = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(folder, "Quenby.ico"), "wb") as f:
        f.write(icon([large_picture(), small_picture()]))
    with open(os.path.join(folder, "quenby.svg"), "w") as f:
        f.write(svg())
