#!/usr/bin/env python3
"""Draws the display utility's pictures: the monitor pictures, the arrows and their masks,
the colour bar and the icon, as 16-colour bitmaps in displayutil/res/.

Run it after changing a drawing: python3 tools/draw_pictures.py
"""
import os
import struct

# The 16 colours every Windows display offers.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)


class Canvas:
    def __init__(self, width, height, colour):
        self.width, self.height = width, height
        self.pixels = [[colour] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def fill(self, left, top, right, bottom, colour):
        """Fills [left, right) x [top, bottom)."""
        for y in range(top, bottom):
            for x in range(left, right):
                self.put(x, y, colour)

    def frame(self, left, top, right, bottom, colour):
        self.fill(left, top, right, top + 1, colour)
        self.fill(left, bottom - 1, right, bottom, colour)
        self.fill(left, top, left + 1, bottom, colour)
        self.fill(right - 1, top, right, bottom, colour)

    def bevel(self, left, top, right, bottom, light, dark):
        """A raised edge: light on the top and left, dark on the bottom and right."""
        self.fill(left, top, right, top + 1, light)
        self.fill(left, top, left + 1, bottom, light)
        self.fill(left, bottom - 1, right, bottom, dark)
        self.fill(right - 1, top, right, bottom, dark)

    def polygon(self, points, colour):
        """Fills a convex polygon given clockwise or anticlockwise, pixel centres inside."""
        n = len(points)
        for y in range(self.height):
            for x in range(self.width):
                px, py = x + 0.5, y + 0.5
                sign = 0
                inside = True
                for i in range(n):
                    (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
                    cross = (bx - ax) * (py - ay) - (by - ay) * (px - ax)
                    if cross == 0:
                        continue
                    s = 1 if cross > 0 else -1
                    if sign == 0:
                        sign = s
                    elif s != sign:
                        inside = False
                        break
                if inside:
                    self.put(x, y, colour)

    def text(self, x, y, word, colour, scale=1):
        for ch in word:
            glyph = FONT[ch]
            for row, bits in enumerate(glyph):
                for col, bit in enumerate(bits):
                    if bit == '#':
                        self.fill(x + col * scale, y + row * scale,
                                  x + (col + 1) * scale, y + (row + 1) * scale, colour)
            x += (len(glyph[0]) + 1) * scale

    def blit(self, other, x, y, transparent=None):
        for row in range(other.height):
            for col in range(other.width):
                c = other.pixels[row][col]
                if c != transparent:
                    self.put(x + col, y + row, c)


# A small block font of our own for the logo.
FONT = {
    'Z': ["#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"],
    'A': [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    'N': ["#...#", "##..#", "#.#.#", "#.#.#", "#..##", "#...#", "#...#"],
    'R': ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    'O': [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    ' ': [".....", ".....", ".....", ".....", ".....", ".....", "....."],
}


def monitor(screen_painter):
    """160 x 120: a monitor on its stand against the dialog's face colour."""
    c = Canvas(160, 120, SILVER)
    # Case with a raised edge and a darker inner rim.
    c.fill(6, 2, 154, 100, SILVER)
    c.bevel(6, 2, 154, 100, WHITE, BLACK)
    c.bevel(7, 3, 153, 99, SILVER, GREY)
    c.frame(15, 9, 145, 89, GREY)
    c.frame(16, 10, 144, 88, BLACK)
    screen = Canvas(126, 76, BLACK)
    screen_painter(screen)
    c.blit(screen, 17, 11)
    # Power lamp and buttons on the front.
    c.fill(134, 92, 138, 95, LIME)
    c.fill(122, 93, 130, 95, GREY)
    # Neck and foot.
    c.polygon([(66, 100), (94, 100), (100, 108), (60, 108)], GREY)
    c.polygon([(68, 100), (92, 100), (97, 107), (63, 107)], SILVER)
    c.fill(42, 108, 118, 116, SILVER)
    c.bevel(42, 108, 118, 116, WHITE, BLACK)
    return c


def paint_desktop(s):
    """The miniature desktop of monitor picture 0."""
    s.fill(0, 0, s.width, s.height, TEAL)
    # Desktop icons with their labels.
    for i, colour in enumerate((YELLOW, AQUA, LIME)):
        top = 4 + i * 17
        s.fill(5, top, 13, top + 8, colour)
        s.frame(5, top, 13, top + 8, BLACK)
        s.fill(3, top + 10, 15, top + 12, WHITE)
    # A window: frame, title bar with its buttons, a menu line and a white client area.
    s.fill(28, 10, 110, 58, SILVER)
    s.bevel(28, 10, 110, 58, WHITE, BLACK)
    s.fill(30, 12, 108, 19, NAVY)
    s.fill(32, 14, 60, 17, WHITE)
    for k in range(3):
        s.fill(90 + k * 6, 13, 95 + k * 6, 18, SILVER)
    s.fill(32, 21, 44, 23, BLACK)
    s.fill(48, 21, 58, 23, BLACK)
    s.fill(31, 25, 107, 56, WHITE)
    for k in range(4):
        s.fill(34, 28 + k * 6, 34 + 60 - k * 9, 30 + k * 6, GREY)
    # Task bar with a start button and a clock.
    s.fill(0, 67, s.width, s.height, SILVER)
    s.fill(0, 67, s.width, 68, WHITE)
    s.fill(2, 69, 22, 75, SILVER)
    s.bevel(2, 69, 22, 75, WHITE, BLACK)
    s.fill(4, 70, 7, 72, RED)
    s.fill(7, 70, 10, 72, LIME)
    s.fill(4, 72, 7, 74, BLUE)
    s.fill(7, 72, 10, 74, YELLOW)
    s.fill(12, 71, 20, 73, BLACK)
    s.fill(100, 69, 124, 75, SILVER)
    s.bevel(100, 69, 124, 75, GREY, WHITE)
    s.fill(105, 71, 119, 73, BLACK)


def paint_logo(s):
    """Monitor picture 1: the product logo on a grey screen."""
    s.fill(0, 0, s.width, s.height, GREY)
    # Emblem: a diamond with a lightning stroke.
    cx, cy = s.width // 2, 22
    s.polygon([(cx, cy - 16), (cx + 16, cy), (cx, cy + 16), (cx - 16, cy)], NAVY)
    s.polygon([(cx, cy - 12), (cx + 12, cy), (cx, cy + 12), (cx - 12, cy)], BLUE)
    s.polygon([(cx + 3, cy - 10), (cx - 6, cy + 2), (cx + 1, cy + 2)], YELLOW)
    s.polygon([(cx - 1, cy - 2), (cx + 6, cy - 2), (cx - 3, cy + 10)], YELLOW)
    # Name in block letters, with a shadow.
    word = "ZANRO"
    width = len(word) * 6 * 2 - 2
    left = (s.width - width) // 2
    s.text(left + 1, 45, word, BLACK, 2)
    s.text(left, 44, word, WHITE, 2)
    s.fill(left, 62, left + width, 64, YELLOW)


def arrow(direction):
    """Image and mask of one arrow: 0 left, 1 up, 2 right, 3 down. The image is black
    outside the arrow (it is ORed onto the background through the mask)."""
    long_side, short_side = 48, 24
    # Drawn pointing left, then turned.
    base = Canvas(short_side, long_side, BLACK)
    shape = [(1, 24), (22, 2), (22, 46)]
    base.polygon(shape, GREY)
    inner = [(5, 24), (20, 7), (20, 41)]
    base.polygon(inner, SILVER)
    # Light upper edge.
    for y in range(7, 24):
        x = 1 + int((24 - y) * 21 / 22) + 2
        base.put(x, y, WHITE)
    mask = Canvas(short_side, long_side, WHITE)
    for y in range(long_side):
        for x in range(short_side):
            if base.pixels[y][x] != BLACK:
                mask.pixels[y][x] = BLACK
    return turn(base, direction), turn(mask, direction)


def turn(canvas, direction):
    """Turns a left-pointing drawing to point in the given direction."""
    w, h = canvas.width, canvas.height
    if direction == 0:
        return canvas
    if direction == 2:
        out = Canvas(w, h, 0)
        for y in range(h):
            for x in range(w):
                out.pixels[y][x] = canvas.pixels[y][w - 1 - x]
        return out
    out = Canvas(h, w, 0)
    for y in range(w):
        for x in range(h):
            # Up: the left edge becomes the top edge.
            src_x, src_y = (y, x) if direction == 1 else (w - 1 - y, x)
            out.pixels[y][x] = canvas.pixels[src_y][src_x]
    return out


def colour_bar():
    order = [BLACK, NAVY, BLUE, TEAL, AQUA, GREEN, LIME, OLIVE,
             YELLOW, MAROON, RED, PURPLE, FUCHSIA, GREY, SILVER, WHITE]
    c = Canvas(144, 12, BLACK)
    for i, colour in enumerate(order):
        c.fill(i * 9, 0, i * 9 + 9, 12, colour)
    return c


def icon_picture(size):
    """The utility's icon: a small monitor with a blue screen and a yellow stroke."""
    c = Canvas(size, size, BLACK)
    mask = [[1] * size for _ in range(size)]   # 1: transparent

    def solid(left, top, right, bottom, colour):
        c.fill(left, top, right, bottom, colour)
        for y in range(max(top, 0), min(bottom, size)):
            for x in range(max(left, 0), min(right, size)):
                mask[y][x] = 0

    k = size / 32.0

    def s(v):
        return int(round(v * k))

    solid(s(2), s(3), s(30), s(24), SILVER)
    c.bevel(s(2), s(3), s(30), s(24), WHITE, BLACK)
    solid(s(5), s(6), s(27), s(20), BLUE)
    c.frame(s(5), s(6), s(27), s(20), BLACK)
    c.polygon([(s(17), s(8)), (s(11), s(14)), (s(16), s(14))], YELLOW)
    c.polygon([(s(15), s(12)), (s(21), s(12)), (s(13), s(18))], YELLOW)
    solid(s(12), s(24), s(20), s(27), GREY)
    solid(s(7), s(27), s(25), s(30), SILVER)
    c.bevel(s(7), s(27), s(25), s(30), WHITE, BLACK)
    return c, mask


def dib_4bpp(canvas, height_field=None):
    """BITMAPINFOHEADER, palette and bottom-up 4-bit rows."""
    row_bytes = ((canvas.width * 4 + 31) // 32) * 4
    rows = []
    for y in reversed(range(canvas.height)):
        line = bytearray(row_bytes)
        for x in range(canvas.width):
            value = canvas.pixels[y][x]
            if x % 2 == 0:
                line[x // 2] |= value << 4
            else:
                line[x // 2] |= value
        rows.append(bytes(line))
    pixels = b''.join(rows)
    header = struct.pack('<IiiHHIIiiII', 40, canvas.width,
                         height_field if height_field is not None else canvas.height,
                         1, 4, 0, len(pixels), 0, 0, 16, 16)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    return header + palette, pixels


def write_bmp(path, canvas):
    header, pixels = dib_4bpp(canvas)
    offset = 14 + len(header)
    with open(path, 'wb') as f:
        f.write(struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset))
        f.write(header)
        f.write(pixels)


def and_mask(mask, size):
    row_bytes = ((size + 31) // 32) * 4
    out = []
    for y in reversed(range(size)):
        line = bytearray(row_bytes)
        for x in range(size):
            if mask[y][x]:
                line[x // 8] |= 0x80 >> (x % 8)
        out.append(bytes(line))
    return b''.join(out)


def write_icon(path, sizes):
    images = []
    for size in sizes:
        canvas, mask = icon_picture(size)
        header, pixels = dib_4bpp(canvas, height_field=size * 2)
        images.append((size, header + pixels + and_mask(mask, size)))
    with open(path, 'wb') as f:
        f.write(struct.pack('<HHH', 0, 1, len(images)))
        offset = 6 + 16 * len(images)
        for size, data in images:
            f.write(struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset))
            offset += len(data)
        for _, data in images:
            f.write(data)


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'displayutil', 'res')
    os.makedirs(out, exist_ok=True)
    write_bmp(os.path.join(out, 'color_bar.bmp'), colour_bar())
    write_bmp(os.path.join(out, 'monitor_desktop.bmp'), monitor(paint_desktop))
    write_bmp(os.path.join(out, 'monitor_logo.bmp'), monitor(paint_logo))
    names = ['left', 'up', 'right', 'down']
    for d, name in enumerate(names):
        image, mask = arrow(d)
        write_bmp(os.path.join(out, 'arrow_%s.bmp' % name), image)
        write_bmp(os.path.join(out, 'arrow_%s_mask.bmp' % name), mask)
    write_icon(os.path.join(out, 'display_utility.ico'), [32, 16])


if __name__ == '__main__':
    main()
