#!/usr/bin/env python3
"""Draws setup's pictures: the welcome box (172), the two etched separators (167, 169),
the computer motif (168) and the program icon (154).

Every picture uses the 16-colour Windows palette and is written as a 4-bit BMP or ICO
straight from Python's standard library, so the artwork comes out byte for byte the same
on every machine. Run from anywhere:  python3 setup/resources/draw_art.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)

EDITION = "Standard Edition"

# 5 x 7 glyphs for the letters the pictures need; '#' is ink.
GLYPHS = {
    " ": ["....."] * 7,
    ".": [".....", ".....", ".....", ".....", ".....", ".##..", ".##.."],
    "0": [".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."],
    "2": [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "a": [".....", ".....", ".###.", "....#", ".####", "#...#", ".####"],
    "d": ["....#", "....#", ".##.#", "#..##", "#...#", "#...#", ".####"],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    "i": ["..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."],
    "l": [".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "n": [".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#"],
    "o": [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."],
    "r": [".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."],
    "t": [".#...", ".#...", "####.", ".#...", ".#...", ".#..#", "..##."],
}


class Canvas:
    def __init__(self, width, height, colour):
        self.width = width
        self.height = height
        self.pixels = [[colour] * width for _ in range(height)]

    def dot(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def fill(self, x0, y0, x1, y1, colour):
        """Fills the rectangle with corners (x0, y0) and (x1, y1), both included."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.dot(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour, thickness=1):
        for t in range(thickness):
            self.fill(x0 + t, y0 + t, x1 - t, y0 + t, colour)
            self.fill(x0 + t, y1 - t, x1 - t, y1 - t, colour)
            self.fill(x0 + t, y0 + t, x0 + t, y1 - t, colour)
            self.fill(x1 - t, y0 + t, x1 - t, y1 - t, colour)

    def line(self, x0, y0, x1, y1, colour):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        error = dx + dy
        while True:
            self.dot(x0, y0, colour)
            if x0 == x1 and y0 == y1:
                return
            doubled = 2 * error
            if doubled >= dy:
                error += dy
                x0 += sx
            if doubled <= dx:
                error += dx
                y0 += sy

    def disc(self, cx, cy, radius, colour):
        for y in range(cy - radius, cy + radius + 1):
            for x in range(cx - radius, cx + radius + 1):
                if (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius + radius:
                    self.dot(x, y, colour)

    def text(self, x, y, words, colour, scale):
        """Bold lettering: every glyph pixel becomes a block a little wider than tall."""
        weight = scale + max(1, scale // 2)
        for ch in words:
            for row, bits in enumerate(GLYPHS[ch]):
                for col, bit in enumerate(bits):
                    if bit == "#":
                        self.fill(x + col * scale, y + row * scale,
                                  x + col * scale + weight - 1, y + row * scale + scale - 1,
                                  colour)
            x += 6 * scale

    def paste(self, other, x, y):
        for row in range(other.height):
            for col in range(other.width):
                self.dot(x + col, y + row, other.pixels[row][col])


def text_width(words, scale):
    return len(words) * 6 * scale - scale


# --- pictures ------------------------------------------------------------------------

def computer_motif(size):
    """A computer with a blue screen, a software box and diskettes on light grey, scaled
    to a square of `size` pixels (30, 32 or 41 wide)."""
    c = Canvas(size, size, SILVER)
    s = size / 32.0

    def box(x0, y0, x1, y1, colour, edge=BLACK):
        c.fill(round(x0 * s), round(y0 * s), round(x1 * s), round(y1 * s), colour)
        c.frame(round(x0 * s), round(y0 * s), round(x1 * s), round(y1 * s), edge)

    # Software box standing behind the computer, on the right.
    box(20, 2, 30, 20, YELLOW)
    box(22, 5, 28, 11, RED)
    box(20, 2, 30, 4, OLIVE)
    # Monitor with its blue screen, then the base and the keyboard.
    box(2, 4, 21, 18, SILVER)
    c.fill(round(4 * s), round(6 * s), round(19 * s), round(16 * s), BLUE)
    c.frame(round(4 * s), round(6 * s), round(19 * s), round(16 * s), GREY)
    c.fill(round(6 * s), round(8 * s), round(11 * s), round(8 * s), WHITE)
    c.fill(round(6 * s), round(10 * s), round(14 * s), round(10 * s), AQUA)
    box(8, 18, 15, 20, GREY)
    box(1, 21, 22, 25, SILVER)
    c.fill(round(3 * s), round(23 * s), round(20 * s), round(23 * s), GREY)
    # Two diskettes in front: dark body, metal shutter, white label.
    for x in (18, 24):
        box(x, 23, x + 6, 30, NAVY)
        c.fill(round((x + 2) * s), round(23 * s), round((x + 4) * s), round(25 * s), SILVER)
        c.fill(round((x + 1) * s), round(28 * s), round((x + 5) * s), round(29 * s), WHITE)
    return c


def gate(c, x, y, w, h, inverted=False):
    """An AND gate pointing right: straight back, round front, two inputs, one output."""
    radius = h // 2
    body_right = x + w - radius - 3
    c.line(x + 3, y, body_right, y, BLACK)
    c.line(x + 3, y + h, body_right, y + h, BLACK)
    c.line(x + 3, y, x + 3, y + h, BLACK)
    for py in range(y, y + h + 1):
        for px in range(body_right, body_right + radius + 1):
            d = (px - body_right) ** 2 + (py - y - radius) ** 2
            if radius * radius - radius <= d <= radius * radius + radius:
                c.dot(px, py, BLACK)
    c.line(x, y + h // 4, x + 3, y + h // 4, BLACK)
    c.line(x, y + h - h // 4, x + 3, y + h - h // 4, BLACK)
    tip = body_right + radius
    if inverted:
        c.disc(tip + 2, y + radius, 1, BLACK)
        tip += 3
    c.line(tip, y + radius, x + w, y + radius, BLACK)
    return (x + w, y + radius)


def tile(kind):
    """One 40 x 40 circuit-board icon on a white square."""
    c = Canvas(40, 40, WHITE)
    c.frame(0, 0, 39, 39, GREY)
    if kind == "gates":
        out = gate(c, 3, 5, 18, 10)
        gate(c, 18, 20, 18, 10, inverted=True)
        c.line(out[0], out[1], out[0], 22, BLACK)
        c.line(out[0], 22, 21, 22, BLACK)
        c.line(3, 27, 21, 27, BLACK)
    elif kind == "dil":
        c.fill(12, 5, 27, 34, GREY)
        c.frame(12, 5, 27, 34, BLACK)
        c.disc(19, 5, 2, WHITE)
        for y in range(8, 33, 4):
            c.fill(7, y, 11, y + 1, BLACK)
            c.fill(28, y, 32, y + 1, BLACK)
    elif kind == "footprint":
        c.fill(16, 16, 23, 23, MAROON)
        for x, y in ((6, 6), (17, 4), (28, 6), (30, 17), (28, 28), (17, 30), (6, 28),
                     (4, 17)):
            c.fill(x, y, x + 5, y + 5, OLIVE)
            c.disc(x + 2, y + 2, 1, WHITE)
    elif kind == "gate":
        gate(c, 6, 12, 28, 16)
    elif kind == "quad":
        c.fill(10, 10, 29, 29, GREY)
        c.frame(10, 10, 29, 29, BLACK)
        c.disc(14, 14, 1, BLACK)
        for p in range(12, 28, 3):
            c.fill(p, 5, p + 1, 9, BLACK)
            c.fill(p, 30, p + 1, 34, BLACK)
            c.fill(5, p, 9, p + 1, BLACK)
            c.fill(30, p, 34, p + 1, BLACK)
    return c


def welcome_box():
    c = Canvas(277, 279, SILVER)
    left, top, right, bottom = 4, 34, 240, 274
    c.fill(left, top, right, bottom, WHITE)
    c.frame(left, top, right, bottom, BLUE, 3)
    centre = (left + right) // 2
    name = "Veltrane 2.0"
    c.text(centre - text_width(name, 3) // 2, top + 16, name, BLACK, 3)
    c.text(centre - text_width(EDITION, 2) // 2, top + 50, EDITION, BLACK, 2)
    c.fill(left + 14, top + 76, right - 14, top + 77, BLUE)
    # Five tiles set out as a cross below the name.
    cross_top = top + 90
    for kind, col, row in (("gates", 1, 0), ("dil", 0, 1), ("footprint", 1, 1),
                           ("gate", 2, 1), ("quad", 1, 2)):
        c.paste(tile(kind), centre - 66 + col * 46, cross_top + row * 46)
    c.paste(computer_motif(30), 245, 2)
    return c


def separator(width):
    c = Canvas(width, 2, WHITE)
    c.fill(0, 0, width - 1, 0, GREY)
    return c


# --- files ---------------------------------------------------------------------------

def packed_rows(c, bits):
    """Rows bottom-up, 4 bits (two pixels a byte) or 1 bit a pixel, padded to 4 bytes."""
    out = bytearray()
    for row in reversed(c.pixels):
        data = bytearray()
        if bits == 4:
            for x in range(0, c.width, 2):
                right = row[x + 1] if x + 1 < c.width else 0
                data.append((row[x] << 4) | right)
        else:
            for x in range(0, c.width, 8):
                byte = 0
                for b in range(8):
                    if x + b < c.width and row[x + b]:
                        byte |= 0x80 >> b
                data.append(byte)
        data.extend(b"\0" * (-len(data) % 4))
        out += data
    return bytes(out)


def info_header(width, height, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, image_size, 0, 0, 16, 16)


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)


def write_bmp(name, c):
    image = packed_rows(c, 4)
    offset = 14 + 40 + 64
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset))
        f.write(info_header(c.width, c.height, len(image)))
        f.write(palette_bytes())
        f.write(image)


def write_ico(name, c):
    """One 32 x 32 16-colour image; the AND mask is all zero, the icon is opaque."""
    colours = packed_rows(c, 4)
    mask = packed_rows(Canvas(c.width, c.height, 0), 1)
    body = info_header(c.width, c.height * 2, len(colours) + len(mask)) + palette_bytes()
    body += colours + mask
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, 1))
        f.write(struct.pack("<BBBBHHII", c.width, c.height, 16, 0, 1, 4, len(body), 22))
        f.write(body)


def main():
    write_bmp("welcome.bmp", welcome_box())
    write_bmp("separator-welcome.bmp", separator(521))
    motif = Canvas(41, 44, SILVER)
    motif.paste(computer_motif(41), 0, 2)
    write_bmp("computer.bmp", motif)
    write_bmp("separator-licence.bmp", separator(485))
    write_ico("setup.ico", computer_motif(32))


if __name__ == "__main__":
    main()
