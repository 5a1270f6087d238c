#!/usr/bin/env python3
"""GIF, JPEG, PNG and TIFF files for the codec tests, and host checks of the files the C++ test wrote.

make DIR     writes the files into DIR/made/ (our own GIF writer and LZW for the crafted cases,
             Pillow and the host's tools for files as other programs write them); wipes DIR/written/.
verify DIR   checks DIR/written/: every file of manifest.txt with Pillow against its pattern (as
             image_fixtures.py does), and the extra checks of checks.txt with a host LZW reader.

The patterns are those of image_fixtures.py.
"""
import os
import shutil
import struct
import subprocess
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import image_fixtures as fx  # noqa: E402  (the shared patterns and the Pillow check)

# ---- GIF ---------------------------------------------------------------------------------------

def lzw_codes(pixels, min_size, clear_every=None):
    """A plain LZW encoder: the codes and their widths, starting with a clear code."""
    clear, end = 1 << min_size, (1 << min_size) + 1
    out = []
    width = min_size + 1
    table = {(p,): p for p in range(clear)}
    nxt = clear + 2
    out.append((clear, width))
    prefix = ()
    for p in pixels:
        cand = prefix + (p,)
        if cand in table:
            prefix = cand
            continue
        out.append((table[prefix], width))
        if nxt < 4096:
            table[cand] = nxt
            nxt += 1
            if nxt > (1 << width) and width < 12:
                width += 1
        else:
            out.append((clear, width))
            table = {(q,): q for q in range(clear)}
            nxt = clear + 2
            width = min_size + 1
        prefix = (p,)
    if prefix:
        out.append((table[prefix], width))
    out.append((end, width))
    return out

def pack_codes(codes):
    acc = held = 0
    data = bytearray()
    for code, width in codes:
        acc |= code << held
        held += width
        while held >= 8:
            data.append(acc & 255)
            acc >>= 8
            held -= 8
    if held:
        data.append(acc & 255)
    return bytes(data)

def sub_blocks(data, size=255):
    out = bytearray()
    for i in range(0, len(data), size):
        chunk = data[i:i + size]
        out += bytes((len(chunk),)) + chunk
    return bytes(out) + b"\0"

def colour_table(entries, colours=None):
    colours = colours or [fx.pal(i) for i in range(entries)]
    return b"".join(bytes(c) for c in colours)

def table_bits(entries):
    return max(entries.bit_length() - 2, 0)

def gif_image(w, h, n, entries=None, interlaced=False, local=None, min_size=None, data=None, left=0):
    """Image descriptor, optional local table and the image data of the index pattern."""
    order = list(range(h))
    if interlaced:
        order = [r for start, step in ((0, 8), (4, 8), (2, 4), (1, 2)) for r in range(start, h, step)]
    pixels = [fx.index(x, r, n) for r in order for x in range(w)]
    flags = 0x40 if interlaced else 0
    out = b"\x2c" + struct.pack("<HHHH", left, 0, w, h)
    if local is not None:
        flags |= 0x80 | table_bits(len(local))
        out += bytes((flags,)) + b"".join(bytes(c) for c in local)
    else:
        out += bytes((flags,))
    size = min_size if min_size is not None else max((entries or n) - 1, 1).bit_length()
    size = max(size, 2) if min_size is None else size
    if data is None:
        data = pack_codes(lzw_codes(pixels, size))
    return out + bytes((size,)) + sub_blocks(data)

def gce(transparent=None, delay=0, size=4):
    flags = 1 if transparent is not None else 0
    return b"\x21\xf9" + bytes((size,)) + struct.pack("<BHB", flags, delay, transparent or 0) + b"\0"

def gif(w, h, entries, body, version=b"89a", colours=None):
    head = b"GIF" + version + struct.pack("<HHBBB", w, h, 0x80 | table_bits(entries), 0, 0)
    return head + colour_table(entries, colours) + body + b"\x3b"

def gif_files():
    w, h = 13, 10
    grey = [(i, i, i) for i in range(256)]
    no_white = [fx.pal(i) if fx.pal(i) != (255, 255, 255) else (1, 2, 3) for i in range(256)]
    self_naming = pack_codes([(256, 9), (65, 9), (259, 9)] + [(259, 9)] * 40 + [(257, 9)])
    return {
        "plain.gif": gif(w, h, 256, gif_image(w, h, 256)),
        "p16.gif": gif(w, h, 16, gif_image(w, h, 16), version=b"87a"),
        "gce.gif": gif(w, h, 16, gce(3, 10) + gif_image(w, h, 16)),
        "gce_noflag.gif": gif(w, h, 16, gce(None, 10) + gif_image(w, h, 16)),
        "t4.gif": gif(w, h, 4, gce(1) + gif_image(w, h, 4)),
        "t256.gif": gif(w, h, 256, gce(7) + gif_image(w, h, 256), colours=no_white),
        "interlaced10.gif": gif(w, 10, 256, gif_image(w, 10, 256, interlaced=True)),
        "interlaced4.gif": gif(w, 4, 256, gif_image(w, 4, 256, interlaced=True)),
        "two_images.gif": gif(w, h, 256, gif_image(w, h, 256) + gif_image(3, 3, 2)),
        "local.gif": gif(w, h, 256, gif_image(w, h, 256, local=[fx.pal(i) for i in range(256)]), colours=grey),
        "comment.gif": gif(w, h, 256, b"\x21\xfe" + sub_blocks(b"made here") + gif_image(w, h, 256)),
        "code_size1.gif": gif(w, h, 2, gif_image(w, h, 2, min_size=1, data=b"\x01\x02")),
        "code_size10.gif": gif(w, h, 256, gif_image(w, h, 256, min_size=10, data=b"\x01\x02")),
        "broken_gce.gif": gif(w, h, 16, gce(3, 10, size=5) + gif_image(w, h, 16)),
        "self_naming.gif": gif(64, 64, 256, gif_image(64, 64, 256, min_size=8, data=self_naming)),
        "no_image.gif": gif(w, h, 4, gce(1)),
        "overlong.gif": gif(4, 2, 256, gif_image(4, 6, 256)[:1] + struct.pack("<HHHHB", 0, 0, 4, 2, 0)
                            + gif_image(4, 6, 256)[10:]),
        "bomb.gif": gif(65535, 65535, 2, b"\x2c" + struct.pack("<HHHHB", 0, 0, 65535, 65535, 0)
                        + b"\x02" + sub_blocks(bytes(4000))),
        "zero.gif": gif(0, 0, 2, b"\x2c" + struct.pack("<HHHHB", 0, 0, 0, 5, 0) + b"\x02\x00"),
        "short.gif": b"GIF89a\x01\x00",
        "notgif.gif": b"GIF7" + bytes(20),
    }

def decode_gif(data):
    """Host LZW reader of the first image: its code size, codes with their widths, and pixels."""
    pos = 13
    if data[10] & 0x80:
        pos += 3 * (2 << (data[10] & 7))
    while data[pos] == 0x21:
        pos += 2
        while data[pos]:
            pos += data[pos] + 1
        pos += 1
    assert data[pos] == 0x2C, "no image descriptor"
    flags = data[pos + 9]
    pos += 10
    if flags & 0x80:
        pos += 3 * (2 << (flags & 7))
    size = data[pos]
    pos += 1
    stream = bytearray()
    while data[pos]:
        stream += data[pos + 1:pos + 1 + data[pos]]
        pos += data[pos] + 1
    clear, end = 1 << size, (1 << size) + 1
    codes, pixels, bit, width = [], bytearray(), 0, size + 1
    table, prev = None, None
    while bit + width <= len(stream) * 8:
        v = int.from_bytes(stream[bit // 8:bit // 8 + 3], "little") >> (bit % 8) & ((1 << width) - 1)
        bit += width
        codes.append((v, width))
        if v == clear:
            table = [bytes((i,)) for i in range(clear)] + [b"", b""]
            width, prev = size + 1, None
            continue
        if v == end:
            break
        if v < len(table):
            entry = table[v]
        elif v == len(table) and prev is not None:
            entry = prev + prev[:1]
        else:
            raise ValueError("code %d beyond the table at code %d" % (v, len(codes) - 1))
        pixels += entry
        if prev is not None and len(table) < 4096:
            table.append(prev + entry[:1])
        prev = entry
        if len(table) == (1 << width) and width < 12:
            width += 1
    return size, codes, bytes(pixels)

def check_clear_codes(path, further):
    """The data start with a clear code and end with the end code; a stream needing more than
    4096 entries has further clear codes, the code width back at its start after each (else
    the host decoder, which resets it, would decode other pixels than Pillow)."""
    from PIL import Image
    with open(path, "rb") as f:
        size, codes, pixels = decode_gif(f.read())
    clear = 1 << size
    clears = [i for i, (v, _) in enumerate(codes) if v == clear]
    problems = []
    if not clears or clears[0] != 0:
        problems.append("the first code is not the clear code")
    if further and len(clears) < 2:
        problems.append("no further clear code")
    if not codes or codes[-1][0] != clear + 1:
        problems.append("the data do not end with the end code")
    if pixels != Image.open(path).tobytes():
        problems.append("the host decoder and Pillow disagree")
    return problems, len(clears)

def check_noise_pixels(path):
    """Pillow's pixels of the 512 x 512 noise the test drew: an LCG, DIB rows from the bottom."""
    from PIL import Image
    im = Image.open(path)
    w, h = im.size
    got = im.tobytes()
    n, want = 46, bytearray(w * h)
    for y in range(h):
        for x in range(w):
            n = (n * 1664525 + 1013904223) & 0xFFFFFFFF
            want[(h - 1 - y) * w + x] = n >> 24
    bad = sum(1 for a, b in zip(got, want) if a != b)
    return (["%d pixels differ from the noise" % bad] if bad or len(got) != len(want) else []), bad

# ---- PNG ---------------------------------------------------------------------------------------

ADAM7 = ((0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2))
CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

def pack_row(samples, depth):
    if depth == 16:
        return b"".join(struct.pack(">H", v) for v in samples)
    if depth == 8:
        return bytes(samples)
    out, acc, held = bytearray(), 0, 0
    for v in samples:
        acc, held = acc << depth | v, held + depth
        if held == 8:
            out.append(acc)
            acc = held = 0
    if held:
        out.append(acc << (8 - held))
    return bytes(out)

def png(w, h, depth, colour_type, pixel, palette=None, trns=None, interlaced=False):
    """Our own small PNG writer: pixel(x, row) gives the samples of one pixel as a tuple."""
    head = struct.pack(">IIBBBBB", w, h, depth, colour_type, 0, 0, 1 if interlaced else 0)
    passes = ADAM7 if interlaced else ((0, 0, 1, 1),)
    raw = bytearray()
    for x0, y0, dx, dy in passes:
        xs = range(x0, w, dx)
        if not xs:
            continue
        for r in range(y0, h, dy):
            raw += b"\0" + pack_row([v for x in xs for v in pixel(x, r)], depth)
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head)
    if palette:
        out += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    if trns is not None:
        out += chunk(b"tRNS", trns)
    return out + chunk(b"IDAT", zlib.compress(bytes(raw))) + chunk(b"IEND", b"")

def png_files():
    w, h = 13, 10
    pals = lambda n: [fx.pal(i) for i in range(n)]
    idx = lambda n: (lambda x, r: (fx.index(x, r, n),))
    rgb = lambda x, r: fx.rgb(x, r)
    grey = lambda n, scale: (lambda x, r: (fx.index(x, r, n) * scale,))
    # Pixel (0, 0) fully transparent, the rest opaque.
    alpha = lambda x, r: 0 if (x, r) == (0, 0) else 255
    bomb_rows = zlib.compress(bytes(4000))
    bomb = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 100000, 100000, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", bomb_rows) + chunk(b"IEND", b""))
    plain = png(w, h, 8, 2, rgb)
    return {
        "rgb.png": plain,
        "rgb16.png": png(w, h, 16, 2, lambda x, r: tuple(v * 257 for v in fx.rgb(x, r))),
        "rgba.png": png(w, h, 8, 6, lambda x, r: fx.rgb(x, r) + (alpha(x, r),)),
        "rgb_adam7.png": png(w, h, 8, 2, rgb, interlaced=True),
        "p1.png": png(33, 5, 1, 3, idx(2), pals(2)),
        "p2.png": png(w, h, 2, 3, idx(4), pals(4)),
        "p4.png": png(w, h, 4, 3, idx(16), pals(16)),
        "p8.png": png(w, h, 8, 3, idx(256), pals(256)),
        "p8_adam7.png": png(w, h, 8, 3, idx(256), pals(256), interlaced=True),
        "p4_adam7.png": png(w, h, 4, 3, idx(16), pals(16), interlaced=True),
        "p4_trns.png": png(w, h, 4, 3, idx(16), pals(16), trns=bytes((255, 0))),
        "grey1.png": png(33, 5, 1, 0, grey(2, 1)),
        "grey4.png": png(w, h, 4, 0, grey(16, 1)),
        "grey8.png": png(w, h, 8, 0, grey(256, 1)),
        "grey16.png": png(w, h, 16, 0, grey(256, 257)),
        "grey_alpha.png": png(w, h, 8, 4, lambda x, r: (fx.index(x, r, 256), alpha(x, r))),
        "bomb.png": bomb,
        "cut.png": plain[:len(plain) // 2],
        "notpng.png": b"\x89PNX" + plain[5:],
    }

def check_pngcheck(path, entries):
    out = subprocess.run(["pngcheck", "-v", path], capture_output=True, text=True)
    problems = [] if out.returncode == 0 else ["pngcheck: " + out.stdout.strip().splitlines()[-1]]
    if "%d palette entries" % entries not in out.stdout:
        problems.append("not %d palette entries: %s" % (entries, out.stdout.strip()))
    return problems

# ---- JPEG --------------------------------------------------------------------------------------

JPEG_COLOUR = (200, 100, 30)
JPEG_GREY = 77

def pillow_jpeg(im, **options):
    import io
    buf = io.BytesIO()
    im.save(buf, "JPEG", **options)
    return buf.getvalue()

def jpeg_files():
    from PIL import Image
    gradient = Image.new("RGB", (128, 128))  # large enough that half the file is scan data
    gradient.putdata([fx.rgb(x, r) for r in range(128) for x in range(128)])
    baseline = pillow_jpeg(gradient, quality=90)
    progressive = pillow_jpeg(Image.new("RGB", (64, 48), JPEG_COLOUR), progressive=True)
    sof2 = progressive.index(b"\xff\xc2")
    bomb = progressive[:sof2 + 5] + struct.pack(">HH", 65500, 65500) + progressive[sof2 + 9:]
    return {
        "colour.jpg": pillow_jpeg(Image.new("RGB", (24, 16), JPEG_COLOUR), quality=95),
        "grey.jpg": pillow_jpeg(Image.new("L", (24, 16), JPEG_GREY), quality=95),
        "progressive.jpg": progressive,
        "cmyk.jpg": pillow_jpeg(Image.new("CMYK", (24, 16), (10, 20, 30, 40))),
        "gradient.jpg": baseline,
        "cut.jpg": baseline[:len(baseline) // 2],
        "empty.jpg": b"",
        "bomb.jpg": bomb,
    }

def quant_tables(data):
    """The DQT segments of a JPEG file, in order."""
    tables, pos = [], 2
    while pos + 4 <= len(data) and data[pos] == 0xFF:
        marker, length = data[pos + 1], struct.unpack(">H", data[pos + 2:pos + 4])[0]
        if marker == 0xDB:
            tables.append(data[pos + 4:pos + 2 + length])
        if marker == 0xDA:
            break
        pos += 2 + length
    return tables

def check_jpeg_tables(path, quality):
    """Our tables at a quality are cjpeg's at the same quality; djpeg reads our file."""
    import tempfile
    from PIL import Image
    problems = []
    with open(path, "rb") as f:
        ours = quant_tables(f.read())
    with tempfile.TemporaryDirectory() as work:
        ppm = os.path.join(work, "same.ppm")
        Image.open(path).convert("RGB").save(ppm)
        theirs = subprocess.run(["cjpeg", "-quality", str(quality), ppm], capture_output=True).stdout
        decoded = subprocess.run(["djpeg", path], capture_output=True)
    if not ours or ours != quant_tables(theirs):
        problems.append("quantisation tables differ from cjpeg -quality %d" % quality)
    if decoded.returncode != 0 or not decoded.stdout.startswith(b"P6"):
        problems.append("djpeg cannot read it: " + decoded.stderr.decode(errors="replace"))
    return problems

# ---- TIFF --------------------------------------------------------------------------------------

def tiff(w, h, bps, photometric, lines, spp=1, rps=None, colormap=None, extra=()):
    """Our own small TIFF writer (little-endian, uncompressed): lines are the packed picture rows."""
    rps = h if rps is None else rps
    step = max(rps, 1)
    strips = [b"".join(lines[r:r + step]) for r in range(0, max(h, 1), step)] if lines else [b""]
    data = bytearray(b"II*\0" + bytes(4))
    offsets = []
    for s in strips:
        offsets.append(len(data))
        data += s
    if len(data) % 2:
        data += b"\0"
    extra_data = {}
    def long_array(values):
        at = len(data)
        data.extend(struct.pack("<%dI" % len(values), *values))
        return at
    bps_value = bps
    if spp == 2:  # two shorts fit in the entry itself
        bps_value = bps | bps << 16
    elif spp > 2:
        bps_value = len(data)
        data.extend(struct.pack("<%dH" % spp, *([bps] * spp)))
    entries = [(256, 4, 1, w), (257, 4, 1, h), (258, 3, spp, bps_value), (259, 3, 1, 1), (262, 3, 1, photometric),
               (273, 4, len(offsets), offsets[0] if len(offsets) == 1 else long_array(offsets)),
               (277, 3, 1, spp), (278, 4, 1, rps),
               (279, 4, len(strips), len(strips[0]) if len(strips) == 1 else long_array([len(s) for s in strips]))]
    if colormap:
        at = len(data)
        data.extend(struct.pack("<%dH" % len(colormap), *colormap))
        entries.append((320, 3, len(colormap), at))
    entries += list(extra)
    entries.sort()
    ifd = len(data)
    data += struct.pack("<H", len(entries))
    for tag, kind, count, value in entries:
        packed = struct.pack("<HI", value, 0)[:4] if kind == 3 and count == 1 else struct.pack("<I", value)
        data += struct.pack("<HHI", tag, kind, count) + packed
    data += bytes(4)
    data[4:8] = struct.pack("<I", ifd)
    return bytes(data)

def packed_lines(w, h, bits, value):
    """Picture rows of value(x, row) packed at bits per sample, MSB first."""
    return [pack_row([value(x, r) for x in range(w)], bits) for r in range(h)]

def tiff_files(made):
    from PIL import Image
    w, h = 13, 10
    ramp16 = [v * 257 for i in range(3) for v in [c[i] for c in [fx.pal(k) for k in range(256)]]]
    ramp16[0] = 65535  # red of entry 0: the map is 16-bit, 65535 becomes 255
    eight = [(v * 257) & 0xFF for v in range(256)]
    small_map = [c[i] for i in range(3) for c in [fx.pal(k) for k in range(256)]]
    files = {
        "bilevel_white0.tif": tiff(33, 5, 1, 0, packed_lines(33, 5, 1, lambda x, r: fx.index(x, r, 2))),
        "bilevel_black0.tif": tiff(33, 5, 1, 1, packed_lines(33, 5, 1, lambda x, r: fx.index(x, r, 2))),
        "p8_map16.tif": tiff(w, h, 8, 3, packed_lines(w, h, 8, lambda x, r: fx.index(x, r, 256)), colormap=ramp16),
        "p8_map8.tif": tiff(w, h, 8, 3, packed_lines(w, h, 8, lambda x, r: fx.index(x, r, 256)), colormap=small_map),
        "p1_map.tif": tiff(33, 5, 1, 3, packed_lines(33, 5, 1, lambda x, r: fx.index(x, r, 2)),
                           colormap=[fx.pal(k)[i] * 257 for i in range(3) for k in range(2)]),
        "p4.tif": tiff(w, h, 4, 3, packed_lines(w, h, 4, lambda x, r: fx.index(x, r, 16)),
                       colormap=[fx.pal(k)[i] * 257 for i in range(3) for k in range(16)]),
        "grey8_rps3.tif": tiff(w, h, 8, 1, packed_lines(w, h, 8, lambda x, r: fx.index(x, r, 256)), rps=3),
        "grey8_rps0.tif": tiff(w, h, 8, 1, packed_lines(w, h, 8, lambda x, r: fx.index(x, r, 256)), rps=0),
        "grey16.tif": tiff(w, h, 16, 1, packed_lines(w, h, 16, lambda x, r: fx.index(x, r, 256) * 257)),
        "grey_alpha.tif": tiff(w, h, 8, 1, [bytes(v for x in range(w) for v in (fx.index(x, r, 256), 255))
                                            for r in range(h)], spp=2, extra=[(338, 3, 1, 2)]),
        "rgb4.tif": tiff(w, h, 4, 2, [pack_row([v >> 4 for x in range(w) for v in fx.rgb(x, r)], 4)
                                      for r in range(h)], spp=3),
        "rgb8.tif": tiff(w, h, 8, 2, [bytes(v for x in range(w) for v in fx.rgb(x, r)) for r in range(h)], spp=3),
        "bomb.tif": tiff(100000, 100000, 8, 2, [bytes(3000)], spp=3, rps=1),
        "bomb_grey.tif": tiff(100000, 100000, 8, 1, [bytes(3000)], rps=1),
        "empty.tif": b"",
        "nottiff.tif": b"MM\0\x2b" + bytes(20),
    }
    im = Image.new("P", (w, h))
    im.putpalette([c for i in range(256) for c in fx.pal(i)])
    im.putdata([fx.index(x, r, 256) for r in range(h) for x in range(w)])
    second = Image.new("RGB", (5, 5), (1, 2, 3))
    im.save(os.path.join(made, "two_pages.tif"), save_all=True, append_images=[second])
    im.save(os.path.join(made, "lzw.tif"), compression="tiff_lzw")
    rgb = Image.new("RGB", (32, 32), JPEG_COLOUR)
    rgb.save(os.path.join(made, "plain_rgb.tif"))
    subprocess.run(["tiffcp", "-c", "jpeg", "-r", "16", os.path.join(made, "plain_rgb.tif"),
                    os.path.join(made, "ycbcr.tif")], check=True, capture_output=True)
    return files

def check_tiffinfo(path):
    out = subprocess.run(["tiffinfo", path], capture_output=True, text=True).stdout
    wanted = ["Photometric Interpretation: RGB color", "Compression Scheme: PackBits", "Rows/Strip: 1",
              "Resolution: 72, 72 pixels/inch"]
    return ["tiffinfo lacks \"%s\": %s" % (w, out) for w in wanted if w not in out]

# ---- make and verify ---------------------------------------------------------------------------

def make(root):
    made = os.path.join(root, "made")
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(made)
    os.makedirs(os.path.join(root, "written"))
    files = {}
    files.update(gif_files())
    files.update(png_files())
    files.update(jpeg_files())
    files.update(tiff_files(made))
    for name, data in files.items():
        with open(os.path.join(made, name), "wb") as f:
            f.write(data)

def verify(root):
    written = os.path.join(root, "written")
    failed = fx.verify(root)
    checks = os.path.join(written, "checks.txt")
    lines = []
    if os.path.exists(checks):
        with open(checks) as f:
            lines = [line.split() for line in f if line.strip()]
    for check, name in lines:
        path = os.path.join(written, name)
        if check in ("gif-clear-codes", "gif-first-clear"):
            problems, count = check_clear_codes(path, check == "gif-clear-codes")
            print("%s: %d clear codes" % (name, count))
        elif check.startswith("pngcheck-palette-"):
            problems = check_pngcheck(path, int(check.rsplit("-", 1)[1]))
        elif check.startswith("jpeg-tables-"):
            problems = check_jpeg_tables(path, int(check.rsplit("-", 1)[1]))
        elif check == "tiffinfo-rgb-packbits":
            problems = check_tiffinfo(path)
        elif check == "gif-noise-pixels":
            problems, _ = check_noise_pixels(path)
        else:
            problems = ["unknown check " + check]
        for p in problems:
            print("%s: %s" % (name, p))
        failed = failed or bool(problems)
    print("codec_fixtures: %d extra checks" % len(lines))
    return 1 if failed else 0

if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("make", "verify"):
        print(__doc__)
        sys.exit(2)
    if sys.argv[1] == "make":
        make(sys.argv[2])
    else:
        sys.exit(verify(sys.argv[2]))
