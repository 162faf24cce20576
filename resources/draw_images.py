#!/usr/bin/env python3
"""Draws the program's icon from the status colours: a multi-size .ico from
16 to 128 pixels (the sizes of small and large icons at 100 to 300 %
scaling). The status squares and the notice's close cross are drawn at run
time, for the size they are shown at (ui/status_image.cpp,
ui/close_cross.cpp). Only the standard library is used, so the committed
output can be remade anywhere: python3 resources/draw_images.py"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

RED = ((206, 98, 52), (255, 122, 65))
YELLOW = ((206, 180, 110), (255, 224, 137))
GREEN = ((163, 206, 110), (203, 255, 137))
CLEAR = (0, 0, 0, 0)


def opaque(rgb):
    return rgb + (255,)


def icon_picture(size):
    """A graph on the graph view's live background: bars in the status
    colours over a light base line, in a rounded dark frame."""
    image = [[CLEAR] * size for _ in range(size)]
    unit = size / 16.0
    radius = 2 * unit
    for y in range(size):
        for x in range(size):
            dx = max(radius - x - 0.5, x + 0.5 - (size - radius), 0)
            dy = max(radius - y - 0.5, y + 0.5 - (size - radius), 0)
            if dx * dx + dy * dy <= radius * radius:
                edge = x < unit or y < unit or x >= size - unit or y >= size - unit
                image[y][x] = opaque((48, 56, 72) if edge else (112, 128, 160))
    bars = ((GREEN, 5), (GREEN, 7), (YELLOW, 9), (GREEN, 6), (RED, 11), (GREEN, 4))
    base = int(13 * unit)
    for index, (colours, height) in enumerate(bars):
        left = int((2 + 2 * index) * unit)
        right = max(int((3.6 + 2 * index) * unit), left + 1)
        for y in range(base - int(height * unit), base):
            for x in range(left, right):
                image[y][x] = opaque(colours[1])
    for x in range(int(unit * 1.5), size - int(unit * 1.5)):
        for y in range(base, base + max(int(unit / 2), 1)):
            image[y][x] = opaque((240, 240, 240))
    return image


def ico_entry(image):
    """A 32-bit bottom-up DIB with its AND mask, as an .ico entry holds it."""
    size = len(image)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(image) for p in row)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(image):
        bits = bytearray(stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def ico(sizes):
    entries = [ico_entry(icon_picture(size)) for size in sizes]
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, data in zip(sizes, entries):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(entries)


def main():
    with open(os.path.join(HERE, "images", "tarnlet.ico"), "wb") as out:
        # Every size Windows asks for at 100 to 300 % scaling, so that none
        # is stretched from another.
        out.write(ico([16, 20, 24, 32, 40, 48, 64, 128]))


if __name__ == "__main__":
    main()
