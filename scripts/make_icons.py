#!/usr/bin/env python3
"""Draws the update program's two icons (a downward arrow into a tray on a blue tile)
and writes them as 32-bit ICO files: updater/updater_large.ico (32x32, resource 103)
and updater/updater_small.ico (16x16, resource 104)."""
import os
import struct
import sys


def draw(size):
    """Returns rows top-down of (b, g, r, a) pixels."""
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]
    s = size / 32.0
    radius = 5 * s
    for y in range(size):
        for x in range(size):
            cx, cy = x + 0.5, y + 0.5
            # rounded tile: distance from the inner rectangle
            dx = max(radius - cx, 0, cx - (size - radius))
            dy = max(radius - cy, 0, cy - (size - radius))
            if dx * dx + dy * dy <= radius * radius:
                shade = int(200 - 90 * cy / size)
                px[y][x] = (shade + 40 if shade + 40 < 256 else 255, shade // 2, 30, 255)
    white = (255, 255, 255, 255)

    def fill(x0, y0, x1, y1):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                px[y][x] = white

    fill(13, 5, 19, 15)                       # arrow shaft
    for i in range(7):                        # arrow head
        fill(8 + i, 15 + i, 24 - i, 16 + i)
    fill(6, 24, 26, 27)                       # tray bottom
    fill(6, 19, 9, 24)                        # tray sides
    fill(23, 19, 26, 24)
    return px


def ico_image(size):
    px = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b''.join(bytes(p) for row in reversed(px) for p in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(px):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + xor + bytes(mask)


def ico_file(size):
    image = ico_image(size)
    head = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(image), 6 + 16)
    return head + entry + image


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'updater')
    for name, size in (('updater_large.ico', 32), ('updater_small.ico', 16)):
        with open(os.path.join(out, name), 'wb') as f:
            f.write(ico_file(size))


if __name__ == '__main__':
    main()
