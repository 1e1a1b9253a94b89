#!/usr/bin/env python3
"""Draws Corvantis's icon, a stack of three windows, as a 32x32 16-colour .ico.

Usage: make_icon.py OUTPUT.ico
"""
import struct
import sys

SIZE = 32

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, TEAL, SILVER, GRAY, BLUE, AQUA, WHITE, YELLOW = 0, 4, 6, 7, 8, 12, 14, 15, 11
TRANSPARENT = None

# Back to front: (left, top, right, bottom) inclusive, title bar colour,
# body colour.
WINDOWS = [
    ((1, 1, 20, 16), NAVY, SILVER),
    ((6, 7, 25, 22), TEAL, SILVER),
    ((11, 13, 30, 29), BLUE, WHITE),
]


def draw():
    pixels = [[TRANSPARENT] * SIZE for _ in range(SIZE)]
    for (left, top, right, bottom), title, body in WINDOWS:
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                edge = x in (left, right) or y in (top, bottom)
                if edge:
                    colour = BLACK
                elif y <= top + 3:
                    colour = title
                else:
                    colour = body
                pixels[y][x] = colour
        # A close box in the title bar.
        for y in range(top + 1, top + 4):
            pixels[y][right - 3] = pixels[y][right - 2] = pixels[y][right - 1] = (
                WHITE if y == top + 2 else title)
        pixels[top + 2][right - 2] = BLACK
    # List entries in the front window, the one that is shown.
    (left, top, right, bottom), _, _ = WINDOWS[-1]
    for row, colour in ((top + 7, YELLOW), (top + 10, GRAY), (top + 13, GRAY)):
        for x in range(left + 3, right - 2):
            pixels[row][x] = colour
    return pixels


def encode(pixels):
    header = struct.pack('<3H', 0, 1, 1)
    palette = b''.join(struct.pack('<4B', b, g, r, 0) for r, g, b in PALETTE)
    xor_rows = []
    and_rows = []
    for row in reversed(pixels):  # DIBs are stored bottom-up
        nibbles = [0 if p is TRANSPARENT else p for p in row]
        xor_rows.append(bytes((nibbles[i] << 4) | nibbles[i + 1]
                              for i in range(0, SIZE, 2)))
        mask = 0
        for p in row:
            mask = (mask << 1) | (1 if p is TRANSPARENT else 0)
        and_rows.append(mask.to_bytes(SIZE // 8, 'big'))
    bitmap = b''.join(xor_rows) + b''.join(and_rows)
    info = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 4, 0,
                       len(bitmap), 0, 0, 16, 0)
    image = info + palette + bitmap
    entry = struct.pack('<4B2H2I', SIZE, SIZE, 16, 0, 1, 4, len(image),
                        len(header) + 16)
    return header + entry + image


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], 'wb') as out:
        out.write(encode(draw()))


if __name__ == '__main__':
    main()
