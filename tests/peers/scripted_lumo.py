#!/usr/bin/python3
"""The accepting side of Lumo's application port, played from a script (standard library only).

Tests of the control library's link start it, connect to it and check what their side did; the
script checks what our side sent. Connection after connection, each begun by `accept`.

    scripted_lumo.py DIR SCRIPT      listens on 127.0.0.1 (port written to DIR/port), runs SCRIPT

Directives, one a line ('#' comments; arguments split like a shell; {name} is replaced by what an
earlier expect captured, {len}/{crc} by the payload's length and CRC-32 in `data` lines, and
{pw:TEXT} by TEXT encrypted as the password cipher's letter pairs):

    accept [enc=1] [cmp=0] [push=1] [handshake=1]   the next connection, acceptor handshake with
                                                    the clock push (TTSYNC) unless push=0
    starts [VERSION]          Lumo's greeting "STARTS 0 -1 VERSION" (no field without VERSION)
    expect REGEX              the next line (escapes intact) must match REGEX entirely; named
                              groups are kept: (?P<id>\\d+) makes {id}
    line TEXT                 TEXT (Python escapes such as \\x0c allowed) sent as one line
    push WORD FIELD...        "WORD -1 -1 FIELD..." with the fields escaped: Lumo on its own
    answer WORD FIELD...      "WORD {id} -1 FIELD..." with the fields escaped: the answer to the
                              request whose id the last expect captured
    data WORD ID SOURCE [FIELD...] [pieces=N] [crc=bad] [then=TEXT]
                              "WORD ID {len} FIELD..." and the payload right after its CR, the
                              fields escaped after substitution; pieces=N sends the payload in
                              N-byte sends (the line goes with the first); then=TEXT appends a
                              further line to the last send; crc=bad makes {crc} wrong
    clock [OFFSET]            the clock push TTSYNC again (local minus UTC OFFSET seconds)
    payload LEN [crc=CRC] [hex=HEX]
                              the LEN bytes that follow the line just expected; their CRC-32
                              must be CRC, the bytes HEX; {paycrc} is their CRC-32 afterwards
    silence SECONDS           nothing may arrive meanwhile
    sleep SECONDS
    pass WORD...              later expects pass over lines of these words (status lines such as
                              INTHBT that come at their own pace); "pass" alone ends that
    mark NAME                 writes the file DIR/NAME (the test may act from here on)
    waitfile NAME [SECONDS]   waits (at most the time-out) until the test has written DIR/NAME
    waitclose [SECONDS]       reads (answering heartbeats) until our side closes
    close                     closes this connection
    timeout SECONDS           for later expects (default 10)

Payload sources: hex:0A0B..  text:UTF-8 TEXT  gen:N (N bytes of a fixed pattern)  file:PATH (a file's bytes)
calls:N[,count=C][,cut=K]  an archive of N call records (count field C, only the first K bytes)

The exit code is 0 when the script ran to its end; the reason of a failure goes to stderr.
"""

import codecs
import os
import re
import shlex
import struct
import sys
import time
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lumopeer as lp  # noqa: E402
import rc2  # noqa: E402


def pattern_bytes(n):
    """Byte i is (i * 31 + 7) mod 256, a pattern that repeats every 256 bytes."""
    period = bytes((i * 31 + 7) & 255 for i in range(256))
    return (period * (n // 256 + 1))[:n]


# ---------------------------------------------------------------------------------------------
# Call records as the framework's archive writes them: little-endian numbers, wide strings tagged
# FF FE FF and their length, dates as a 32-bit status and an 8-byte OLE date.


def archive_string(text):
    chars = text.encode("utf-16-le")
    n = len(chars) // 2
    head = b"\xff\xfe\xff"
    if n < 0xFF:
        head += struct.pack("<B", n)
    elif n < 0xFFFE:
        head += b"\xff" + struct.pack("<H", n)
    else:
        head += b"\xff\xff\xff" + struct.pack("<I", n)
    return head + chars


def archive_date(value, status=0):
    return struct.pack("<id", status, value)


def call_record(i):
    """Record i of a generated history; the C++ tests expect exactly these values."""
    return (struct.pack("<i", 1000 + i) + archive_string("+41 44 %03d" % i) + struct.pack("<i", 70 + i)
            + archive_date(45000.5 + i) + struct.pack("<iii", 60 * i, -120, i) + struct.pack("<hh", 10 + i, -i)
            + struct.pack("<i", 3 * i) + (archive_date(0.0, 2) if i % 2 else archive_date(45100.25 + i)))


def call_history(n, count=None):
    return struct.pack("<i", n if count is None else count) + b"".join(call_record(i) for i in range(n))


def payload_from(source):
    kind, _, rest = source.partition(":")
    if kind == "hex":
        return bytes.fromhex(rest)
    if kind == "text":
        return rest.encode("utf-8")
    if kind == "gen":
        return pattern_bytes(int(rest))
    if kind == "file":
        with open(rest, "rb") as f:
            return f.read()
    if kind == "calls":
        parts = rest.split(",")
        opts = dict(p.split("=", 1) for p in parts[1:])
        data = call_history(int(parts[0]), int(opts["count"]) if "count" in opts else None)
        return data[:int(opts["cut"])] if "cut" in opts else data
    raise lp.ProtocolError("unknown payload source %r" % source)


# ---------------------------------------------------------------------------------------------


class ScriptedLumo:
    def __init__(self, listener, folder="."):
        self.listener = listener
        self.folder = folder
        self.passed = set()
        self.link = None
        self.vars = {}
        self.timeout = 10.0

    def subst(self, text, extra=None):
        values = dict(self.vars, **(extra or {}))
        text = re.sub(r"\{pw:([^}]*)\}", lambda m: rc2.encrypt_password(m.group(1)), text)
        return re.sub(r"\{(\w+)\}", lambda m: str(values.get(m.group(1), m.group(0))), text)

    def need_link(self):
        if self.link is None:
            raise lp.ProtocolError("no connection: accept first")
        return self.link

    def run_line(self, verb, rest):
        if verb == "expect":
            m = self.expect(self.subst(rest))
            self.vars.update({k: v for k, v in m.groupdict().items() if v is not None})
            return
        if verb == "line":
            self.need_link().send_line(codecs.decode(self.subst(rest), "unicode_escape"))
            return
        args = shlex.split(rest)
        if verb == "accept":
            if self.link is not None:
                self.link.close()
            opt = dict(a.split("=", 1) for a in args)
            self.link = self.listener.accept(self.timeout, auto_answer=True)
            if opt.get("handshake", "1") != "0":
                self.link.handshake_as_acceptor(opt.get("enc", "1"), opt.get("cmp", "0"),
                                                push_clock=opt.get("push", "1") != "0", timeout=self.timeout)
        elif verb == "starts":
            self.need_link().send_line(" ".join(["STARTS 0 -1"] + [lp.escape_field(a) for a in args]))
        elif verb == "push":
            self.need_link().send_line(" ".join([args[0], "-1", "-1"] + [lp.escape_field(self.subst(a)) for a in args[1:]]))
        elif verb == "answer":
            if "id" not in self.vars:
                raise lp.ProtocolError("answer: no request id captured")
            self.need_link().send_line(" ".join([args[0], str(self.vars["id"]), "-1"]
                                                + [lp.escape_field(self.subst(a)) for a in args[1:]]))
        elif verb == "data":
            self.send_data(args)
        elif verb == "clock":
            self.need_link().send_fields("TTSYNC", lp.sync_clock_text(offset_seconds=int(args[0]) if args else 0))
        elif verb == "payload":
            self.read_payload(args)
        elif verb == "silence":
            self.need_link().expect_silence(float(args[0]))
        elif verb == "sleep":
            time.sleep(float(args[0]))
        elif verb == "waitclose":
            self.wait_close(float(args[0]) if args else 60.0)
        elif verb == "close":
            self.need_link().close()
            self.link = None
        elif verb == "timeout":
            self.timeout = float(args[0])
        elif verb == "pass":
            self.passed = set(args)
        elif verb == "mark":
            write_file(self.folder, args[0], "\n")
        elif verb == "waitfile":
            path = os.path.join(self.folder, args[0])
            limit = float(args[1]) if len(args) > 1 else self.timeout
            deadline = time.monotonic() + limit
            while not os.path.exists(path):
                if time.monotonic() > deadline:
                    raise lp.ProtocolError("the test did not write %s within %g s" % (args[0], limit))
                time.sleep(0.02)
        else:
            raise lp.ProtocolError("unknown directive %r" % verb)

    def expect(self, pattern):
        """The next line that is not of a passed-over word must match the pattern."""
        deadline = time.monotonic() + self.timeout
        while True:
            line = self.need_link().read_line(max(0.01, deadline - time.monotonic()))
            if line.split(" ", 1)[0] in self.passed:
                continue
            m = re.fullmatch(pattern, line, re.S)
            if not m:
                raise lp.ProtocolError("expected a line matching %r, got %r" % (pattern, line))
            return m

    def send_data(self, args):
        link = self.need_link()
        opts = {}
        while args and re.fullmatch(r"(pieces|crc|then)=.*", args[-1], re.S):
            key, _, value = args.pop().partition("=")
            opts[key] = value
        word, ident, source, fields = args[0], self.subst(args[1]), args[2], args[3:]
        data = payload_from(source)
        crc = zlib.crc32(data) & 0xFFFFFFFF
        if opts.get("crc") == "bad":
            crc = (crc + 1) & 0xFFFFFFFF
        extra = {"len": len(data), "crc": crc}
        text = " ".join([word, ident, str(len(data))] + [lp.escape_field(self.subst(f, extra)) for f in fields])
        stream = link.encode(text + "\r")
        head = len(stream)
        stream += data
        if "then" in opts:
            stream += link.encode(codecs.decode(self.subst(opts["then"]), "unicode_escape") + "\r")
        piece = int(opts.get("pieces", "0"))
        if piece <= 0:
            link.send_raw(stream)
            return
        # The line with the first piece, then piece after piece; the further line goes with the last.
        cuts = list(range(head + piece, head + len(data), piece))
        bounds = [0] + cuts + [len(stream)]
        for a, b in zip(bounds, bounds[1:]):
            link.send_raw(stream[a:b])

    def read_payload(self, args):
        opts = dict(a.split("=", 1) for a in args[1:])
        data = self.need_link().read_payload(int(self.subst(args[0])), self.timeout)
        crc = zlib.crc32(data) & 0xFFFFFFFF
        if "crc" in opts and crc != int(self.subst(opts["crc"])):
            raise lp.ProtocolError("payload of %d bytes has CRC-32 %d, not %s" % (len(data), crc, opts["crc"]))
        if "hex" in opts and data != bytes.fromhex(opts["hex"]):
            raise lp.ProtocolError("payload %s, not %s" % (data.hex(), opts["hex"]))
        self.vars["paycrc"] = crc

    def wait_close(self, seconds):
        link = self.need_link()
        deadline = time.monotonic() + seconds
        try:
            while True:
                line = link.read_line(max(0.0, deadline - time.monotonic()))
                print("scripted_lumo: after the script: %r" % line, file=sys.stderr)
        except lp.PeerClosed:
            link.close()
            self.link = None


def write_file(folder, name, text):
    path = os.path.join(folder, name)
    with open(path + ".tmp", "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(path + ".tmp", path)  # the test polls for the name: it must appear complete


def main(argv):
    folder, script_path = argv[1], argv[2]
    with open(script_path, encoding="utf-8") as f:
        script = f.read()
    with lp.Listener() as listener:
        write_file(folder, "port", "%d\n" % listener.port)
        lumo = ScriptedLumo(listener, folder)
        for number, raw in enumerate(script.splitlines(), 1):
            stripped = raw.strip()
            if not stripped or stripped.startswith("#"):
                continue
            verb, _, rest = stripped.partition(" ")
            try:
                lumo.run_line(verb, rest.strip())
            except (lp.PeerError, OSError, ValueError, KeyError, IndexError) as e:
                print("scripted_lumo: script line %d (%s): %s" % (number, stripped, e), file=sys.stderr)
                return 1
        if lumo.link is not None:
            lumo.link.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
