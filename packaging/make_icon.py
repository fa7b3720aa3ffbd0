#!/usr/bin/env python3
"""Draws the program icon (128 x 128, the skin's blue) as
packaging/linux/brinvale.png and, with the same picture, the Windows icon
packaging/windows/brinvale.ico (one PNG-compressed image). Run it again after
changing the picture; both files are checked in."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
W = H = 128
BLUE = (0x00, 0x89, 0xBE, 255)
WHITE = (255, 255, 255, 255)
DARK = (0x2B, 0x3A, 0x4A, 255)
CLEAR = (0, 0, 0, 0)


def draw():
    px = [[CLEAR] * W for _ in range(H)]
    r = 20  # a rounded square
    for y in range(H):
        for x in range(W):
            dx = max(r - x, x - (W - 1 - r), 0)
            dy = max(r - y, y - (H - 1 - r), 0)
            if dx * dx + dy * dy <= r * r:
                px[y][x] = BLUE
    cx, cy = 64, 60  # a disk: a ring and its hub
    for y in range(H):
        for x in range(W):
            d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
            if 26 <= d <= 36 or d <= 8:
                px[y][x] = WHITE
    for y in range(88, 112):  # a tray
        for x in range(30, 98):
            if y >= 104 and (x < 34 or x > 93 or y >= 108):
                px[y][x] = WHITE
    for y in range(70, 92):  # an arrow into it
        for x in range(60, 68):
            px[y][x] = DARK
    for y in range(92, 102):
        half = 10 - (y - 92)
        for x in range(64 - half, 64 + half):
            px[y][x] = DARK
    return px


def png(px):
    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in px)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    image = png(draw())
    with open(os.path.join(HERE, "linux", "brinvale.png"), "wb") as f:
        f.write(image)
    icon = (struct.pack("<HHH", 0, 1, 1) +
            struct.pack("<BBBBHHII", W, H, 0, 0, 1, 32, len(image), 22) + image)
    with open(os.path.join(HERE, "windows", "brinvale.ico"), "wb") as f:
        f.write(icon)


if __name__ == "__main__":
    main()
