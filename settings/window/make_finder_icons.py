#!/usr/bin/env python3
"""Draws the window finder's icons as 16-colour 32x32 .ico files.

FinderFull.ico: a small window frame with a crosshair on it, the tool at rest.
FinderEmpty.ico: the same frame without the crosshair, shown while the
crosshair (the mouse cursor) is being dragged away from it.
Run from anywhere: writes the files next to this script.
"""
import os
import sys

# The icon file writer and the palette are the program's icon script's.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'res'))
from make_icons import BLACK, BLUE, RED, WHITE, write_ico  # noqa: E402

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


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    write_ico(os.path.join(here, 'FinderFull.ico'), [picture(True)])
    write_ico(os.path.join(here, 'FinderEmpty.ico'), [picture(False)])


if __name__ == '__main__':
    main()
