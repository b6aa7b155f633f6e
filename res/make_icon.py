#!/usr/bin/env python3
"""Draws the program icon (a database cylinder) and writes it as a Windows icon group of nine
32-bit images: 16, 20, 24, 32, 40, 48, 64 and 128 px as DIBs with alpha, 256 px as PNG."""
import math
import struct
import sys
import zlib

SIZES = [16, 20, 24, 32, 40, 48, 64, 128, 256]
BODY = (31, 111, 178)
BODY_EDGE = (18, 72, 124)
TOP = (110, 176, 236)
TOP_RIM = (18, 72, 124)
BAND = (14, 58, 102)

CX, RX, RY = 0.5, 0.36, 0.12
TOP_Y, BOTTOM_Y = 0.22, 0.78
BANDS = (0.41, 0.60)


def in_ellipse(x, y, cy, grow=0.0):
    return ((x - CX) / (RX + grow)) ** 2 + ((y - cy) / (RY + grow)) ** 2 <= 1.0


def colour_at(x, y, size):
    """Colour of the drawing at (x, y) in 0..1 coordinates, or None outside it."""
    line = max(1.2 / size, 0.022)
    inside_body = (abs(x - CX) <= RX and TOP_Y <= y <= BOTTOM_Y) or in_ellipse(x, y, BOTTOM_Y)
    if in_ellipse(x, y, TOP_Y):
        if not in_ellipse(x, y, TOP_Y, -line * 1.4):
            return TOP_RIM
        return TOP
    if not inside_body:
        return None
    for band in BANDS:
        # The lower arc of an ellipse like the top one, drawn as a dark line across the body.
        dx = (x - CX) / RX
        if abs(dx) <= 1.0:
            arc_y = band + RY * math.sqrt(1.0 - dx * dx)
            if abs(y - arc_y) <= line * 0.8:
                return BAND
    shade = abs(x - CX) / RX
    t = shade ** 2
    return tuple(round(b * (1 - t) + e * t) for b, e in zip(BODY, BODY_EDGE))


def render(size):
    """Rows of straight-alpha RGBA pixels, top row first, 4x4 supersampled."""
    samples = 4
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    y = (py + (sy + 0.5) / samples) / size
                    c = colour_at(x, y, size)
                    if c:
                        r += c[0]; g += c[1]; b += c[2]; a += 1
            n = samples * samples
            row.append((r // a, g // a, b // a, 255 * a // n) if a else (0, 0, 0, 0))
        rows.append(row)
    return rows


def dib(size, rows):
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(struct.pack('<BBBB', b, g, r, a) for row in reversed(rows) for r, g, b, a in row)
    mask_stride = ((size + 31) // 32) * 4
    return header + pixels + b'\0' * (mask_stride * size)


def png(size, rows):
    raw = b''.join(b'\0' + b''.join(struct.pack('BBBB', *p) for p in row) for row in rows)

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))

    ihdr = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b'')


def main(out_path):
    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, png(size, rows) if size == 256 else dib(size, rows)))
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, blob in images:
        dim = 0 if size == 256 else size
        data += struct.pack('<BBBBHHII', dim, dim, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    data += b''.join(blob for _, blob in images)
    with open(out_path, 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    main(sys.argv[1])
