#!/usr/bin/env python3
"""Draws the program's images from their colour table: the 16 x 16 PNG
resources (status squares and the notice's close cross) and the icon, a
multi-size .ico from 16 to 128 pixels (the sizes of small and large icons
at 100 to 300 % scaling). The status squares are drawn at run time for
any size by ui/status_image.cpp, which matches these 16-pixel ones. Only the standard library is used, so the
committed output can be remade anywhere: python3 resources/draw_images.py"""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

GREY = ((206, 206, 206), (255, 255, 255))
RED = ((206, 98, 52), (255, 122, 65))
YELLOW = ((206, 180, 110), (255, 224, 137))
GREEN = ((163, 206, 110), (203, 255, 137))
LOST = ((64, 64, 64), (128, 128, 128))
MARK = (255, 0, 0)
CLEAR = (0, 0, 0, 0)

SIZE = 16
# The square covers pixels 1..14: a one-pixel border around a 12 x 12 fill.
FIRST, LAST = 1, SIZE - 2


def blank(size=SIZE):
    return [[CLEAR] * size for _ in range(size)]


def opaque(rgb):
    return rgb + (255,)


def square(left, right=None):
    """A bordered square; with right, the left half in one colour pair and the
    right half in the other."""
    right = right or left
    image = blank()
    for y in range(FIRST, LAST + 1):
        for x in range(FIRST, LAST + 1):
            pair = left if x < SIZE // 2 else right
            edge = x in (FIRST, LAST) or y in (FIRST, LAST)
            image[y][x] = opaque(pair[0] if edge else pair[1])
    return image


def lost():
    image = square(LOST)
    # A small red mark in the lower right quarter.
    for y in range(9, 13):
        for x in range(9, 13):
            image[y][x] = opaque(MARK)
    return image


def cross():
    image = blank()
    for i in range(3, 13):
        for dx in (0, 1):
            image[i][min(i + dx, 12)] = (0, 0, 0, 255)
            image[i][max(15 - i - dx, 3)] = (0, 0, 0, 255)
    return image


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(image):
    height, width = len(image), len(image[0])
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in image)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


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


IMAGES = {
    "status_disabled.png": square(GREY),
    "status_slow.png": square(RED),
    "status_late.png": square(YELLOW, RED),
    "status_fair.png": square(YELLOW),
    "status_good.png": square(GREEN, YELLOW),
    "status_fast.png": square(GREEN),
    "status_lost.png": lost(),
    "close.png": cross(),
}


def main():
    for name, image in IMAGES.items():
        with open(os.path.join(HERE, "images", name), "wb") as out:
            out.write(png(image))
    with open(os.path.join(HERE, "images", "tarnlet.ico"), "wb") as out:
        # Every size Windows asks for at 100 to 300 % scaling, so that none
        # is stretched from another.
        out.write(ico([16, 20, 24, 32, 40, 48, 64, 128]))


if __name__ == "__main__":
    main()
