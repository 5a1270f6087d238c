"""Writes the rotary tests' knob: a 46x46 24-bit BMP, a grey disc on magenta."""
import struct
import sys

SIZE = 46
KNOB = (128, 128, 128)
MAGENTA = (255, 0, 255)


def main(path):
    row_bytes = (SIZE * 3 + 3) & ~3
    rows = []
    for y in range(SIZE - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(SIZE):
            inside = (x + 0.5 - SIZE / 2) ** 2 + (y + 0.5 - SIZE / 2) ** 2 <= (SIZE / 2) ** 2
            r, g, b = KNOB if inside else MAGENTA
            row += bytes((b, g, r))
        row += bytes(row_bytes - len(row))
        rows.append(bytes(row))
    pixels = b"".join(rows)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(pixels), 0, 0, 14 + len(header))
    with open(path, "wb") as f:
        f.write(file_header + header + pixels)


if __name__ == "__main__":
    main(sys.argv[1])
