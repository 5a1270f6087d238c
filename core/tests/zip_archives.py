#!/usr/bin/env python3
"""Archives for the zip tests, made and checked by Python's own zipfile module.

make DIR     writes reference archives into DIR/made/ and, for every entry, its expected bytes
             under DIR/made/<archive>.d/<entry name>; wipes DIR/written/ for the C++ test.
verify DIR   opens every archive the C++ test listed in DIR/written/manifest.txt with zipfile,
             checks names, sizes, methods, flags and CRC-32 (zipfile recomputes it on read).
"""
import io
import os
import random
import shutil
import struct
import sys
import zipfile
import zlib


def log_text(n_lines, seed):
    rnd = random.Random(seed)
    words = ["agent", "call", "queue", "ready", "pause", "wrap-up", "login", "logout", "transfer"]
    lines = []
    for i in range(n_lines):
        lines.append("%05d 2026-12-10 08:%02d:%02d %s %s id=%d\r\n"
                     % (i, (i // 60) % 60, i % 60, rnd.choice(words), rnd.choice(words), rnd.randrange(100000)))
    return "".join(lines).encode("ascii")


def random_bytes(n, seed):
    rnd = random.Random(seed)
    return bytes(rnd.getrandbits(8) for _ in range(n))


def ut_extra(mtime, atime, ctime):
    # "UT": flags 7, then modification, access and creation time as Unix seconds
    return struct.pack("<HHBiii", 0x5455, 13, 7, mtime, atime, ctime)


def build(entries, compression=zipfile.ZIP_DEFLATED):
    """entries: list of (ZipInfo or name, bytes or None for a folder)."""
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", compression=compression) as z:
        for info, data in entries:
            if isinstance(info, str):
                info = zipfile.ZipInfo(info, date_time=(2026, 12, 10, 9, 30, 4))
                info.external_attr = 0o644 << 16
                info.compress_type = compression
            if data is None:
                z.writestr(info, b"")
            else:
                z.writestr(info, data)
    return buf.getvalue()


def make(root):
    made = os.path.join(root, "made")
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(made)
    os.makedirs(os.path.join(root, "written"))
    text = log_text(3000, 1)
    binary = random_bytes(70000, 2)

    archives = {}
    archives["stored.zip"] = (build([("data", text), ("small.bin", binary[:1000])], zipfile.ZIP_STORED), None)
    deflated = [("data", text), ("random.bin", binary), ("empty.txt", b"")]
    archives["deflated.zip"] = (build(deflated), None)
    # A program or other junk in front: offsets inside stay relative to the archive proper
    archives["prefixed.zip"] = (b"MZ" + random_bytes(5000, 3) + build(deflated), None)

    folder = zipfile.ZipInfo("sub/", date_time=(2026, 12, 10, 9, 30, 4))
    folder.external_attr = (0o40755 << 16) | 0x10
    inner = zipfile.ZipInfo("sub/dir/", date_time=(2026, 12, 10, 9, 30, 4))
    inner.external_attr = (0o40755 << 16) | 0x10
    archives["folders.zip"] = (build([(folder, None), (inner, None), ("sub/dir/file.txt", b"inside\r\n"),
                                      ("top.txt", b"top\r\n")]), None)

    timed = zipfile.ZipInfo("timed.txt", date_time=(2001, 2, 3, 4, 5, 6))
    timed.external_attr = (0o644 << 16) | 0x20
    # 2020-01-02 03:04:05, 2021-06-07 08:09:10, 2019-11-12 13:14:15 UTC
    timed.extra = ut_extra(1577934245, 1623053350, 1573564455)
    timed.compress_type = zipfile.ZIP_DEFLATED
    plain = zipfile.ZipInfo("plain.txt", date_time=(2001, 2, 3, 4, 5, 6))
    plain.external_attr = 0  # as systems that leave the upper bits empty write it
    plain.compress_type = zipfile.ZIP_DEFLATED
    hidden = zipfile.ZipInfo("hidden.txt", date_time=(2001, 2, 3, 4, 5, 6))
    hidden.external_attr = (0o644 << 16) | 0x02 | 0x04
    hidden.compress_type = zipfile.ZIP_STORED
    times = bytearray(build([(timed, b"timed\r\n"), (plain, b"plain\r\n"), (hidden, b"hidden\r\n")]))
    # zipfile gives every entry without attributes 0o600; clear them again in the central header
    central = times.find(b"PK\x01\x02")
    while central >= 0:
        name_len = struct.unpack_from("<H", times, central + 28)[0]
        if times[central + 46:central + 46 + name_len] == b"plain.txt":
            struct.pack_into("<I", times, central + 38, 0)
        central = times.find(b"PK\x01\x02", central + 4)
    archives["times.zip"] = (bytes(times), None)

    # Folder entries that would climb out of the folder they are extracted under
    escape = zipfile.ZipInfo("../escape/", date_time=(2026, 12, 10, 9, 30, 4))
    escape.external_attr = (0o40755 << 16) | 0x10
    absolute = zipfile.ZipInfo("/absolute/", date_time=(2026, 12, 10, 9, 30, 4))
    absolute.external_attr = (0o40755 << 16) | 0x10
    nested = zipfile.ZipInfo("ok/../../nested/", date_time=(2026, 12, 10, 9, 30, 4))
    nested.external_attr = (0o40755 << 16) | 0x10
    archives["hostile.zip"] = (build([(escape, None), (absolute, None), (nested, None)]), None)

    for name, (data, _) in archives.items():
        with open(os.path.join(made, name), "wb") as f:
            f.write(data)
        with zipfile.ZipFile(io.BytesIO(data)) as z:
            for info in z.infolist():
                if info.is_dir():
                    continue
                target = os.path.join(made, name + ".d", info.filename)
                os.makedirs(os.path.dirname(target), exist_ok=True)
                with open(target, "wb") as f:
                    f.write(z.read(info))
    return 0


def verify(root):
    written = os.path.join(root, "written")
    manifest = os.path.join(written, "manifest.txt")
    failures = []
    checked = 0
    with open(manifest, encoding="ascii") as f:
        rows = [line.rstrip("\r\n").split("|") for line in f if line.strip()]
    by_archive = {}
    for archive, name, size, crc, method, flags in rows:
        by_archive.setdefault(archive, []).append((name, int(size), int(crc, 16), int(method), int(flags, 16)))
    for archive, expected in sorted(by_archive.items()):
        path = os.path.join(written, archive)
        try:
            with zipfile.ZipFile(path) as z:
                names = [i.filename for i in z.infolist()]
                if names != [e[0] for e in expected]:
                    failures.append("%s: entries %r, expected %r" % (archive, names, [e[0] for e in expected]))
                    continue
                bad = z.testzip()
                if bad is not None:
                    failures.append("%s: CRC of %s does not match" % (archive, bad))
                for info, (name, size, crc, method, flags) in zip(z.infolist(), expected):
                    data = z.read(info)
                    got = (len(data), zlib.crc32(data), info.CRC, info.compress_type, info.flag_bits)
                    want = (size, crc, crc, method, flags)
                    if got != want:
                        failures.append("%s/%s: (size, crc of data, stored crc, method, flags) %r, expected %r"
                                        % (archive, name, got, want))
                    checked += 1
        except (zipfile.BadZipFile, OSError, zlib.error) as e:
            failures.append("%s: %s" % (archive, e))
    for line in failures:
        print("FAIL", line)
    print("%d entries in %d archives checked" % (checked, len(by_archive)))
    if checked == 0:
        print("FAIL nothing to check")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("make", "verify"):
        print(__doc__)
        sys.exit(2)
    sys.exit(make(sys.argv[2]) if sys.argv[1] == "make" else verify(sys.argv[2]))
