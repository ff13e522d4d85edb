#!/usr/bin/env python3
"""Draws Plenara's icons as 16-colour .ico files (no imaging library needed).

MAINICON: a window frame on the desktop, 32x32 and 16x16.
TRAYICON0..4: the same frame at 16x16 while a small marker travels along its
edge, one step per frame, so the animation reads as "arranging windows".
Run from anywhere: writes the files next to this script.
"""
import os
import struct

# The standard 16-colour palette (BGR0 in the file).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, GREY, SILVER, YELLOW, WHITE, BLUE, RED = 0, 4, 8, 7, 11, 15, 12, 9


def window_picture(size, marker=None):
    """Returns (pixels, mask) rows top-down; None pixels are transparent."""
    px = [[None] * size for _ in range(size)]
    m = 1 if size == 16 else 2
    left, top, right, bottom = m, m + (1 if size == 16 else 2), size - 1 - m, size - 1 - m
    bar = 3 if size == 16 else 6
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            edge = x in (left, right) or y in (top, bottom)
            if edge:
                px[y][x] = BLACK
            elif y < top + bar:
                px[y][x] = BLUE
            else:
                px[y][x] = WHITE
    # A second, smaller window inside: the one being placed.
    il, it = left + 2 * m, top + bar + m
    ir, ib = right - 2 * m, bottom - m
    for y in range(it, ib + 1):
        for x in range(il, ir + 1):
            if x in (il, ir) or y in (it, ib):
                px[y][x] = GREY
            else:
                px[y][x] = SILVER
    if marker is not None:
        mx, my = marker
        for y in range(my, my + 3):
            for x in range(mx, mx + 3):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = RED if (x, y) != (mx + 1, my + 1) else YELLOW
    return px


def dib(px):
    size = len(px)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor_rows = []
    and_rows = []
    for row in reversed(px):  # bottom-up
        bits = bytearray()
        for x in range(0, size, 2):
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if row[x + 1] is not None else 0
            bits.append((hi << 4) | lo)
        while len(bits) % 4:
            bits.append(0)
        xor_rows.append(bytes(bits))
        mask = bytearray((size + 31) // 32 * 4)
        for x in range(size):
            if row[x] is None:
                mask[x // 8] |= 0x80 >> (x % 8)
        and_rows.append(bytes(mask))
    return header + palette + b''.join(xor_rows) + b''.join(and_rows)


def write_ico(path, pictures):
    images = [dib(p) for p in pictures]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for p, data in zip(pictures, images):
        s = len(p)
        out += struct.pack('<BBBBHHII', s, s, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    write_ico(os.path.join(here, 'MAINICON.ico'), [window_picture(32), window_picture(16)])
    # The marker walks: top-left, top-right, bottom-right, bottom-left, centre.
    path = [(3, 5), (10, 5), (10, 11), (3, 11), (6, 8)]
    for i, marker in enumerate(path):
        write_ico(os.path.join(here, 'TRAYICON%d.ico' % i), [window_picture(16, marker)])


if __name__ == '__main__':
    main()
