#!/usr/bin/env python3
"""Draws the project's own icons and pictures and writes them beside the resource scripts:
- updater/updater_large.ico (32x32, resource 103) and updater/updater_small.ico (16x16,
  resource 104): a downward arrow into a tray on a blue tile;
- plugin/gx7conf.ico (32x32 and 16x16, resource 104): a slider panel on a green tile;
- plugin/screen_*.bmp (60x36, 24-bit, resources 122 to 126): where the game screen lies on
  a full-screen display for each placement the second display page offers."""
import os
import struct
import sys

WHITE = (255, 255, 255, 255)


def tile(size, colour):
    """A rounded tile shaded from top to bottom; colour(shade) gives (b, g, r)."""
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]
    s = size / 32.0
    radius = 5 * s
    for y in range(size):
        for x in range(size):
            cx, cy = x + 0.5, y + 0.5
            dx = max(radius - cx, 0, cx - (size - radius))
            dy = max(radius - cy, 0, cy - (size - radius))
            if dx * dx + dy * dy <= radius * radius:
                px[y][x] = colour(int(200 - 90 * cy / size)) + (255,)
    return px


def filler(px, size, colour=WHITE):
    s = size / 32.0

    def fill(x0, y0, x1, y1):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                px[y][x] = colour
    return fill


def draw_updater(size):
    """Returns rows top-down of (b, g, r, a) pixels."""
    px = tile(size, lambda shade: (shade + 40 if shade + 40 < 256 else 255, shade // 2, 30))
    fill = filler(px, size)
    fill(13, 5, 19, 15)                       # arrow shaft
    for i in range(7):                        # arrow head
        fill(8 + i, 15 + i, 24 - i, 16 + i)
    fill(6, 24, 26, 27)                       # tray bottom
    fill(6, 19, 9, 24)                        # tray sides
    fill(23, 19, 26, 24)
    return px


def draw_settings(size):
    """Three slider rails with their knobs at different places."""
    px = tile(size, lambda shade: (40, shade, shade // 3))
    fill = filler(px, size)
    knob = filler(px, size, (40, 200, 255, 255))
    for row, at in ((8, 18), (16, 8), (24, 14)):
        fill(5, row - 1, 27, row + 1)
        knob(at, row - 4, at + 5, row + 4)
    return px


def ico_image(px):
    size = len(px)
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


def ico_file(images):
    """images: pixel rows of each size; one directory entry per image."""
    blobs = [ico_image(px) for px in images]
    head = struct.pack('<HHH', 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    entries = b''
    for px, blob in zip(images, blobs):
        size = len(px)
        entries += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    return head + entries + b''.join(blobs)


# The placement pictures: a monitor with the game screen (sky, ground and a message window).
PIC_W, PIC_H = 60, 36
FRAME, BEZEL, DESK = (90, 90, 90), (40, 40, 40), (0, 0, 0)


def draw_screen(game):
    """game: (x, y, w, h) of the game screen inside the 52 x 28 display area."""
    px = [[(212, 208, 200)] * PIC_W for _ in range(PIC_H)]
    for y in range(1, PIC_H - 1):
        for x in range(1, PIC_W - 1):
            px[y][x] = FRAME if (y < 3 or y > PIC_H - 4 or x < 3 or x > PIC_W - 4) else BEZEL
    ox, oy = 4, 4
    for y in range(28):
        for x in range(52):
            px[oy + y][ox + x] = DESK
    gx, gy, gw, gh = game
    for y in range(gh):
        for x in range(gw):
            if y < gh * 2 // 3:
                c = (235, 180 + 60 * y // gh, 120)           # sky
            else:
                c = (70, 160, 90)                              # ground
            if y >= gh - max(2, gh // 4) and 1 <= x < gw - 1:
                c = (250, 240, 235)                            # message window
            px[oy + gy + y][ox + gx + x] = c
    return px


PICTURES = {
    122: ('screen_bottom.bmp', (6, 10, 40, 18)),    # full width of the game, at the bottom
    123: ('screen_centre.bmp', (6, 5, 40, 18)),     # centred
    124: ('screen_scaled.bmp', (7, 0, 38, 28)),     # scaled up to the display's height
    125: ('screen_top.bmp', (6, 0, 40, 18)),        # at the top
    126: ('screen_window.bmp', (14, 7, 24, 14)),    # the window's own size, centred
}


def bmp_file(px):
    h, w = len(px), len(px[0])
    stride = (w * 3 + 3) & ~3
    rows = b''
    for row in reversed(px):
        line = b''.join(bytes(p) for p in row)
        rows += line + b'\0' * (stride - len(line))
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(rows), 0, 0, 14 + len(info))
    return head + info + rows


def write(path, data):
    with open(path, 'wb') as f:
        f.write(data)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..')
    updater, plugin = os.path.join(root, 'updater'), os.path.join(root, 'plugin')
    write(os.path.join(updater, 'updater_large.ico'), ico_file([draw_updater(32)]))
    write(os.path.join(updater, 'updater_small.ico'), ico_file([draw_updater(16)]))
    os.makedirs(plugin, exist_ok=True)
    write(os.path.join(plugin, 'gx7conf.ico'), ico_file([draw_settings(32), draw_settings(16)]))
    for name, game in PICTURES.values():
        write(os.path.join(plugin, name), bmp_file(draw_screen(game)))


if __name__ == '__main__':
    main()
