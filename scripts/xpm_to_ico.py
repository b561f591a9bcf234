#!/usr/bin/python3
"""Writes a Windows icon (.ico) holding the pixels of an XPM picture, for the Windows build.

Usage: xpm_to_ico.py PICTURE.xpm ICON.ico

The icon has one image at the picture's own size, 16 colours from the standard 16-colour palette
(a colour outside it is refused, so the icon shows exactly the picture's colours), and a mask in
which the picture's "None" pixels are transparent.
"""

import re
import struct
import sys

PALETTE = [
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
]
TRANSPARENT = None


def read_xpm(path):
    """The picture's rows of pixels, each pixel an RGB value or TRANSPARENT."""
    with open(path, encoding="ascii") as source:
        strings = re.findall(r'"([^"]*)"', re.sub(r"/\*.*?\*/", "", source.read(), flags=re.S))
    width, height, colours, per_pixel = (int(n) for n in strings[0].split()[:4])
    table = {}
    for line in strings[1:1 + colours]:
        key, value = line[:per_pixel], line[per_pixel:].split()
        colour = value[value.index("c") + 1]
        table[key] = TRANSPARENT if colour.lower() == "none" else int(colour.lstrip("#"), 16)
    rows = strings[1 + colours:1 + colours + height]
    if len(rows) != height or any(len(row) != width * per_pixel for row in rows):
        raise ValueError("%s: the rows do not match the stated size" % path)
    return [[table[row[x:x + per_pixel]] for x in range(0, len(row), per_pixel)] for row in rows]


def palette_index(colour):
    if colour is TRANSPARENT:
        return 0
    if colour not in PALETTE:
        raise ValueError("colour #%06X is not in the 16-colour palette" % colour)
    return PALETTE.index(colour)


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def bitmap_rows(pixels):
    """The colour rows (4 bits a pixel) and the mask rows (1 bit, set where transparent), bottom
    row first as bitmaps store them."""
    colour_rows, mask_rows = [], []
    for row in reversed(pixels):
        indexes = [palette_index(c) for c in row] + [0] * (len(row) % 2)
        colour_rows.append(padded(bytes(a << 4 | b for a, b in zip(indexes[::2], indexes[1::2]))))
        bits = [1 if c is TRANSPARENT else 0 for c in row] + [0] * (-len(row) % 8)
        mask_rows.append(padded(bytes(
            sum(bit << (7 - i) for i, bit in enumerate(bits[n:n + 8]))
            for n in range(0, len(bits), 8))))
    return b"".join(colour_rows), b"".join(mask_rows)


def icon(pixels):
    height, width = len(pixels), len(pixels[0])
    colours, mask = bitmap_rows(pixels)
    # An icon's bitmap header counts the colour and mask images together: twice the height.
    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, 4, 0,
                         len(colours) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", c & 0xFF, c >> 8 & 0xFF, c >> 16, 0) for c in PALETTE)
    image = header + palette + colours + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", width % 256, height % 256, 16, 0, 1, 4, len(image),
                        len(directory) + 16)
    return directory + entry + image


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    data = icon(read_xpm(sys.argv[1]))
    with open(sys.argv[2], "wb") as out:
        out.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
