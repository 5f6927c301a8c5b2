#!/usr/bin/env python3
"""Draws the uninstaller's program icon: a display with a red cross over its screen.

Writes a Windows icon file with one 32 x 32 image in 16 colours (the standard VGA palette,
which every Windows 95 display shows unchanged). Run it again after changing the picture:
    tools/draw_uninstaller_icon.py uninstaller/res/zandel.ico
"""
import struct
import sys

W = H = 32
# Palette indices follow the usual Windows order: 1 is dark red, 4 dark blue, and so on.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_BLUE, GREY, DARK_GREY, RED, BLUE, WHITE = 0, 4, 7, 8, 9, 12, 15
TRANSPARENT = None


def draw():
    img = [[TRANSPARENT] * W for _ in range(H)]

    def rect(x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                img[y][x] = c

    # Cabinet with a light top-left and a dark bottom-right edge.
    rect(2, 3, 29, 23, GREY)
    rect(2, 3, 29, 3, WHITE)
    rect(2, 3, 2, 23, WHITE)
    rect(2, 23, 29, 23, DARK_GREY)
    rect(29, 3, 29, 23, DARK_GREY)
    # Screen.
    rect(5, 6, 26, 19, BLACK)
    rect(6, 7, 25, 18, DARK_BLUE)
    rect(6, 7, 25, 7, BLUE)
    # Stand and foot.
    rect(13, 24, 18, 26, DARK_GREY)
    rect(8, 27, 23, 28, GREY)
    rect(8, 28, 23, 28, DARK_GREY)
    # The red cross: the software goes away.
    for i in range(12):
        for d in (0, 1):
            img[8 + i][10 + i + d] = RED
            img[8 + i][21 - i + d] = RED
    return img


def icon_bytes(img):
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(H)):  # bottom-up rows
        row = img[y]
        for x in range(0, W, 2):
            a = row[x] if row[x] is not None else 0
            b = row[x + 1] if row[x + 1] is not None else 0
            xor.append((a << 4) | b)
        bits = 0
        for x in range(W):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        mask += bits.to_bytes(4, "big")
    header = struct.pack("<IiiHHIIiiII", 40, W, H * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", W, H, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + image


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "uninstaller/res/zandel.ico"
    with open(out, "wb") as f:
        f.write(icon_bytes(draw()))
