#!/usr/bin/env python3
"""Draws the window finder's icons as 16-colour 32x32 .ico files.

FinderFull.ico: a small window frame with a crosshair on it, the tool at rest.
FinderEmpty.ico: the same frame without the crosshair, shown while the
crosshair (the mouse cursor) is being dragged away from it.
Run from anywhere: writes the files next to this script.
"""
import os
import struct

PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, GREY, SILVER, WHITE, BLUE, RED = 0, 8, 7, 15, 12, 9
SIZE = 32


def picture(with_cross):
    px = [[None] * SIZE for _ in range(SIZE)]
    left, top, right, bottom = 2, 3, 29, 28
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            if x in (left, right) or y in (top, bottom):
                px[y][x] = BLACK
            elif y < top + 5:
                px[y][x] = BLUE
            else:
                px[y][x] = WHITE
    if with_cross:
        cx, cy = 16, 18
        for d in range(-8, 9):
            if abs(d) > 1:
                px[cy][cx + d] = BLACK
                px[cy + d][cx] = BLACK
        # A ring around the centre.
        for y in range(cy - 6, cy + 7):
            for x in range(cx - 6, cx + 7):
                r2 = (x - cx) ** 2 + (y - cy) ** 2
                if 20 <= r2 <= 32:
                    px[y][x] = RED
        px[cy][cx] = RED
    return px


def dib(px):
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor_rows, and_rows = [], []
    for row in reversed(px):
        bits = bytearray()
        for x in range(0, SIZE, 2):
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if row[x + 1] is not None else 0
            bits.append((hi << 4) | lo)
        xor_rows.append(bytes(bits))
        mask = bytearray(SIZE // 8)
        for x in range(SIZE):
            if row[x] is None:
                mask[x // 8] |= 0x80 >> (x % 8)
        and_rows.append(bytes(mask))
    return header + palette + b''.join(xor_rows) + b''.join(and_rows)


def write_ico(path, px):
    data = dib(px)
    out = struct.pack('<HHH', 0, 1, 1)
    out += struct.pack('<BBBBHHII', SIZE, SIZE, 16, 0, 1, 4, len(data), 6 + 16)
    with open(path, 'wb') as f:
        f.write(out + data)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    write_ico(os.path.join(here, 'FinderFull.ico'), picture(True))
    write_ico(os.path.join(here, 'FinderEmpty.ico'), picture(False))


if __name__ == '__main__':
    main()
