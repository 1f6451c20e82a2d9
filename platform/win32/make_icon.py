#!/usr/bin/env python3
"""Draws the intro's icon, mirelandt.ico: an amber M on a dark blue CRT screen with
scanlines, at 16x16, 32x32 and 48x48, as 32-bit images with alpha. Run it here to redraw the icon:
    python3 make_icon.py mirelandt.ico
"""
import struct
import sys


def pixel(x, y, size):
    """BGRA of the pixel at (x, y), top row first, of a `size` square icon."""
    u, v = (x + 0.5) / size, (y + 0.5) / size
    # Rounded screen: transparent outside a rounded square.
    cx, cy = abs(u - 0.5), abs(v - 0.5)
    r = 0.12
    if max(cx, cy) > 0.5 or (cx > 0.5 - r and cy > 0.5 - r and (cx - 0.5 + r) ** 2 + (cy - 0.5 + r) ** 2 > r * r):
        return (0, 0, 0, 0)
    # An "M" of two strokes and a V between them, in phosphor amber.
    inner = 0.2 < u < 0.8 and 0.22 < v < 0.78
    stroke = 0.11
    left = 0.2 < u < 0.2 + stroke
    right = 0.8 - stroke < u < 0.8
    # The middle strokes run from the tops of the outer ones down to the centre.
    m = min(u, 1.0 - u)
    vee = v < 0.6 and abs(m - (0.25 + (v - 0.22) / 0.38 * 0.25)) < stroke * 0.6
    lit = inner and (left or right or vee)
    scan = 0.75 if (y * 16 // size) % 2 else 1.0
    if lit:
        return (int(40 * scan), int(190 * scan), int(255 * scan), 255)
    glow = max(0.0, 0.35 - ((u - 0.5) ** 2 + (v - 0.5) ** 2))
    return (int((70 + 120 * glow) * scan), int((24 + 60 * glow) * scan), int((18 + 30 * glow) * scan), 255)


def image(size):
    rows = []
    for y in reversed(range(size)):  # DIB rows run bottom-up
        rows.append(b"".join(bytes(pixel(x, y, size)) for x in range(size)))
    colour = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)  # all opaque as far as the mask goes: alpha decides
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return header + colour + mask


def main(path):
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "mirelandt.ico")
