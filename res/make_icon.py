#!/usr/bin/env python3
"""Draws pelko's icon (a handheld navigation device with a download arrow)
and writes it as pelko.ico with 16, 32 and 48 pixel images at 32 bits per
pixel. Pure Python, so the result is the same wherever it runs:

    python3 res/make_icon.py res/pelko.ico
"""
import struct
import sys

SUBSAMPLES = 4  # per axis, for smooth edges


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def segment_distance(x, y, a, b):
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return ((x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2) ** 0.5


def polyline(points, width):
    def inside(x, y):
        return any(segment_distance(x, y, points[i], points[i + 1]) <= width / 2
                   for i in range(len(points) - 1))
    return inside


def grown(points, margin):
    shape = polygon(points)
    edges = polyline(points + [points[0]], 2 * margin)
    return lambda x, y: shape(x, y) or edges(x, y)


def clipped(shape, clip):
    return lambda x, y: shape(x, y) and clip(x, y)


ARROW = [(0.67, 0.44), (0.85, 0.44), (0.85, 0.66), (0.97, 0.66),
         (0.76, 0.93), (0.55, 0.66), (0.67, 0.66)]
SCREEN = rounded_rect(0.18, 0.12, 0.62, 0.60, 0.02)

# Back to front: (shape, (red, green, blue, alpha)).
LAYERS = [
    (rounded_rect(0.08, 0.03, 0.72, 0.95, 0.10), (0x23, 0x27, 0x2e, 255)),   # body
    (rounded_rect(0.11, 0.06, 0.69, 0.92, 0.08), (0x3c, 0x43, 0x4d, 255)),   # face
    (SCREEN, (0xd9, 0xee, 0xd3, 255)),                                        # map
    (clipped(polyline([(0.18, 0.44), (0.36, 0.30), (0.62, 0.36)], 0.07), SCREEN),
     (0xff, 0xff, 0xff, 255)),                                                # road
    (clipped(polyline([(0.26, 0.60), (0.30, 0.40), (0.48, 0.22)], 0.06), SCREEN),
     (0x1f, 0x6f, 0xd1, 255)),                                                # route
    (polygon([(0.48, 0.15), (0.56, 0.27), (0.48, 0.24), (0.40, 0.27)]),
     (0xe0, 0x3a, 0x2f, 255)),                                                # position
    (circle(0.40, 0.76, 0.075), (0x9a, 0xa3, 0xad, 255)),                     # button
    (grown(ARROW, 0.05), (0xff, 0xff, 0xff, 255)),                            # arrow rim
    (polygon(ARROW), (0x2e, 0xa0, 0x43, 255)),                                # arrow
]


def render(size):
    """Rows top to bottom of (blue, green, red, alpha), premultiplied nowhere."""
    rows = []
    n = SUBSAMPLES
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied r, g, b and alpha
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    r = g = b = a = 0.0
                    for shape, (lr, lg, lb, la) in LAYERS:
                        if shape(x, y):
                            alpha = la / 255.0
                            r = lr * alpha + r * (1 - alpha)
                            g = lg * alpha + g * (1 - alpha)
                            b = lb * alpha + b * (1 - alpha)
                            a = alpha + a * (1 - alpha)
                    acc[0] += r
                    acc[1] += g
                    acc[2] += b
                    acc[3] += a
            samples = n * n
            alpha = acc[3] / samples
            if alpha <= 0:
                row.append((0, 0, 0, 0))
                continue
            colour = [round(acc[i] / samples / alpha) for i in range(3)]
            row.append((colour[2], colour[1], colour[0], round(alpha * 255)))
        rows.append(row)
    return rows


def icon_image(size):
    rows = render(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(bytes(c for pixel in row for c in pixel) for row in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = b''
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + pixels + mask


def main():
    sizes = (16, 32, 48)
    images = [icon_image(s) for s in sizes]
    offset = 6 + 16 * len(images)
    directory = struct.pack('<HHH', 0, 1, len(images))
    for size, image in zip(sizes, images):
        directory += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(sys.argv[1], 'wb') as out:
        out.write(directory + b''.join(images))


if __name__ == '__main__':
    main()
