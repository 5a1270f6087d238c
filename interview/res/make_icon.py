#!/usr/bin/python3
"""Writes BrennClient.exe's window icon (32 and 16 pixels, 32-bit) to the path given: a headset
shape in Quelmoor blue on transparent ground."""
import struct
import sys


def inside(x, y, size):
    c = (size - 1) / 2.0
    r = size * 0.42
    dx, dy = x - c, y - c
    d2 = dx * dx + dy * dy
    ring = (r * 0.72) ** 2 <= d2 <= r * r and dy <= size * 0.1
    cup = abs(dx) >= r * 0.62 and abs(dx) <= r and size * 0.05 <= dy <= size * 0.38
    return ring or cup


def image(size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, size * size * 4, 0, 0, 0, 0)
    rows = b""
    for y in range(size - 1, -1, -1):  # bottom-up
        for x in range(size):
            rows += bytes((0xB0, 0x60, 0x20, 0xFF)) if inside(x, y, size) else bytes(4)
    mask_row = ((size + 31) // 32) * 4
    return header + rows + bytes(mask_row * size)


def main(path):
    sizes = (32, 16)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1])
