#!/usr/bin/env python3
"""Pictures for the image tests: made here, and the ones the C++ test wrote checked with Pillow.

make DIR            writes BMP and ICO files into DIR/made/ (struct for the exact layouts a case
                    needs, Pillow for files as another program writes them); wipes DIR/written/.
verify DIR          opens every file listed in DIR/written/manifest.txt with Pillow and compares
                    each pixel with the pattern the line names.
resource-icon FILE  writes the icon that the drawing test carries as a raw-data resource.

Both sides draw the same patterns: palette index (x * 7 + row * 13) % n with palette entry i
= (i * 37, i * 91, i * 53 + 17) mod 256, or colour (x * 31 + row * 7, x * 11 + row * 29,
x * 5 + row * 3 + 77) mod 256; rows count from the top of the picture.
"""
import io
import os
import shutil
import struct
import sys

def index(x, row, n):
    return (x * 7 + row * 13) % n

def pal(i):
    return ((i * 37) % 256, (i * 91) % 256, (i * 53 + 17) % 256)

def rgb(x, row):
    return ((x * 31 + row * 7) % 256, (x * 11 + row * 29) % 256, (x * 5 + row * 3 + 77) % 256)

def eff_width(width, bits):
    return (width * bits + 31) // 32 * 4

def row_bytes(width, row, bits, n):
    """One picture row, padded to 4 bytes."""
    out = bytearray()
    if bits == 24:
        for x in range(width):
            r, g, b = rgb(x, row)
            out += bytes((b, g, r))
    else:
        per_byte = 8 // bits
        for x0 in range(0, width, per_byte):
            v = 0
            for k in range(per_byte):
                x = x0 + k
                v = (v << bits) | (index(x, row, n) if x < width else 0)
            out.append(v)
    out += bytes(eff_width(width, bits) - len(out))
    return bytes(out)

def rows(width, height, bits, n, topdown=False):
    order = range(height) if topdown else range(height - 1, -1, -1)
    return b"".join(row_bytes(width, r, bits, n) for r in order)

def table(entries, size=4):
    out = bytearray()
    for i in range(entries):
        r, g, b = pal(i)
        out += bytes((b, g, r, 0))[:size]
    return bytes(out)

def info_header(width, height, bits, image_size, clr_used, compression=0, size=40):
    h = struct.pack("<IiiHHIIiiII", size, width, height, 1, bits, compression, image_size, 0, 0, clr_used, 0)
    return h + bytes(size - 40)

def bmp(width, height, bits, header="info", clr_used=None, n=None, topdown=False, file_header=True,
        image_size=None, offset=None, compression=0, body=None):
    full = 1 << bits if bits <= 8 else 0
    n = n or full
    entries = full if clr_used is None else clr_used
    data = body if body is not None else rows(width, height, bits, n, topdown)
    if header == "core":
        head = struct.pack("<IHHHH", 12, width, height, 1, bits)
        tab = table(full, 3)
    else:
        size = 124 if header == "v5" else 40
        head = info_header(width, -height if topdown else height, bits,
                           len(data) if image_size is None else image_size,
                           full if clr_used is None else clr_used, compression, size)
        tab = table(entries)
    dib = head + tab + data
    if not file_header:
        return dib
    if offset is None:
        offset = 14 + len(head) + len(tab)
    return struct.pack("<2sIHHI", b"BM", 14 + len(dib), 0, 0, offset) + dib

def ico_image(width, height, bits, n, size=40):
    full = 1 << bits
    head = struct.pack("<IiiHHIIiiII", size, width, height * 2, 1, bits, 0, eff_width(width, bits) * height,
                       0, 0, 0, 0)
    mask = bytes(eff_width(width, 1) * height)
    return head + table(full) + rows(width, height, bits, n) + mask

def ico(images, kind=1):
    """images: list of (width byte, height byte, colour count byte, bits, image bytes)."""
    out = struct.pack("<HHH", 0, kind, len(images))
    at = 6 + 16 * len(images)
    data = b""
    for w, h, colours, bits, image in images:
        out += struct.pack("<BBBBHHII", w, h, colours, 0, 1, bits, len(image), at + len(data))
        data += image
    return out + data

def pillow_files():
    from PIL import Image
    w, h = 13, 7
    files = {}
    im = Image.new("RGB", (w, h))
    im.putdata([rgb(x, r) for r in range(h) for x in range(w)])
    files["pil_rgb.bmp"] = im
    im = Image.new("P", (w, h))
    im.putpalette([c for i in range(256) for c in pal(i)])
    im.putdata([index(x, r, 256) for r in range(h) for x in range(w)])
    files["pil_p.bmp"] = im
    im = Image.new("L", (w, h))
    im.putdata([index(x, r, 256) for r in range(h) for x in range(w)])
    files["pil_l.bmp"] = im
    im = Image.new("1", (33, 5))
    im.putdata([255 if index(x, r, 2) else 0 for r in range(5) for x in range(33)])
    files["pil_1.bmp"] = im
    out = {}
    for name, im in files.items():
        buf = io.BytesIO()
        im.save(buf, "BMP")
        out[name] = buf.getvalue()
    buf = io.BytesIO()
    im = Image.new("RGBA", (16, 16), (10, 20, 30, 255))
    im.save(buf, "PNG")
    out["png_entry"] = buf.getvalue()
    return out

def resource_icon():
    return ico([(16, 16, 16, 4, ico_image(16, 16, 4, 16))])

def make(root):
    made = os.path.join(root, "made")
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(made)
    os.makedirs(os.path.join(root, "written"))
    p8 = bmp(13, 7, 8)
    pil = pillow_files()
    files = {
        "p1.bmp": bmp(33, 5, 1),
        "p4.bmp": bmp(13, 7, 4),
        "p8.bmp": p8,
        "rgb24.bmp": bmp(13, 7, 24),
        "p8_bare.dib": bmp(13, 7, 8, file_header=False),
        "p8_core.bmp": bmp(13, 7, 8, header="core"),
        "p8_core_bare.dib": bmp(13, 7, 8, header="core", file_header=False),
        "tiny_core.bmp": bmp(1, 1, 1, header="core"),
        "p8_zero_size.bmp": bmp(13, 7, 8, image_size=0),
        "p8_v5.bmp": bmp(13, 7, 8, header="v5"),
        "p8_topdown.bmp": bmp(13, 7, 8, topdown=True),
        "p8_clr5.bmp": bmp(13, 7, 8, clr_used=5, n=5, offset=0),
        "rgb24_clr3.bmp": bmp(13, 7, 24, clr_used=3, offset=0),
        "p8_claims_1mb.bmp": bmp(2, 2, 8, image_size=1 << 20),
        "p8_truncated.bmp": p8[:14 + 40 + 1024 + 16 * 3 + 5],
        "p8_table_cut.bmp": p8[:14 + 40 + 400],
        "rgb16.bmp": bmp(4, 2, 16, body=bytes(16)),
        "rle8.bmp": bmp(4, 2, 8, compression=1, body=bytes((4, 1, 0, 0, 4, 2, 0, 1))),
        "bitfields32.bmp": bmp(2, 2, 32, compression=3, body=bytes(16)),
        "header20.bmp": struct.pack("<2sIHHI", b"BM", 54, 0, 0, 34) + struct.pack("<IiiHHI", 20, 2, 2, 1, 8, 0) + bytes(20),
        "huge.bmp": bmp(0x7FFFFFFF, 2, 24, body=bytes(64)),
        "tall.bmp": bmp(1, -0x80000000, 8, body=bytes(64)),
        "zero_width.bmp": bmp(0, 2, 24, body=bytes(8)),
        "short.bmp": b"BM" + bytes(8),
        "short_header.bmp": p8[:14 + 20],
        "two.ico": ico([(32, 32, 16, 4, ico_image(32, 32, 4, 16)), (16, 16, 0, 8, ico_image(16, 16, 8, 256))]),
        "ico8.ico": ico([(16, 16, 0, 8, ico_image(16, 16, 8, 256))]),
        "ico1.ico": ico([(8, 8, 2, 1, ico_image(8, 8, 1, 2))]),
        "ico_png.ico": ico([(16, 16, 0, 32, pil["png_entry"])]),
        "ico_32.ico": ico([(2, 2, 0, 32, struct.pack("<IiiHHIIiiII", 40, 2, 4, 1, 32, 0, 16, 0, 0, 0, 0) + bytes(24))]),
        "ico_cursor.ico": ico([(16, 16, 0, 8, ico_image(16, 16, 8, 256))], kind=2),
        "ico_empty.ico": ico([]),
        "ico_truncated.ico": ico([(16, 16, 0, 8, ico_image(16, 16, 8, 256))])[:22 + 40 + 1024 + 16 * 3],
    }
    for name in ("pil_rgb.bmp", "pil_p.bmp", "pil_l.bmp", "pil_1.bmp"):
        files[name] = pil[name]
    for name, data in files.items():
        with open(os.path.join(made, name), "wb") as f:
            f.write(data)

def expected(kind, x, row, n):
    if kind == "rgb":
        return rgb(x, row)
    if kind == "gray":
        v = index(x, row, n)
        return (v, v, v)
    return pal(index(x, row, n))

def verify(root):
    from PIL import Image
    written = os.path.join(root, "written")
    with open(os.path.join(written, "manifest.txt")) as f:
        lines = [line.split() for line in f if line.strip()]
    if not lines:
        print("image_fixtures: the manifest lists nothing")
        return 1
    failed = 0
    for name, kind, w, h, n in lines:
        w, h, n = int(w), int(h), int(n)
        im = Image.open(os.path.join(written, name))
        im.load()
        if im.size != (w, h):
            print("%s: size %s, expected %dx%d" % (name, im.size, w, h))
            failed += 1
            continue
        im = im.convert("RGB")
        bad = [(x, r) for r in range(h) for x in range(w) if im.getpixel((x, r)) != expected(kind, x, r, n)]
        if bad:
            x, r = bad[0]
            print("%s: %d pixels differ, first at (%d, %d): %s, expected %s"
                  % (name, len(bad), x, r, im.getpixel((x, r)), expected(kind, x, r, n)))
            failed += 1
    print("image_fixtures: %d files checked, %d failed" % (len(lines), failed))
    return 1 if failed else 0

if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("make", "verify", "resource-icon"):
        print(__doc__)
        sys.exit(2)
    if sys.argv[1] == "make":
        make(sys.argv[2])
    elif sys.argv[1] == "resource-icon":
        with open(sys.argv[2], "wb") as f:
            f.write(resource_icon())
    else:
        sys.exit(verify(sys.argv[2]))
