#!/usr/bin/env python3
"""Draws the skin's pictures: plain shapes in the program's colours, written
as PNG files next to this script (and the file-type icons in FileIcon/).
Run it again after changing a picture; the PNGs are checked in."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

BLUE = (0x00, 0x89, 0xBE, 255)
DARK = (0x2B, 0x3A, 0x4A, 255)
GREY = (0x9A, 0xA5, 0xB1, 255)
LIGHT = (0xE8, 0xEE, 0xF3, 255)
WHITE = (255, 255, 255, 255)
RED = (0xD9, 0x3B, 0x3B, 255)
GREEN = (0x31, 0x6D, 0x1E, 255)
ORANGE = (0xF0, 0x9A, 0x1A, 255)
PURPLE = (0x7A, 0x4F, 0xB8, 255)
TEAL = (0x1F, 0x9E, 0x8F, 255)
CLEAR = (0, 0, 0, 0)

# 5 x 7 glyphs for the few letters the pictures carry.
GLYPHS = {
    "!": ["..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."],
    "?": [".###.", "#...#", "....#", "..##.", "..#..", ".....", "..#.."],
    "i": ["..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."],
    "x": ["#...#", ".#.#.", "..#..", ".#.#.", "#...#", ".....", "....."],
    "v": ["....#", "...#.", "#.#..", ".#...", ".....", ".....", "....."],
    "E": ["#####", "#....", "####.", "#....", "#....", "#....", "#####"],
}


class Canvas:
    def __init__(self, w, h, fill=CLEAR):
        self.w, self.h = w, h
        self.px = [[fill] * w for _ in range(h)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1):
            self.put(x, y0, c)
            self.put(x, y1 - 1, c)
        for y in range(y0, y1):
            self.put(x0, y, c)
            self.put(x1 - 1, y, c)

    def disc(self, cx, cy, r, c):
        for y in range(self.h):
            for x in range(self.w):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.put(x, y, c)

    def glyph(self, ch, x0, y0, c, scale=1):
        for row, line in enumerate(GLYPHS[ch]):
            for col, bit in enumerate(line):
                if bit == "#":
                    self.rect(x0 + col * scale, y0 + row * scale,
                              x0 + (col + 1) * scale, y0 + (row + 1) * scale, c)

    def save(self, name):
        raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in self.px)

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        png = (b"\x89PNG\r\n\x1a\n" +
               chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)) +
               chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
        path = os.path.join(HERE, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(png)


def badge(name, colour, ch, size=32):
    c = Canvas(size, size)
    c.disc(size / 2, size / 2, size / 2 - 1, colour)
    scale = size // 10
    c.glyph(ch, (size - 5 * scale) // 2, (size - 7 * scale) // 2, WHITE, scale)
    c.save(name)


def drive(name, body, light, size=24):
    c = Canvas(size, size)
    c.rect(2, 7, size - 2, size - 6, body)
    c.frame(2, 7, size - 2, size - 6, DARK)
    c.rect(size - 7, size - 10, size - 5, size - 8, light)
    c.save(name)


def document(name, colour, error=False, size=16):
    c = Canvas(size, size)
    c.rect(3, 1, 13, 15, WHITE)
    c.frame(3, 1, 13, 15, GREY)
    c.rect(5, 4, 11, 7, colour)
    for y in (9, 11, 13):
        c.rect(5, y, 11, y + 1, GREY)
    if error:
        c.disc(12, 12, 4, RED)
        c.rect(11, 10, 13, 14, WHITE)
    c.save(name)


# Window parts: the program's mark, a white disc that stands out on the
# blue caption, with a blue ring and a check.
c = Canvas(32, 32)
c.disc(16, 16, 15, WHITE)
c.disc(16, 16, 12, BLUE)
c.disc(16, 16, 9, WHITE)
c.glyph("v", 11, 10, BLUE, 2)
c.save("logo.png")
c = Canvas(16, 16)
c.glyph("x", 5, 5, WHITE, 1)
c.save("close.png")

# Message box kinds.
badge("msg_error.png", RED, "x")
badge("msg_confirm.png", BLUE, "?")
badge("msg_information.png", BLUE, "i")
badge("msg_warning.png", ORANGE, "!")
badge("msg_question.png", TEAL, "?")

# The banner picture of the device step.
c = Canvas(48, 48)
c.disc(20, 20, 14, BLUE)
c.disc(20, 20, 10, WHITE)
c.rect(30, 30, 44, 35, DARK)
c.save("scan_files.png")

# Main window pictures named by its workflow.
drive("physical_drive.png", GREY, GREEN)
drive("removable_drive.png", ORANGE, GREEN)
drive("drive.png", LIGHT, GREEN)
drive("drive_usb.png", (0xFF, 0xD2, 0x7F, 255), BLUE)
drive("image_files.png", PURPLE, WHITE)
drive("image_file.png", (0xB8, 0x9C, 0xE0, 255), WHITE)
for name, w in (("btn_scan.png", 32), ("btn_create_image.png", 28)):
    c = Canvas(w, 32)
    c.disc(w / 2, 16, 13, WHITE)
    c.disc(w / 2, 16, 9, BLUE)
    c.save(name)
c = Canvas(8, 70, BLUE)
c.save("banner_bg.png")
c = Canvas(72, 34)
for i, ticked in enumerate((False, False, False, False, True, True)):
    x = i * 12
    c.rect(x, 22, x + 12, 34, WHITE)
    c.frame(x, 22, x + 12, 34, GREY)
    if ticked:
        c.rect(x + 3, 25, x + 9, 31, GREEN)
c.save("checkbox.png")
c = Canvas(4, 24, LIGHT)
c.rect(0, 23, 4, 24, GREY)
c.save("list_header_bg.png")
for name, up in (("list_header_asc.png", True), ("list_header_desc.png", False)):
    c = Canvas(16, 24, LIGHT)
    c.rect(0, 23, 16, 24, GREY)
    for i in range(4):
        y = 10 + i if up else 13 - i
        c.rect(8 - i, y, 9 + i, y + 1, DARK)
    c.save(name)
c = Canvas(16, 16)
c.disc(8, 8, 4, BLUE)
c.save("point.png")
c = Canvas(48, 48)
c.disc(16.5, 17, 9, RED)
c.disc(31.5, 17, 9, RED)
for y in range(19, 42):
    half = 17 * (42 - y) // 23
    c.rect(24 - half, y, 24 + half, y + 1, RED)
c.save("like.png")

# File-type icons, each also in the form of a file not in good condition.
c = Canvas(16, 16)
c.rect(1, 3, 7, 5, ORANGE)
c.rect(1, 5, 15, 14, ORANGE)
c.save("FileIcon/folder.png")
for base, colour in (("exe", DARK), ("image", GREEN), ("music", PURPLE), ("doc", BLUE),
                     ("video", RED), ("zip", ORANGE), ("default", GREY)):
    document("FileIcon/%s.png" % base, colour)
    document("FileIcon/%s_error.png" % base, colour, error=True)
