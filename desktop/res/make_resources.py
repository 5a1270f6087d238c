"""Writes Lumo.exe's pictures and sounds into a folder: the icons, bitmaps and WAVE files that
Lumo.rc names. All of them are made up here (simple shapes and tones): the program loads them
by id, and none of its behaviour depends on what they show or sound like.

Usage: make_resources.py <output folder>
"""
import math
import os
import struct
import sys

MAGENTA = (255, 0, 255)  # the transparent colour of the panel, menu and list bitmaps
GREY = (150, 150, 150)

# Icon id -> (shape, colour). A call button has an "in" icon in colour and an "out" icon in grey.
ICONS = {
    128: ("lumo", (30, 90, 200)),  # the program
    200: ("cross", (200, 30, 30)), 198: ("cross", GREY),  # end call
    132: ("square", (200, 120, 20)), 204: ("square", GREY),  # end task
    129: ("bars", (30, 120, 200)), 208: ("bars", GREY),  # on hold
    202: ("disc", (220, 20, 20)), 203: ("disc", GREY),  # record
    227: ("mask", (90, 90, 90)), 228: ("mask", GREY),  # anonymise
    131: ("left", (20, 160, 60)), 209: ("left", GREY),  # take back
    199: ("disc", (20, 170, 60)), 207: ("disc", GREY),  # take call
    133: ("right", (20, 120, 200)), 206: ("right", GREY),  # transfer
    134: ("right", (120, 60, 200)), 205: ("right", GREY),  # transfer to
    255: ("three", (200, 140, 20)), 256: ("three", GREY),  # in conference
    281: ("speaker", (40, 40, 40)), 282: ("speaker", (200, 30, 30)),  # speakers, unmuted / muted
    283: ("mic", (40, 40, 40)), 273: ("mic", (200, 30, 30)),  # microphone, unmuted / muted
}

# Bitmap id -> (width, height, shape, colour, background). The panel buttons have five images
# each: normal, hover, pressed and two more.
PANEL = (40, 36)
BITMAPS = {
    269: PANEL + ("bars", (30, 120, 200), (236, 236, 236)),  # pause
    103: PANEL + ("bars", (30, 120, 200), (255, 255, 200)),
    268: PANEL + ("bars", (20, 80, 150), (200, 200, 200)),
    270: PANEL + ("bars", (220, 120, 20), (236, 236, 236)),
    280: PANEL + ("bars", (220, 120, 20), (255, 255, 200)),
    272: PANEL + ("disc", (20, 160, 60), (236, 236, 236)),  # manual call
    138: PANEL + ("disc", (20, 160, 60), (255, 255, 200)),
    271: PANEL + ("disc", (10, 110, 40), (200, 200, 200)),
    275: PANEL + ("letter", (90, 90, 160), (236, 236, 236)),  # send message
    140: PANEL + ("letter", (90, 90, 160), (255, 255, 200)),
    274: PANEL + ("letter", (60, 60, 120), (200, 200, 200)),
    277: PANEL + ("right", (20, 120, 200), (236, 236, 236)),  # next call
    189: PANEL + ("right", (20, 120, 200), (255, 255, 200)),
    276: PANEL + ("right", (10, 80, 150), (200, 200, 200)),
    279: PANEL + ("cross", (200, 30, 30), (236, 236, 236)),  # exit
    135: PANEL + ("cross", (200, 30, 30), (255, 255, 200)),
    278: PANEL + ("cross", (150, 20, 20), (200, 200, 200)),
    142: (32, 16, "people", (30, 90, 200), MAGENTA),  # the log-on list's images, two of 16 x 16
    191: (13, 13, "disc", (220, 20, 20), MAGENTA),  # context menu: record
    192: (13, 13, "bars", (30, 120, 200), MAGENTA),  # on hold
    193: (13, 13, "left", (20, 160, 60), MAGENTA),  # take back
    288: (46, 46, "knob", (128, 128, 128), MAGENTA),  # the volume knob
}


def inside(shape, x, y, w, h):
    """Whether the pixel (x, y), top-down, belongs to the shape drawn in a w x h box."""
    u, v = (x + 0.5) / w, (y + 0.5) / h  # 0..1
    cu, cv = u - 0.5, v - 0.5
    r = math.hypot(cu, cv)
    if shape == "disc":
        return r <= 0.32
    if shape == "knob":
        return r <= 0.5
    if shape == "square":
        return abs(cu) <= 0.28 and abs(cv) <= 0.28
    if shape == "bars":
        return abs(cv) <= 0.3 and (0.12 <= abs(cu) <= 0.26)
    if shape == "cross":
        return abs(cu) <= 0.32 and abs(cv) <= 0.32 and (abs(cu - cv) <= 0.09 or abs(cu + cv) <= 0.09)
    if shape in ("right", "left"):
        s = cu if shape == "right" else -cu
        return -0.3 <= s <= 0.3 and abs(cv) <= (0.3 - s) * 0.9
    if shape == "three":
        return any(math.hypot(cu - dx, cv - dy) <= 0.14 for dx, dy in ((-0.2, 0.15), (0.2, 0.15), (0, -0.18)))
    if shape == "mask":
        return abs(cv + 0.05) <= 0.12 and abs(cu) <= 0.36 and not any(
            math.hypot(cu - dx, cv + 0.05) <= 0.07 for dx in (-0.16, 0.16))
    if shape == "letter":
        edge = abs(cu) <= 0.34 and abs(cv) <= 0.22
        frame = edge and (abs(cu) >= 0.3 or abs(cv) >= 0.18)
        flap = abs(cv + 0.22 - abs(cu) * 0.6) <= 0.04 and abs(cu) <= 0.34
        return frame or flap
    if shape == "speaker":
        return (abs(cu + 0.12) <= 0.1 and abs(cv) <= 0.12) or (-0.02 <= cu <= 0.2 and abs(cv) <= 0.1 + cu)
    if shape == "mic":
        return (abs(cu) <= 0.1 and -0.32 <= cv <= 0.1) or (abs(cu) <= 0.03 and 0.1 <= cv <= 0.34)
    if shape == "people":
        cell = int(x // 16)
        lu, lv = ((x - cell * 16) + 0.5) / 16 - 0.5, (y + 0.5) / 16 - 0.5
        return math.hypot(lu, lv + 0.18) <= 0.16 or (abs(lu) <= 0.3 and 0.05 <= lv <= 0.4)
    if shape == "lumo":
        return (abs(cu + 0.18) <= 0.07 and abs(cv) <= 0.32) or (abs(cv - 0.25) <= 0.07 and -0.25 <= cu <= 0.3)
    raise ValueError(shape)


def bmp_rows(w, h, shape, colour, background):
    """24-bit rows, bottom-up, padded to 4 bytes."""
    pad = bytes((4 - w * 3 % 4) % 4)
    rows = []
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for x in range(w):
            r, g, b = colour if inside(shape, x, y, w, h) else background
            row += bytes((b, g, r))
        rows.append(bytes(row) + pad)
    return b"".join(rows)


def write_bmp(path, w, h, shape, colour, background):
    pixels = bmp_rows(w, h, shape, colour, background)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(head + info + pixels)


def icon_image(size, shape, colour):
    """One 32-bit image of an icon file: header (height doubled), BGRA rows, AND mask."""
    xor = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for y in range(size - 1, -1, -1):
        bits = bytearray(mask_stride)
        for x in range(size):
            on = inside(shape, x, y, size, size)
            r, g, b = colour
            xor += bytes((b, g, r, 255 if on else 0))
            if not on:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + bytes(xor) + bytes(mask)


def write_ico(path, shape, colour):
    images = [(size, icon_image(size, shape, colour)) for size in (32, 16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(data for _, data in images))


def write_wav(path, rate, bits, seconds, signal):
    """Mono PCM; signal(t) in -1..1."""
    count = int(rate * seconds)
    if bits == 8:
        data = bytes(int(128 + 100 * signal(i / rate)) for i in range(count))
    else:
        data = b"".join(struct.pack("<h", int(20000 * signal(i / rate))) for i in range(count))
    block = bits // 8
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate * block, block, bits)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)


def tone(*freqs):
    return lambda t: sum(math.sin(2 * math.pi * f * t) for f in freqs) / len(freqs)


def ringing(t):
    """The usual ring: 440 and 480 Hz for a second, then a second of silence."""
    return tone(440, 480)(t) if t % 2.0 < 1.0 else 0.0


def main(folder):
    os.makedirs(folder, exist_ok=True)
    for number, (shape, colour) in ICONS.items():
        write_ico(os.path.join(folder, "icon%d.ico" % number), shape, colour)
    for number, (w, h, shape, colour, background) in BITMAPS.items():
        write_bmp(os.path.join(folder, "bitmap%d.bmp" % number), w, h, shape, colour, background)
    write_wav(os.path.join(folder, "dtmf.wav"), 8000, 8, 0.12, tone(697, 1209))
    write_wav(os.path.join(folder, "phonerings.wav"), 8000, 8, 2.0, ringing)
    write_wav(os.path.join(folder, "ring285.wav"), 8000, 16, 2.0, ringing)
    # The build depends on this one file: it is written last, after every picture and sound.
    with open(os.path.join(folder, "resources.stamp"), "w") as f:
        f.write("%d icons, %d bitmaps, 3 sounds\n" % (len(ICONS), len(BITMAPS)))


if __name__ == "__main__":
    main(sys.argv[1])
