#!/usr/bin/env python3
"""Draws the control panel's icon (a white shield on the panel's blue) and its
banner bitmap, and writes them to panel/res. Run once; the outputs are kept
in the repository so that the build needs no Python."""
import struct
import sys
from pathlib import Path

BLUE = (0x2A, 0x53, 0x93)
PEACH = (0xFD, 0xC4, 0xA5)
WHITE = (0xFF, 0xFF, 0xFF)


def shield(x, y, size):
    """True inside a shield shape centred in a size x size square."""
    cx = (size - 1) / 2
    top, bottom = size * 0.18, size * 0.86
    if y < top or y > bottom:
        return False
    half = size * 0.30 if y < size * 0.55 else size * 0.30 * (bottom - y) / (bottom - size * 0.55)
    return abs(x - cx) <= half


def icon_pixels(size):
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            corner = min(x, y, size - 1 - x, size - 1 - y)
            inside = corner >= 1 or (x not in (0, size - 1) and y not in (0, size - 1))
            if not inside:
                row.append((0, 0, 0, 0))
            elif shield(x, y, size):
                row.append(WHITE + (255,))
            else:
                row.append(BLUE + (255,))
        rows.append(row)
    return rows


def icon_image(size):
    pixels = icon_pixels(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b''.join(bytes((b, g, r, a)) for row in reversed(pixels) for (r, g, b, a) in row)
    mask_row = (size + 31) // 32 * 4
    and_mask = b''
    for row in reversed(pixels):
        line = bytearray(mask_row)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        and_mask += bytes(line)
    return header + xor + and_mask


def write_icon(path):
    sizes = [16, 32]
    images = [icon_image(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for size, image in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    path.write_bytes(out + b''.join(images))


def write_banner(path, width=133, height=19):
    stride = (width * 3 + 3) // 4 * 4
    rows = []
    for y in range(height):
        line = bytearray()
        for x in range(width):
            if height - 4 <= y < height - 2 and x >= 4:
                colour = PEACH
            elif 3 <= y < 13 and 4 <= x < 14 and shield(x - 4, y - 3, 10):
                colour = WHITE
            else:
                colour = BLUE
            line += bytes((colour[2], colour[1], colour[0]))
        rows.append(bytes(line) + bytes(stride - len(line)))
    pixels = b''.join(reversed(rows))
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    path.write_bytes(header + info + pixels)


if __name__ == '__main__':
    out = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / 'panel' / 'res')
    write_icon(out / 'Norvane.ico')
    write_banner(out / 'Banner.bmp')
