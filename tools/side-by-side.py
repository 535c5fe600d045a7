#!/usr/bin/env python3
"""Puts two pictures side by side in one PNG (standard library only).
   side-by-side.py LEFT RIGHT OUT.png [WIDTH HEIGHT]
LEFT and RIGHT are 24-bit BMP files (our programs write them) or 8-bit
RGB/RGBA PNG files (a browser's screenshots); both are cut to WIDTH x HEIGHT
when given, and a grey strip of 8 pixels parts them."""
import struct
import sys
import zlib

from importlib import util
_spec = util.spec_from_file_location('bmp_to_png', __file__.replace('side-by-side.py', 'bmp-to-png.py'))
bmp_to_png = util.module_from_spec(_spec)
_spec.loader.exec_module(bmp_to_png)


def read_png(path):
    data = open(path, 'rb').read()
    pos, idat, width, height, kind = 8, b'', 0, 0, 0
    while pos < len(data):
        length, name = struct.unpack_from('>I4s', data, pos)
        body = data[pos + 8: pos + 8 + length]
        if name == b'IHDR':
            width, height, depth, kind, _, _, interlace = struct.unpack('>IIBBBBB', body)
            if depth != 8 or kind not in (2, 6) or interlace:
                raise SystemExit(f'{path}: only 8-bit RGB or RGBA PNG files without interlacing')
        elif name == b'IDAT':
            idat += body
        pos += 12 + length
    channels = 3 if kind == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind_of_filter = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind_of_filter == 1:
                line[i] = (line[i] + left) & 255
            elif kind_of_filter == 2:
                line[i] = (line[i] + up) & 255
            elif kind_of_filter == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind_of_filter == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        previous = line
        if channels == 4:
            rgb = bytearray(width * 3)
            rgb[0::3], rgb[1::3], rgb[2::3] = line[0::4], line[1::4], line[2::4]
            line = rgb
        rows.append(bytes(line))
    return width, height, rows


def read(path):
    return bmp_to_png.read_bmp(path) if path.lower().endswith('.bmp') else read_png(path)


def main():
    left, right, out = sys.argv[1:4]
    a, b = read(left), read(right)
    width = int(sys.argv[4]) if len(sys.argv) > 4 else max(a[0], b[0])
    height = int(sys.argv[5]) if len(sys.argv) > 5 else max(a[1], b[1])
    grey = bytes([160, 160, 160])

    def cut(picture, y):
        w, h, rows = picture
        line = rows[y][:width * 3] if y < h else b''
        return line + bytes([255, 255, 255]) * (width - len(line) // 3)
    rows = [cut(a, y) + grey * 8 + cut(b, y) for y in range(height)]
    bmp_to_png.write_png(out, width * 2 + 8, height, rows)


if __name__ == '__main__':
    main()
