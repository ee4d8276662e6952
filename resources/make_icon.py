#!/usr/bin/env python3
"""Draws the launcher's icon and writes it as a Windows .ico file.

Nine images: 16, 32 and 48 pixels square, each at 4 bits (16 colours), 8 bits (256-colour
palette) and 32 bits (with alpha). The picture: two interlocked rings on a rounded blue tile.

Usage: make_icon.py OUT.ico
"""

import struct
import sys

SIZES = (16, 32, 48)
DEPTHS = (4, 8, 32)

# Palette of the picture (the paletted images use these entries; index 0 is transparent).
TRANSPARENT, TILE, TILE_EDGE, RING_A, RING_B, SHADOW = range(6)
PALETTE = [
    (0, 0, 0),        # transparent (masked out)
    (36, 99, 176),    # tile
    (20, 60, 120),    # tile edge
    (255, 255, 255),  # first ring
    (250, 190, 60),   # second ring
    (12, 40, 84),     # ring shadow
]


def pixel(x, y, n):
    """Palette index of pixel (x, y) of an n-by-n image (y counted from the top)."""
    # Rounded tile.
    u, v = (x + 0.5) / n, (y + 0.5) / n
    r = 0.18
    cx = min(max(u, r), 1 - r)
    cy = min(max(v, r), 1 - r)
    d = ((u - cx) ** 2 + (v - cy) ** 2) ** 0.5
    if d > r:
        return TRANSPARENT
    index = TILE_EDGE if d > r - 1.5 / n else TILE
    # Two rings, side by side and overlapping.
    thickness = max(0.07, 1.6 / n)
    for ring, (rx, ry) in ((RING_A, (0.38, 0.5)), (RING_B, (0.62, 0.5))):
        dist = ((u - rx) ** 2 + (v - ry) ** 2) ** 0.5
        if abs(dist - 0.2) <= thickness / 2:
            index = ring
        elif abs(dist - 0.2 - thickness * 0.7) <= thickness / 4 and index == TILE:
            index = SHADOW
    return index


def dib(n, bits):
    """BITMAPINFOHEADER, palette, colour bits (bottom-up) and AND mask of one image."""
    rows = [[pixel(x, y, n) for x in range(n)] for y in range(n)]
    colours = 0 if bits == 32 else 1 << bits
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, bits, 0, 0, 0, 0, colours, 0)
    palette = b""
    if colours:
        entries = PALETTE + [(0, 0, 0)] * (colours - len(PALETTE))
        palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in entries)

    def padded(row_bytes):
        return row_bytes + b"\0" * (-len(row_bytes) % 4)

    xor = b""
    for row in reversed(rows):
        if bits == 32:
            data = b"".join(
                struct.pack("<BBBB", 0, 0, 0, 0) if i == TRANSPARENT else
                struct.pack("<BBBB", PALETTE[i][2], PALETTE[i][1], PALETTE[i][0], 255)
                for i in row)
        elif bits == 8:
            data = bytes(row)
        else:
            data = bytes((row[i] << 4) | (row[i + 1] if i + 1 < n else 0) for i in range(0, n, 2))
        xor += padded(data)

    mask = b""
    for row in reversed(rows):
        value = bytearray((n + 7) // 8)
        for x, i in enumerate(row):
            if i == TRANSPARENT:
                value[x // 8] |= 0x80 >> (x % 8)
        mask += padded(bytes(value))
    return header + palette + xor + mask


def icon_file():
    images = [(n, bits, dib(n, bits)) for bits in DEPTHS for n in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, bits, data in images:
        colours = (1 << bits) if bits < 8 else 0
        out += struct.pack("<BBBBHHII", n % 256, n % 256, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, _, data in images)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], "wb") as f:
        f.write(icon_file())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
