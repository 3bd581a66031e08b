#!/usr/bin/env python3
"""Draws the nine 32 x 32 RGBA icons of the application (standard library only).

Run from this folder: python3 make_icons.py
"""
import math
import struct
import zlib

SIZE = 32


class Canvas:
    def __init__(self):
        self.px = [[(0, 0, 0, 0) for _ in range(SIZE)] for _ in range(SIZE)]

    def put(self, x, y, c):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.put(x, y0, c)
            self.put(x, y1, c)
        for y in range(y0, y1 + 1):
            self.put(x0, y, c)
            self.put(x1, y, c)

    def disc(self, cx, cy, r, c, inner=-1.0):
        for y in range(SIZE):
            for x in range(SIZE):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if inner <= d <= r:
                    self.put(x, y, c)

    def line(self, x0, y0, x1, y1, c, w=1.0):
        steps = int(max(abs(x1 - x0), abs(y1 - y0)) * 4) + 1
        for i in range(steps + 1):
            t = i / steps
            x = x0 + (x1 - x0) * t
            y = y0 + (y1 - y0) * t
            for yy in range(int(y - w), int(y + w) + 1):
                for xx in range(int(x - w), int(x + w) + 1):
                    if math.hypot(xx + 0.5 - x, yy + 0.5 - y) <= w:
                        self.put(xx, yy, c)

    def png(self, path):
        raw = b"".join(b"\x00" + b"".join(struct.pack("4B", *p) for p in row) for row in self.px)

        def chunk(tag, data):
            body = tag + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

        header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                    + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


BLACK = (40, 40, 40, 255)
GREY = (120, 120, 120, 255)
WHITE = (255, 255, 255, 255)
PAPER = (250, 250, 245, 255)
BLUE = (40, 90, 200, 255)
LIGHTBLUE = (170, 200, 250, 255)
YELLOW = (240, 200, 60, 255)
DARKYELLOW = (180, 140, 30, 255)
BROWN = (150, 100, 50, 255)
RED = (210, 50, 50, 255)
GREEN = (40, 150, 80, 255)


def page(c, x0, y0, x1, y1):
    c.rect(x0, y0, x1, y1, PAPER)
    c.frame(x0, y0, x1, y1, GREY)
    for y in range(y0 + 5, y1 - 2, 4):
        c.line(x0 + 4, y, x1 - 4, y, LIGHTBLUE, 0.5)


def new_icon():
    c = Canvas()
    page(c, 6, 2, 25, 29)
    for i in range(7):
        for j in range(7 - i):
            c.put(25 - i, 2 + j, (0, 0, 0, 0))
    c.line(19, 2, 25, 8, GREY, 0.6)
    c.line(19, 2, 19, 8, GREY, 0.6)
    c.line(19, 8, 25, 8, GREY, 0.6)
    return c


def open_icon():
    c = Canvas()
    c.rect(2, 7, 13, 10, DARKYELLOW)
    c.rect(2, 10, 29, 27, DARKYELLOW)
    for y in range(14, 28):
        shift = (y - 14) // 3
        c.rect(6 - shift + 2, y, 30 - shift, y, YELLOW)
    c.frame(2, 10, 29, 27, BROWN)
    return c


def save_icon():
    c = Canvas()
    c.rect(3, 3, 28, 28, BLUE)
    c.rect(8, 3, 23, 12, WHITE)
    c.rect(18, 5, 21, 10, BLUE)
    c.rect(7, 18, 24, 28, LIGHTBLUE)
    c.frame(3, 3, 28, 28, BLACK)
    return c


def cut_icon():
    c = Canvas()
    c.line(9, 3, 21, 21, GREY, 1.3)
    c.line(22, 3, 10, 21, GREY, 1.3)
    c.disc(8.5, 24.5, 5, RED, 3)
    c.disc(22.5, 24.5, 5, RED, 3)
    return c


def copy_icon():
    c = Canvas()
    page(c, 3, 3, 18, 22)
    page(c, 12, 9, 28, 29)
    return c


def paste_icon():
    c = Canvas()
    c.rect(4, 5, 24, 29, BROWN)
    c.rect(10, 2, 18, 7, GREY)
    page(c, 13, 11, 29, 30)
    return c


def find_icon():
    c = Canvas()
    c.disc(13, 13, 9, LIGHTBLUE)
    c.disc(13, 13, 10, BLACK, 8)
    c.line(20, 20, 28, 28, BROWN, 2.0)
    return c


def gotocell_icon():
    c = Canvas()
    c.rect(2, 2, 29, 29, WHITE)
    for k in range(2, 30, 9):
        c.line(k, 2, k, 29, GREY, 0.5)
        c.line(2, k, 29, k, GREY, 0.5)
    c.rect(20, 20, 28, 28, LIGHTBLUE)
    c.frame(20, 20, 28, 28, BLUE)
    c.line(5, 5, 22, 22, RED, 1.2)
    c.line(22, 22, 15, 21, RED, 1.2)
    c.line(22, 22, 21, 15, RED, 1.2)
    return c


def app_icon():
    c = Canvas()
    c.disc(16, 16, 15.5, GREEN)
    heights = [10, 17, 6, 21, 13]
    for i, h in enumerate(heights):
        x = 6 + i * 4
        c.rect(x, 26 - h, x + 2, 25, WHITE)
    c.line(5, 26, 27, 26, WHITE, 0.6)
    return c


if __name__ == "__main__":
    for name, make in [("new", new_icon), ("open", open_icon), ("save", save_icon),
                       ("cut", cut_icon), ("copy", copy_icon), ("paste", paste_icon),
                       ("find", find_icon), ("gotocell", gotocell_icon), ("icon", app_icon)]:
        make().png(name + ".png")
