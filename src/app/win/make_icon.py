#!/usr/bin/env python3
"""Writes drumlo.ico: one 32 x 32 image in 256 colours (8 bits per pixel), a drum with two sticks.

Run from this folder: python3 make_icon.py
"""
import struct

SIZE = 32
# Palette index -> (red, green, blue); the remaining entries of the 256 stay black.
PALETTE = {
    0: (0, 0, 0),          # transparent (masked)
    1: (40, 40, 40),       # outlines
    2: (200, 40, 40),      # drum shell
    3: (240, 230, 200),    # drum head
    4: (250, 200, 60),     # rim and hoops
    5: (150, 100, 50),     # sticks
    6: (140, 25, 25),      # shell shade
}


def drum_pixel(x, y):
    """Palette index of the pixel at (x, y), y counted from the top."""
    cx, head_y, rx, ry = 15.5, 11.0, 12.0, 4.5
    # Sticks: two diagonal bars crossing above the head.
    for x0, x1 in ((4, 20), (27, 11)):
        t = y / 10.0
        if y <= 10 and abs(x - (x0 + (x1 - x0) * t)) < 1.0:
            return 5
    inside_head = ((x - cx) / rx) ** 2 + ((y - head_y) / ry) ** 2
    if inside_head <= 0.7:
        return 3
    if inside_head <= 1.0:
        return 4
    bottom_y = 24.0
    if abs(x - cx) <= rx and head_y <= y <= bottom_y:
        if y >= bottom_y - 1 or y in (15, 16):
            return 4
        return 6 if x - cx > rx * 0.55 else 2
    inside_bottom = ((x - cx) / rx) ** 2 + ((y - bottom_y) / ry) ** 2
    if inside_bottom <= 1.0:
        return 4 if inside_bottom > 0.6 else 6
    return 0


def icon_bytes():
    rows = [[drum_pixel(x, y) for x in range(SIZE)] for y in range(SIZE)]
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    palette = b''.join(struct.pack('<BBBB', *reversed(PALETTE.get(i, (0, 0, 0))), 0)
                       for i in range(256))
    # Bitmaps are stored bottom-up; the AND mask has one bit per pixel, rows padded to 4 bytes.
    pixels = b''.join(bytes(row) for row in reversed(rows))
    mask = b''
    for row in reversed(rows):
        bits = 0
        for x, index in enumerate(row):
            if index == 0:
                bits |= 1 << (31 - x)
        mask += struct.pack('>I', bits)
    image = header + palette + pixels + mask
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


if __name__ == '__main__':
    with open('drumlo.ico', 'wb') as out:
        out.write(icon_bytes())
