#!/usr/bin/env python3
"""Converts the 24-bit BMP files our Windows programs write into PNG files
(standard library only): bmp-to-png.py FILE.bmp... writes FILE.png beside each."""
import struct
import sys
import zlib


def read_bmp(path):
    data = open(path, 'rb').read()
    offset = struct.unpack_from('<I', data, 10)[0]
    width, height = struct.unpack_from('<ii', data, 18)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        line = height - 1 - y if height > 0 else y
        raw = data[offset + line * stride: offset + line * stride + width * 3]
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = raw[2::3], raw[1::3], raw[0::3]
        rows.append(bytes(rgb))
    return width, abs(height), rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body) & 0xFFFFFFFF)
    raw = b''.join(b'\0' + row for row in rows)
    with open(path, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n')
        out.write(chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b'IDAT', zlib.compress(raw, 9)))
        out.write(chunk(b'IEND', b''))


if __name__ == '__main__':
    for name in sys.argv[1:]:
        write_png(name[:-4] + '.png', *read_bmp(name))
