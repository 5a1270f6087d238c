#!/usr/bin/python3
"""An independent peer for the Lumo line protocol, written for tests (standard library only).

It speaks the wire format of every Lumo link: CR-terminated lines in UTF-16LE or ANSI, a command
word and blank-separated escaped fields, binary payloads right after a line, an optional zlib layer
(one deflate stream per direction, sync-flushed per send) inside an optional RC4 layer (one key
stream per direction, keyed with the MD5 digest of the shared pass phrase), and the CNPROP
handshake in both roles. It is the other end for protocol tests of our C++ links.

Wire order, innermost first: text/payload bytes -> deflate (when on) -> RC4 (when on) -> socket.

API (all timeouts in seconds; failures raise PeerTimeout, PeerClosed or ProtocolError):

    with Listener() as lst:                     # 127.0.0.1, port chosen by the system: lst.port
        link = lst.accept(timeout=10)           # -> PeerLink
    link = PeerLink.connect("127.0.0.1", port)  # or PeerLink.accept("127.0.0.1", port)

    PeerLink(sock, wide=True, detect=True, ansi_codec="cp1252", auto_answer=False, trace_writes=False)
      .handshake_as_acceptor(enc=1, cmp=0, account=None, clock=None, push_clock=True,
                             sync_clock=None, answer=True, reply_fields=None)   -> Handshake
      .handshake_as_connector(account=None, clock=None, expect_push=True)       -> Handshake
      .set_layers(enc, cmp)                     # switch the layers by hand (both start off)
      .send_line(text, bytewise=False, split_cr=False, pause=0.01)   # adds the CR
      .send_lines([text, ...], **send_raw options)                   # all in one send
      .send_fields(word, *fields, **same options)                    # escapes every field
      .send_payload(word, fields, data)         # the line, then the bytes, as two sends
      .send_raw(bytes, cuts=(), bytewise=False, pause=0.01)          # plain bytes through the layers
      .read_line(timeout) -> str                # raw line text, escapes intact, without the CR
      .expect_line(regex, timeout) -> re.Match  # the next line must match the whole regex
      .expect(word, count=None, timeout) -> [fields]    # next line's word; fields unescaped
      .read_payload(n, timeout) -> bytes        # n bytes that follow the line just read
      .expect_silence(seconds) / .expect_closed(timeout) / .rearm_detection() / .close()

Misbehaviours: handshake_as_acceptor(answer=False) never answers CNPROP; reply_fields=["x"]
answers "CNPROP x" (too few fields) and switches nothing; bytewise=True writes one plain byte per
send (each through the layers); split_cr=True cuts a UTF-16LE line end between its 0x0D and 0x00.
A peer that never calls a handshake method talks plain text, as an old client would.

enc and cmp of the acceptor may be texts ("yes" switches on like 1). Our clock texts carry the
zone of the attributes clock_bias_minutes (UTC minus local) and sync_offset_seconds (local minus
UTC), both 0 unless set.

Encoding: `wide` is used for sending; with `detect` the first two bytes received decide it once
(second byte 0: UTF-16LE), as our links do. `trace_writes` keeps every socket write in `.writes`.

Clock texts and helpers: link_clock_text, sync_clock_text, heartbeat_stamp, link_bias_minutes,
LINK_CLOCK_RE, SYNC_CLOCK_RE, STAMP_RE; escape_field, unescape_field, split_params, split_line;
RC4, link_key, known_keystream (the RC4 key stream our CryptoAPI-derived keys must produce).

Command line:
    lumopeer.py serve   --port N [--host H] [--port-file F] --script FILE   (accepts one link)
    lumopeer.py connect --port N [--host H] --script FILE
    lumopeer.py keystream [--bytes N]        (hex of the known-answer key stream)
Script directives (one a line, '#' comments, fields split like a shell, '' is an empty field):
    handshake [enc=1] [cmp=0] [account=TEXT] [push=1]   the role's handshake
    encoding wide|ansi        timeout SECONDS        sleep SECONDS        silence SECONDS
    expect REGEX              the next line (escapes intact) must match REGEX entirely
    send WORD FIELD...        fields are escaped
    sendraw TEXT              TEXT with Python escapes (\\x0c ...) sent as one line
    payload FILE WORD FIELD...    line then the file's bytes; "{size}" in a field is its length
    readpayload N [FILE]      N payload bytes after the last line, saved to FILE when given
    echo N                    sends the next N lines back unchanged
    close
Heartbeat and clock requests are answered automatically while a script runs.
"""

import argparse
import codecs
import datetime
import hashlib
import re
import select
import shlex
import socket
import sys
import time
import zlib
from dataclasses import dataclass, field

PASS_PHRASE = b"3teXOnikawubroPle-_h9D+muS6lepiz"

ESC_BLANK, ESC_CR, ESC_EMPTY = "\x0c", "\x07", "\x08"

LINK_CLOCK_RE = r"\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}[+-]\d{2}:\d{2}"
SYNC_CLOCK_RE = r"\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}[+-]\d{5}"
STAMP_RE = r"\d{20}"

_FILETIME_UNIX_EPOCH = 116444736000000000  # 100 ns intervals from 1601 to 1970


class PeerError(Exception):
    pass


class PeerTimeout(PeerError):
    pass


class PeerClosed(PeerError):
    pass


class ProtocolError(PeerError):
    pass


# ---------------------------------------------------------------------------------------------
# RC4 and the link key


class RC4:
    """One RC4 key stream; successive calls continue it, as the links' streams never restart."""

    def __init__(self, key):
        s = list(range(256))
        j = 0
        for i in range(256):
            j = (j + s[i] + key[i % len(key)]) & 255
            s[i], s[j] = s[j], s[i]
        self._s, self._i, self._j = s, 0, 0

    def keystream(self, n):
        s, i, j = self._s, self._i, self._j
        out = bytearray(n)
        for k in range(n):
            i = (i + 1) & 255
            si = s[i]
            j = (j + si) & 255
            sj = s[j]
            s[i] = sj
            s[j] = si
            out[k] = s[(si + sj) & 255]
        self._i, self._j = i, j
        return bytes(out)

    def process(self, data):
        if not data:
            return b""
        ks = self.keystream(len(data))
        return (int.from_bytes(data, "little") ^ int.from_bytes(ks, "little")).to_bytes(len(data), "little")


def link_key(pass_phrase=PASS_PHRASE):
    # CryptDeriveKey(CALG_RC4, 128 bits) over an MD5 hash takes the 16 digest bytes as they are.
    return hashlib.md5(pass_phrase).digest()


def known_keystream(n=4096, pass_phrase=PASS_PHRASE):
    """The first n bytes of the key stream both directions of every link start with."""
    return RC4(link_key(pass_phrase)).keystream(n)


# ---------------------------------------------------------------------------------------------
# Lines and fields


def escape_field(text):
    text = str(text)
    if text == "":
        return ESC_EMPTY
    return text.replace(" ", ESC_BLANK).replace("\r", ESC_CR)


def unescape_field(text):
    text = text.replace(ESC_BLANK, " ").replace(ESC_CR, "\r")
    return "" if text == ESC_EMPTY else text


def split_line(line):
    """(word, parameter text): a line without a blank, or starting with one, is all word."""
    pos = line.find(" ")
    if pos <= 0:
        return line, ""
    return line[:pos], line[pos + 1:]


def split_params(params):
    """Raw fields: every blank ends a field; the text after the last blank counts only when not empty."""
    if params == "":
        return []
    parts = params.split(" ")
    if parts[-1] == "":
        parts.pop()
    return parts


def join_fields(word, fields):
    return " ".join([word] + [escape_field(f) for f in fields])


# ---------------------------------------------------------------------------------------------
# Clock texts


def _utc_now():
    return datetime.datetime.now(datetime.timezone.utc).replace(tzinfo=None)


def link_clock_text(utc=None, bias_minutes=0):
    """CNPROP/CURTIM clock: UTC time, then the bias (UTC minus local) as +hh:mm.

    The sign comes from the bias itself, so a bias of -30 reads -00:30 (a "%+03ld" of the
    truncated hours alone would write +00:30 and turn the bias round)."""
    utc = utc or _utc_now()
    sign = "-" if bias_minutes < 0 else "+"
    return "%04d-%02d-%02dT%02d:%02d:%02d%s%02d:%02d" % (
        utc.year, utc.month, utc.day, utc.hour, utc.minute, utc.second,
        sign, abs(bias_minutes) // 60, abs(bias_minutes) % 60)


def link_bias_minutes(text):
    """The bias a link clock text carries (characters 19-21 hours with sign, 23-24 minutes)."""
    hours, minutes = int(text[20:22]), int(text[23:25])
    total = hours * 60 + minutes
    return -total if text[19] == "-" else total


def sync_clock_text(utc=None, offset_seconds=0):
    """TTSYNC clock: UTC time, then local minus UTC in seconds as a sign and five digits."""
    utc = utc or _utc_now()
    return "%04d-%02d-%02dT%02d:%02d:%02d%+06d" % (
        utc.year, utc.month, utc.day, utc.hour, utc.minute, utc.second, offset_seconds)


def filetime_now():
    return time.time_ns() // 100 + _FILETIME_UNIX_EPOCH


def heartbeat_stamp(filetime=None):
    ft = filetime_now() if filetime is None else filetime
    return "%010u%010u" % (ft >> 32, ft & 0xFFFFFFFF)


# ---------------------------------------------------------------------------------------------
# The link


@dataclass
class Handshake:
    enc: bool = False
    cmp: bool = False
    peer_clock: str = ""
    peer_account: str = ""
    sync_text: str = ""                          # the TTSYNC clock pushed or received, if any
    lines: list = field(default_factory=list)    # every line received during the handshake


class PeerLink:
    def __init__(self, sock, *, wide=True, detect=True, ansi_codec="cp1252", auto_answer=False,
                 trace_writes=False, pass_phrase=PASS_PHRASE):
        self.sock = sock
        # Blocking, with reads bounded by select: one thread may read while another sends.
        self.sock.settimeout(None)
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.wide = wide
        self.detect = detect
        self.detected = False
        self.ansi_codec = ansi_codec
        self.auto_answer = auto_answer
        self.writes = [] if trace_writes else None
        # Both streams start from the same key, one per direction, fresh for each connection.
        key = link_key(pass_phrase)
        self._send_rc4, self._recv_rc4 = RC4(key), RC4(key)
        self._deflater = zlib.compressobj(-1)
        self._inflater = zlib.decompressobj()
        self.enc = False
        self.cmp = False
        self._buf = bytearray()
        self.clock_bias_minutes = 0              # what our clock texts claim about our zone
        self.sync_offset_seconds = 0

    # -- connection ---------------------------------------------------------------------------

    @classmethod
    def connect(cls, host, port, timeout=10, **kw):
        return cls(socket.create_connection((host, port), timeout=timeout), **kw)

    @classmethod
    def accept(cls, host, port, timeout=10, **kw):
        with Listener(host, port) as lst:
            return lst.accept(timeout, **kw)

    def close(self):
        try:
            self.sock.close()
        except OSError:
            pass

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def set_layers(self, enc, cmp):
        self.enc, self.cmp = bool(enc), bool(cmp)

    def rearm_detection(self):
        self.detected = False

    # -- sending ------------------------------------------------------------------------------

    def encode(self, text):
        return text.encode("utf-16-le", "surrogatepass") if self.wide else text.encode(self.ansi_codec)

    def _to_wire(self, plain):
        if self.cmp:
            plain = self._deflater.compress(plain) + self._deflater.flush(zlib.Z_SYNC_FLUSH)
        if self.enc:
            plain = self._send_rc4.process(plain)
        return plain

    def send_raw(self, data, *, cuts=(), bytewise=False, pause=0.01):
        """Sends plain bytes; each piece between cuts (or each byte) is its own send through the layers."""
        data = bytes(data)
        if bytewise:
            cuts = range(1, len(data))
        bounds = [0] + sorted(c for c in set(cuts) if 0 < c < len(data)) + [len(data)]
        for n, (a, b) in enumerate(zip(bounds, bounds[1:])):
            if n:
                time.sleep(pause)                # so that the other end sees separate reads
            wire = self._to_wire(data[a:b])
            if self.writes is not None:
                self.writes.append(wire)
            self.sock.sendall(wire)

    def send_line(self, text, *, bytewise=False, split_cr=False, pause=0.01):
        data = self.encode(text + "\r")
        cuts = ()
        if split_cr:
            if not self.wide:
                raise ValueError("an ANSI line end is one byte; there is no pair to split")
            cuts = (len(data) - 1,)
        self.send_raw(data, cuts=cuts, bytewise=bytewise, pause=pause)

    def send_lines(self, lines, **options):
        """Several lines in one send, so that they arrive in one read."""
        self.send_raw(b"".join(self.encode(t + "\r") for t in lines), **options)

    def send_fields(self, word, *fields, **options):
        self.send_line(join_fields(word, fields), **options)

    def send_payload(self, word, fields, data, **options):
        self.send_fields(word, *fields, **options)
        self.send_raw(data)

    # -- receiving ----------------------------------------------------------------------------

    def _fill(self, deadline):
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            raise PeerTimeout("nothing (more) arrived in time; buffered: %r" % bytes(self._buf[:80]))
        if not select.select([self.sock], [], [], remaining)[0]:
            raise PeerTimeout("nothing (more) arrived in time; buffered: %r" % bytes(self._buf[:80]))
        try:
            data = self.sock.recv(1 << 16)
        except ConnectionError as e:
            raise PeerClosed("connection broken: %s" % e) from None
        if not data:
            raise PeerClosed("the other end closed; buffered: %r" % bytes(self._buf[:80]))
        if self.enc:
            data = self._recv_rc4.process(data)
        if self.cmp:
            try:
                data = self._inflater.decompress(data)
            except zlib.error as e:
                raise ProtocolError("inflate failed: %s" % e) from None
        self._buf += data
        if self.detect and not self.detected and len(self._buf) >= 2:
            self.detected = True
            self.wide = self._buf[1] == 0

    def _line_end(self):
        if self.detect and not self.detected:
            return -1
        if not self.wide:
            return self._buf.find(b"\r")
        pos = self._buf.find(b"\r\x00")
        while pos >= 0 and pos % 2:              # only whole characters can end a line
            pos = self._buf.find(b"\r\x00", pos + 1)
        return pos

    def _read_one_line(self, timeout):
        deadline = time.monotonic() + timeout
        while True:
            pos = self._line_end()
            if pos >= 0:
                raw = bytes(self._buf[:pos])
                del self._buf[:pos + (2 if self.wide else 1)]
                if self.wide:
                    return raw.decode("utf-16-le", "surrogatepass")
                return raw.decode(self.ansi_codec, "replace")
            self._fill(deadline)

    def read_line(self, timeout=10):
        """The next line, without its CR; with auto_answer, heartbeat and clock requests are answered and skipped."""
        deadline = time.monotonic() + timeout
        while True:
            line = self._read_one_line(max(0.0, deadline - time.monotonic()))
            if not (self.auto_answer and self._answer_builtin(line)):
                return line

    def _answer_builtin(self, line):
        word, params = split_line(line)
        fields = split_params(params)
        if word == "HEARTB" and len(fields) >= 2 and fields[0] != "0":
            self.send_line("HEARTB 0 %s" % fields[1])
            return True
        if word == "TTSYNC" and not fields:
            self.send_fields("TTSYNC", sync_clock_text(offset_seconds=self.sync_offset_seconds))
            return True
        return False

    def expect_line(self, pattern, timeout=10):
        line = self.read_line(timeout)
        m = re.fullmatch(pattern, line, re.S)
        if not m:
            raise ProtocolError("expected a line matching %r, got %r" % (pattern, line))
        return m

    def expect(self, word, count=None, timeout=10):
        """The next line must carry `word` (and `count` fields when given); returns its unescaped fields."""
        line = self.read_line(timeout)
        got, params = split_line(line)
        fields = [unescape_field(f) for f in split_params(params)]
        if got != word or (count is not None and len(fields) != count):
            raise ProtocolError("expected %s with %s fields, got %r" % (word, "any" if count is None else count, line))
        return fields

    def read_payload(self, n, timeout=10):
        deadline = time.monotonic() + timeout
        while len(self._buf) < n:
            self._fill(deadline)
        data = bytes(self._buf[:n])
        del self._buf[:n]
        return data

    def expect_silence(self, seconds):
        """No data may arrive for `seconds` (a close counts as silence)."""
        try:
            self._fill(time.monotonic() + seconds)
        except (PeerTimeout, PeerClosed):
            return
        raise ProtocolError("expected silence, got %r" % bytes(self._buf[:80]))

    def expect_closed(self, timeout=10):
        """The other end must close without sending anything more."""
        try:
            self._fill(time.monotonic() + timeout)
        except PeerClosed:
            if self._buf:
                raise ProtocolError("closed, but after sending %r" % bytes(self._buf[:80])) from None
            return
        raise ProtocolError("expected a close, got %r" % bytes(self._buf[:80]))

    # -- handshake ----------------------------------------------------------------------------

    def _my_clock(self, clock):
        return clock if clock is not None else link_clock_text(bias_minutes=self.clock_bias_minutes)

    def handshake_as_acceptor(self, enc=1, cmp=0, *, account=None, clock=None, push_clock=True,
                              sync_clock=None, answer=True, reply_fields=None, timeout=10):
        """Plays the accepting end: reads CNPROP, decides enc/cmp, reads the closing CNPROP, pushes TTSYNC."""
        hs = Handshake()
        self.set_layers(True, False)             # the first CNPROP always travels RC4-encrypted
        line = self.read_line(timeout)
        hs.lines.append(line)
        word, params = split_line(line)
        fields = [unescape_field(f) for f in split_params(params)]
        if word != "CNPROP" or not fields:
            raise ProtocolError("expected CNPROP with a clock, got %r" % line)
        hs.peer_clock = fields[0]
        hs.peer_account = fields[1] if len(fields) > 1 else ""
        if not answer:
            return hs
        if reply_fields is not None:
            self.send_line(" ".join(["CNPROP"] + [str(f) for f in reply_fields]))
            return hs
        enc, cmp = (v if isinstance(v, str) else str(int(bool(v))) for v in (enc, cmp))
        reply = "CNPROP %s %s %s" % (self._my_clock(clock), enc, cmp)
        if account is not None and len(fields) > 1:
            reply += " " + escape_field(account)
        self.send_line(reply)
        hs.enc, hs.cmp = enc != "0", cmp != "0"  # any text but 0 switches a layer on
        self.set_layers(hs.enc, hs.cmp)          # our reply went out under the handshake settings
        line = self.read_line(timeout)
        hs.lines.append(line)
        if line != "CNPROP":
            raise ProtocolError("expected the closing CNPROP, got %r" % line)
        if push_clock:
            hs.sync_text = sync_clock if sync_clock is not None else sync_clock_text(offset_seconds=self.sync_offset_seconds)
            self.send_fields("TTSYNC", hs.sync_text)
        return hs

    def handshake_as_connector(self, *, account=None, clock=None, expect_push=True, timeout=10):
        """Plays the connecting end: sends CNPROP, takes the acceptor's decision, closes with CNPROP."""
        hs = Handshake()
        self.set_layers(True, False)
        self.send_line("CNPROP %s" % self._my_clock(clock) + ("" if account is None else " " + escape_field(account)))
        line = self.read_line(timeout)
        hs.lines.append(line)
        word, params = split_line(line)
        fields = [unescape_field(f) for f in split_params(params)]
        if word != "CNPROP" or len(fields) < 3:
            raise ProtocolError("expected CNPROP with clock, encryption and compression, got %r" % line)
        hs.peer_clock = fields[0]
        hs.enc, hs.cmp = fields[1] != "0", fields[2] != "0"
        hs.peer_account = fields[3] if len(fields) > 3 else ""
        self.set_layers(hs.enc, hs.cmp)
        self.send_line("CNPROP")
        if expect_push:
            line = self.read_line(timeout)
            hs.lines.append(line)
            word, params = split_line(line)
            fields = split_params(params)
            if word != "TTSYNC" or len(fields) != 1:
                raise ProtocolError("expected the TTSYNC clock push, got %r" % line)
            hs.sync_text = fields[0]
        return hs


class Listener:
    """A listening socket on 127.0.0.1 (port 0: the system picks; see .port)."""

    def __init__(self, host="127.0.0.1", port=0, backlog=5):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind((host, port))
        self.sock.listen(backlog)
        self.port = self.sock.getsockname()[1]

    def accept(self, timeout=10, **kw):
        self.sock.settimeout(timeout)
        try:
            conn, _ = self.sock.accept()
        except socket.timeout:
            raise PeerTimeout("no connection within %s s" % timeout) from None
        return PeerLink(conn, **kw)

    def close(self):
        self.sock.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


# ---------------------------------------------------------------------------------------------
# Scripts and the command line


def _options(tokens):
    return dict(t.split("=", 1) for t in tokens)


def run_script(link, text, role):
    """Runs script directives on a link; role is "acceptor" or "connector"."""
    timeout = 10.0
    link.auto_answer = True
    for number, raw in enumerate(text.splitlines(), 1):
        stripped = raw.strip()
        if not stripped or stripped.startswith("#"):
            continue
        verb, _, rest = stripped.partition(" ")
        rest = rest.strip()
        try:
            if verb == "expect":
                link.expect_line(rest, timeout)
                continue
            args = shlex.split(rest)
            if verb == "handshake":
                opt = _options(args)
                if role == "acceptor":
                    link.handshake_as_acceptor(opt.get("enc", "1"), opt.get("cmp", "0"),
                                               account=opt.get("account"), push_clock=opt.get("push", "1") != "0",
                                               timeout=timeout)
                else:
                    link.handshake_as_connector(account=opt.get("account"), timeout=timeout)
            elif verb == "encoding":
                link.wide, link.detect = args[0] == "wide", False
            elif verb == "timeout":
                timeout = float(args[0])
            elif verb == "sleep":
                time.sleep(float(args[0]))
            elif verb == "silence":
                link.expect_silence(float(args[0]))
            elif verb == "send":
                link.send_fields(args[0], *args[1:])
            elif verb == "sendraw":
                link.send_line(codecs.decode(rest, "unicode_escape"))
            elif verb == "payload":
                with open(args[0], "rb") as f:
                    data = f.read()
                link.send_payload(args[1], [a.replace("{size}", str(len(data))) for a in args[2:]], data)
            elif verb == "readpayload":
                data = link.read_payload(int(args[0]), timeout)
                if len(args) > 1:
                    with open(args[1], "wb") as f:
                        f.write(data)
            elif verb == "echo":
                for _ in range(int(args[0])):
                    link.send_line(link.read_line(timeout))
            elif verb == "close":
                link.close()
            else:
                raise ProtocolError("unknown directive %r" % verb)
        except PeerError as e:
            raise PeerError("script line %d (%s): %s" % (number, stripped, e)) from None


def main(argv=None):
    parser = argparse.ArgumentParser(description="Test peer for the Lumo line protocol.")
    sub = parser.add_subparsers(dest="command", required=True)
    for name in ("serve", "connect"):
        p = sub.add_parser(name)
        p.add_argument("--host", default="127.0.0.1")
        p.add_argument("--port", type=int, required=name == "connect", default=0)
        p.add_argument("--script", required=True)
        p.add_argument("--timeout", type=float, default=30.0, help="how long to wait for the connection")
        if name == "serve":
            p.add_argument("--port-file", help="write the listening port here once listening")
    p = sub.add_parser("keystream")
    p.add_argument("--bytes", type=int, default=4096)
    args = parser.parse_args(argv)

    if args.command == "keystream":
        print(known_keystream(args.bytes).hex())
        return 0
    with open(args.script, encoding="utf-8") as f:
        script = f.read()
    try:
        if args.command == "serve":
            with Listener(args.host, args.port) as lst:
                if args.port_file:
                    with open(args.port_file, "w") as f:
                        f.write("%d\n" % lst.port)
                print("LISTENING %d" % lst.port, flush=True)
                link = lst.accept(args.timeout)
            role = "acceptor"
        else:
            link = PeerLink.connect(args.host, args.port, args.timeout)
            role = "connector"
        with link:
            run_script(link, script, role)
    except (PeerError, OSError) as e:
        print("lumopeer: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
