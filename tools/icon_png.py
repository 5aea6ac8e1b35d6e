#!/usr/bin/env python3
"""Draws the page's icon (icon.svg: filled rectangles, some with rounded corners) as square PNG files for
the web app manifest and the phones' home screens, with the standard library alone.

    icon_png.py icon.svg OUT_PREFIX SIZE...   writes OUT_PREFIX-SIZE.png for each size
"""
import struct
import sys
import xml.etree.ElementTree as ET
import zlib

SAMPLES = 4  # per pixel and axis, for smooth edges


def colour(text):
    text = text.lstrip('#')
    if len(text) == 3:
        text = ''.join(c * 2 for c in text)
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


def rects(svg):
    root = ET.parse(svg).getroot()
    box = [float(v) for v in root.get('viewBox').split()]
    shapes = []
    for el in root.iter():
        if el.tag.split('}')[-1] != 'rect':
            continue
        x, y = float(el.get('x', 0)), float(el.get('y', 0))
        w, h = float(el.get('width')), float(el.get('height'))
        r = float(el.get('rx', el.get('ry', 0)))
        shapes.append((x, y, w, h, min(r, w / 2, h / 2), colour(el.get('fill', '#000'))))
    return box, shapes


def inside(px, py, shape):
    x, y, w, h, r, _ = shape
    if px < x or py < y or px >= x + w or py >= y + h:
        return False
    if r <= 0:
        return True
    cx = min(max(px, x + r), x + w - r)
    cy = min(max(py, y + r), y + h - r)
    return (px - cx) ** 2 + (py - cy) ** 2 <= r * r


def top(px, py, shapes):
    for shape in reversed(shapes):
        if inside(px, py, shape):
            return shape
    return None


def draw(box, shapes, size):
    bx, by, bw, bh = box
    k = max(bw, bh) / size
    rows = []
    n = SAMPLES * SAMPLES
    for row in range(size):
        line = bytearray([0])  # filter: none
        for col in range(size):
            # Inside one shape at all four corners and the middle: one colour, no edge to smooth.
            probes = {top(bx + (col + fx) * k, by + (row + fy) * k, shapes)
                      for fx, fy in ((0, 0), (1, 0), (0, 1), (1, 1), (0.5, 0.5))}
            if len(probes) == 1:
                only = probes.pop()
                line += bytes(list(only[5]) + [255]) if only else bytes(4)
                continue
            acc = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    px = bx + (col + (sx + 0.5) / SAMPLES) * k
                    py = by + (row + (sy + 0.5) / SAMPLES) * k
                    shape = top(px, py, shapes)
                    if shape:
                        for i in range(3):
                            acc[i] += shape[5][i]
                        acc[3] += 1
            a = acc[3]
            line += bytes([acc[0] // a, acc[1] // a, acc[2] // a, 255 * a // n] if a else [0, 0, 0, 0])
        rows.append(bytes(line))
    return b''.join(rows)


def png(size, pixels):
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(pixels, 9)) + chunk(b'IEND', b''))


def main():
    if len(sys.argv) < 4:
        sys.exit('usage: icon_png.py icon.svg OUT_PREFIX SIZE...')
    box, shapes = rects(sys.argv[1])
    for size in sys.argv[3:]:
        with open(f'{sys.argv[2]}-{size}.png', 'wb') as out:
            out.write(png(int(size), draw(box, shapes, int(size))))


if __name__ == '__main__':
    main()
