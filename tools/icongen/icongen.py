#!/usr/bin/env python3
"""Draws Kelvane's application icon and writes it as a Windows .ico file.

The picture is a thermometer standing beside a processor chip. It is described as shapes on a
16 x 16 unit canvas and rasterised for the 32 and 48 pixel images; the 16 pixel image is the
same layout drawn pixel by pixel, which reads better at that size. The file holds three images, in this order:

  1. 32 x 32, 16 colours (4 bits per pixel), 744 bytes
  2. 16 x 16, 16 colours (4 bits per pixel), 296 bytes
  3. 48 x 48, 256 colours (8 bits per pixel), 3752 bytes

Each image is a bottom-up device-independent bitmap (BITMAPINFOHEADER with doubled height,
colour table, colour bits) followed by its 1-bit AND mask; there are no PNG images. The
directory entries carry planes 1 and the bit count, which resource compilers copy into the
icon group.

Usage: python3 tools/icongen/icongen.py [OUTPUT]   (default: res/kelvane.ico)
Only the Python standard library is needed; the output is the same on every run.
"""

import os
import struct
import sys

# The 16 colours of the standard Windows 4-bit palette, as (red, green, blue).
BLACK = (0, 0, 0)
DARK_RED = (128, 0, 0)
DARK_GREEN = (0, 128, 0)
OLIVE = (128, 128, 0)
NAVY = (0, 0, 128)
PURPLE = (128, 0, 128)
TEAL = (0, 128, 128)
SILVER = (192, 192, 192)
GRAY = (128, 128, 128)
RED = (255, 0, 0)
GREEN = (0, 255, 0)
YELLOW = (255, 255, 0)
BLUE = (0, 0, 255)
MAGENTA = (255, 0, 255)
CYAN = (0, 255, 255)
WHITE = (255, 255, 255)

PALETTE_16 = [BLACK, DARK_RED, DARK_GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER,
              GRAY, RED, GREEN, YELLOW, BLUE, MAGENTA, CYAN, WHITE]


def palette_256():
    """The 16 standard colours, a 6 x 6 x 6 colour cube and a ramp of greys."""
    colours = list(PALETTE_16)
    steps = [0, 51, 102, 153, 204, 255]
    for r in steps:
        for g in steps:
            for b in steps:
                colours.append((r, g, b))
    while len(colours) < 256:
        level = 8 + (len(colours) - 232) * 10
        colours.append((level, level, level))
    return colours[:256]


# --- The picture -----------------------------------------------------------------------------
# Shapes on a 16 x 16 unit canvas, y pointing down, painted in this order (later ones cover
# earlier ones). Each is (test(x, y) -> bool, colour).

def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 < r * r


def either(*tests):
    return lambda x, y: any(t(x, y) for t in tests)


def capsule(x0, x1, top, bottom):
    """A vertical bar with a round top."""
    r = (x1 - x0) / 2
    return either(rect(x0, top + r, x1, bottom), disc(x0 + r, top + r, r))


# Chip: a grey package with two silver pins on each side and a teal die in its middle. The
# thermometer stands at its right: a glass tube with a round top and a bulb, red liquid up to
# its upper third.
CHIP = (1.0, 3.0, 9.0, 11.0)  # x0, y0, x1, y1
PIN_OFFSETS = (2.0, 5.0)
TUBE_X0, TUBE_X1 = 10.0, 15.0
BULB = (12.5, 12.9)


def chip_pins():
    x0, y0, x1, y1 = CHIP
    pins = []
    for offset in PIN_OFFSETS:
        pins.append(rect(x0 - 1, y0 + offset, x0, y0 + offset + 1))  # left
        pins.append(rect(x1, y0 + offset, x1 + 1, y0 + offset + 1))  # right
        pins.append(rect(x0 + offset, y0 - 1, x0 + offset + 1, y0))  # top
        pins.append(rect(x0 + offset, y1, x0 + offset + 1, y1 + 1))  # bottom
    return either(*pins)


def shapes(shaded):
    x0, y0, x1, y1 = CHIP
    body_colour, die_colour, glass, liquid = GRAY, TEAL, WHITE, RED
    if shaded:
        body_colour, die_colour, glass, liquid = (96, 100, 110), (0, 153, 153), \
            (235, 240, 245), (220, 20, 20)
    painted = [
        (chip_pins(), SILVER),
        (rect(x0, y0, x1, y1), BLACK),
        (rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1), body_colour),
        (rect(x0 + 2, y0 + 2, x1 - 2, y1 - 2), die_colour),
        (either(capsule(TUBE_X0, TUBE_X1, 0.0, 12.0), disc(BULB[0], BULB[1], 3.0)), BLACK),
        (capsule(TUBE_X0 + 1, TUBE_X1 - 1, 1.0, 12.0), glass),
        (rect(12.0, 5.0, 13.0, 12.0), liquid),
        (disc(BULB[0], BULB[1], 2.0), liquid),
    ]
    if shaded:
        # Light from the top left: a lit package edge, a glint on glass and bulb.
        painted.append((rect(x0 + 1, y0 + 1, x1 - 1, y0 + 1.4), (150, 155, 165)))
        painted.append((rect(11.2, 2.0, 11.6, 10.0), WHITE))
        painted.append((disc(BULB[0] - 0.7, BULB[1] - 0.7, 0.6), (255, 140, 140)))
    return painted


# At 16 x 16 pixels the shapes are too fine to rasterise well, so that image is drawn by hand
# after the same layout. k black, s silver, g grey, t teal, w white, r red, '.' transparent.
PIXELS_16 = [
    "...........kkk..",
    "..........kwwwk.",
    "...s..s...kwwwk.",
    ".kkkkkkkk.kwwwk.",
    ".kggggggk.kwwwk.",
    "skgttttgkskwrwk.",
    ".kgttttgk.kwrwk.",
    ".kgttttgk.kwrwk.",
    "skgttttgkskwrwk.",
    ".kggggggk.kwrwk.",
    ".kkkkkkkk.kwrwk.",
    "...s..s..kkrrrkk",
    ".........krrrrrk",
    ".........krrrrrk",
    ".........kkrrrkk",
    "..........kkkkk.",
]
PIXEL_COLOURS = {"k": BLACK, "s": SILVER, "g": GRAY, "t": TEAL, "w": WHITE, "r": RED}


def colour_at(painted, x, y):
    """Colour of the picture at a point, or None where it is transparent."""
    result = None
    for test, colour in painted:
        if test(x, y):
            result = colour
    return result


# --- Rasterising -----------------------------------------------------------------------------

SAMPLES = 4  # per pixel and axis


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], colour)))


def rasterise(size, palette, shaded):
    """Rows top-down of palette indices, None for transparent pixels."""
    if size == 16:
        return [[None if c == "." else palette.index(PIXEL_COLOURS[c]) for c in line]
                for line in PIXELS_16]
    painted = shapes(shaded)
    unit = 16.0 / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            found = []
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) * unit
                    y = (py + (sy + 0.5) / SAMPLES) * unit
                    colour = colour_at(painted, x, y)
                    if colour is not None:
                        found.append(colour)
            if len(found) * 2 < SAMPLES * SAMPLES:
                row.append(None)
            elif shaded:
                mean = tuple(sum(c[i] for c in found) / len(found) for i in range(3))
                row.append(nearest(palette, mean))
            else:
                # Few colours: the most frequent one keeps edges crisp.
                counts = {}
                for colour in found:
                    counts[colour] = counts.get(colour, 0) + 1
                best = max(counts.items(), key=lambda item: (item[1], -palette.index(item[0])))
                row.append(palette.index(best[0]))
        rows.append(row)
    return rows


# --- File format -----------------------------------------------------------------------------

def row_bytes(width, bits):
    return (width * bits + 31) // 32 * 4


def encode_image(rows, bits, palette):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0,
                         0, 0, 0, 0, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    colour_rows = []
    mask_rows = []
    for row in reversed(rows):  # bottom-up
        colour = bytearray(row_bytes(size, bits))
        mask = bytearray(row_bytes(size, 1))
        for x, index in enumerate(row):
            if index is None:
                mask[x // 8] |= 0x80 >> (x % 8)
                index = 0
            if bits == 8:
                colour[x] = index
            else:
                colour[x // 2] |= index << (4 if x % 2 == 0 else 0)
        colour_rows.append(bytes(colour))
        mask_rows.append(bytes(mask))
    return header + table + b"".join(colour_rows) + b"".join(mask_rows)


IMAGES = [(32, 4), (16, 4), (48, 8)]  # (size, bits per pixel), in file order


def build_icon():
    images = []
    for size, bits in IMAGES:
        palette = PALETTE_16 if bits == 4 else palette_256()
        rows = rasterise(size, palette, shaded=(bits == 8))
        images.append((size, bits, encode_image(rows, bits, palette)))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        colours = 16 if bits == 4 else 0
        directory += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(data),
                                 offset)
        offset += len(data)
    return directory + b"".join(data for _, _, data in images)


def main():
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "res", "kelvane.ico")
    icon = build_icon()
    with open(output, "wb") as f:
        f.write(icon)
    print(f"{output}: {len(icon)} bytes")


if __name__ == "__main__":
    main()
