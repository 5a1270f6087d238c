#!/usr/bin/python3
"""An application of the desktop's old application port, for tests (standard library only).

    oldapp.py DIR PORT SCRIPT

The old dialect has no handshake, no request ids and no escapes: a line is a word, a blank and its
fields, ended by CR. The application writes ANSI (a code page of its choice) or UTF-16LE, and the
desktop answers in what the application's first line showed. A UTF-16 line ends at a 0x0D 0x00
pair on a character boundary. Nothing of the desktop's code is used here.

The script (one directive a line, '#' comments, fields split like a shell, '' an empty field) runs
on the current link; every line read or written goes to DIR/traffic ("> " sent, "< " received, as
UTF-8 with control characters as escapes). Exit code 0 when every directive passed; a failure is
printed with the traffic so far.

    connect NAME            opens another link to PORT and makes it the current one
    use NAME                makes an open link the current one (the first is "main")
    encoding ansi [CODEPAGE]|wide    how this link writes and reads (default ansi cp1252)
    send TEXT               TEXT (Python escapes) and CR, in one write
    sendlines TEXT...       each TEXT and its CR, all in one write
    flood N TEXT [LAST...]  N lines TEXT ("{n}" becomes 0 to N-1), then each LAST, all in one write;
                            the traffic shows one summary line for the N
    split TEXT CUT...       TEXT and CR, written in pieces cut at the byte offsets, with pauses
    payload FILE TEXT       TEXT ("{size}", "{crc}" become the file's length and CRC-32), CR and
                            the file's bytes, in one write
    payloadsplit FILE TEXT  the same in two writes: the line and half the bytes, then the rest
    expect TEXT             the next line read must be TEXT (Python escapes)
    expectre REGEX          the next line read must match REGEX entirely
    expectbytes TEXT        the next bytes read (after a line) must be TEXT (Python escapes, Latin-1)
    silence SECONDS         no line arrives in that time
    closed                  the desktop closes the link (within the timeout)
    close                   closes the current link
    mark NAME               writes DIR/NAME, for the test to wait on
    waitfile NAME           waits until the test has written DIR/NAME
    sleep SECONDS
    timeout SECONDS         for the reading directives (default 10)
"""

import codecs
import os
import re
import select
import shlex
import socket
import sys
import time
import zlib


class ScriptError(Exception):
    pass


def unescape(text):
    return codecs.decode(text.encode("latin-1", "backslashreplace"), "unicode_escape")


def visible(text):
    return "".join("\\u%04x" % ord(c) if "\ud800" <= c <= "\udfff" else c if c >= " " or c == "\t" else
                   "\\x%02x" % ord(c) for c in text)


class Link:
    def __init__(self, port, traffic):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=10)
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.wide = False
        self.codepage = "cp1252"
        self.buf = b""
        self.traffic = traffic
        self.eof = False

    def encode(self, text):
        return text.encode("utf-16-le", "surrogatepass") if self.wide else text.encode(self.codepage)

    def line_bytes(self, text):
        self.traffic.append("> " + text)
        return self.encode(text + "\r")

    def write(self, data):
        self.sock.sendall(data)

    def _line_end(self):
        if not self.wide:
            i = self.buf.find(b"\r")
            return (i, 1) if i >= 0 else (-1, 0)
        for i in range(0, len(self.buf) - 1, 2):
            if self.buf[i] == 0x0D and self.buf[i + 1] == 0:
                return i, 2
        return -1, 0

    def _fill(self, deadline):
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            return False
        ready = select.select([self.sock], [], [], remaining)[0]
        if not ready:
            return False
        data = self.sock.recv(65536)
        if not data:
            self.eof = True
            return False
        self.buf += data
        return True

    def read_line(self, timeout):
        deadline = time.monotonic() + timeout
        while True:
            end, size = self._line_end()
            if end >= 0:
                raw, self.buf = self.buf[:end], self.buf[end + size:]
                text = raw.decode("utf-16-le", "surrogatepass") if self.wide else raw.decode(self.codepage)
                self.traffic.append("< " + text)
                return text
            if self.eof or not self._fill(deadline):
                if self.eof:
                    raise ScriptError("the desktop closed the link (unread: %r)" % self.buf)
                return None

    def read_bytes(self, count, timeout):
        deadline = time.monotonic() + timeout
        while len(self.buf) < count:
            if self.eof or not self._fill(deadline):
                return None
        data, self.buf = self.buf[:count], self.buf[count:]
        self.traffic.append("< (%d bytes)" % count)
        return data

    def wait_closed(self, timeout):
        deadline = time.monotonic() + timeout
        while not self.eof:
            if not self._fill(deadline) and not self.eof:
                return False
        return True


def crc_of(data):
    return zlib.crc32(data) & 0xFFFFFFFF


def run(folder, port, script_lines):
    traffic = []
    links = {"main": Link(port, traffic)}
    link = links["main"]
    timeout = 10.0
    try:
        for number, raw in enumerate(script_lines, 1):
            words = shlex.split(raw, comments=True)
            if not words:
                continue
            op, args = words[0], words[1:]
            try:
                if op == "connect":
                    link = links[args[0]] = Link(port, traffic)
                elif op == "use":
                    link = links[args[0]]
                elif op == "encoding":
                    link.wide = args[0] == "wide"
                    if not link.wide and len(args) > 1:
                        link.codepage = args[1]
                elif op == "send":
                    link.write(link.line_bytes(unescape(args[0])))
                elif op == "sendlines":
                    link.write(b"".join(link.line_bytes(unescape(a)) for a in args))
                elif op == "flood":
                    count = int(args[0])
                    traffic.append("> (%d lines %s)" % (count, args[1]))
                    text = unescape(args[1])
                    flood = link.encode("".join(text.replace("{n}", str(n)) + "\r" for n in range(count)))
                    link.write(flood + b"".join(link.line_bytes(unescape(a)) for a in args[2:]))
                elif op == "split":
                    data = link.line_bytes(unescape(args[0]))
                    cuts = [0] + [int(c) for c in args[1:]] + [len(data)]
                    for a, b in zip(cuts, cuts[1:]):
                        link.write(data[a:b])
                        time.sleep(0.3)
                elif op in ("payload", "payloadsplit"):
                    with open(args[0], "rb") as f:
                        data = f.read()
                    text = unescape(args[1]).replace("{size}", str(len(data))).replace("{crc}", str(crc_of(data)))
                    head = link.line_bytes(text)
                    traffic.append("> (%d bytes)" % len(data))
                    if op == "payload":
                        link.write(head + data)
                    else:
                        link.write(head + data[: len(data) // 2])
                        time.sleep(0.3)
                        link.write(data[len(data) // 2:])
                elif op == "expect":
                    want = unescape(args[0])
                    got = link.read_line(timeout)
                    if got != want:
                        raise ScriptError("expected %r, got %r" % (want, got))
                elif op == "expectre":
                    got = link.read_line(timeout)
                    if got is None or not re.fullmatch(args[0], got):
                        raise ScriptError("expected /%s/, got %r" % (args[0], got))
                elif op == "expectbytes":
                    want = unescape(args[0]).encode("latin-1")
                    got = link.read_bytes(len(want), timeout)
                    if got != want:
                        raise ScriptError("expected bytes %r, got %r" % (want, got))
                elif op == "silence":
                    got = link.read_line(float(args[0]))
                    if got is not None:
                        raise ScriptError("expected silence, got %r" % got)
                elif op == "closed":
                    if not link.wait_closed(timeout):
                        raise ScriptError("the desktop kept the link open")
                    if link.buf:
                        raise ScriptError("unread bytes before the close: %r" % link.buf)
                    traffic.append("= closed")
                elif op == "close":
                    link.sock.close()
                elif op == "mark":
                    with open(os.path.join(folder, args[0]), "w") as f:
                        f.write("1\n")
                elif op == "waitfile":
                    deadline = time.monotonic() + timeout
                    while not os.path.exists(os.path.join(folder, args[0])):
                        if time.monotonic() > deadline:
                            raise ScriptError("the test did not write %s" % args[0])
                        time.sleep(0.02)
                elif op == "sleep":
                    time.sleep(float(args[0]))
                elif op == "timeout":
                    timeout = float(args[0])
                else:
                    raise ScriptError("unknown directive %r" % op)
            except ScriptError as e:
                raise ScriptError("line %d (%s): %s" % (number, raw.strip(), e)) from None
        return 0
    except (ScriptError, OSError) as e:
        print("oldapp: %s" % e)
        print("".join(visible(t) + "\n" for t in traffic))
        return 1
    finally:
        path = os.path.join(folder, "traffic")
        with open(path + ".tmp", "w", encoding="utf-8") as f:
            f.write("".join(visible(t) + "\n" for t in traffic))
        os.replace(path + ".tmp", path)
        for each in links.values():
            each.sock.close()


def main():
    folder, port, script = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    with open(script, encoding="utf-8") as f:
        lines = f.read().splitlines()
    return run(folder, port, lines)


if __name__ == "__main__":
    sys.exit(main())
