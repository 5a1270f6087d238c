#!/usr/bin/python3
"""A scripted Jex: the contact-centre server's side of the agent desktop's command link, for tests.

It accepts one link, plays the accepting handshake of lumopeer.py, and then follows a script:
the STARTS greeting with chosen flags and versions, the answers to the log-on words (CHKPWD,
RQASUD, ALOGON, ALOGOS) and whatever else the test wants Jex to say. Letter-pair passwords and
account texts are deciphered with the RC2 of rc2.py, payload checksums come from zlib's CRC-32:
nothing of the desktop's own code is used, so a mistake shared by the link and this peer cannot
hide itself.

Every line is kept in a traffic log ("< " what the desktop sent, "> " what Jex sent, "= " what a
directive deciphered). With --log the log is written to a file when the script ends, also after
a failure; a failing step prints the whole log to stderr.

Command line:
    scripted_jex.py serve [--host H] [--port N] [--port-file F] [--log F] [--timeout S] --script FILE

Script directives (one a line, '#' comments, fields split like a shell, '' is an empty field).
Those of lumopeer.py's script runner: handshake [enc=1] [cmp=0] [push=1], expect REGEX, send WORD
FIELD..., sendraw TEXT, readpayload N [FILE], echo N, encoding, timeout SECONDS, sleep SECONDS,
silence SECONDS, close. Jex's own:
    greet FLAGS [SERVER [SETUP [MODE [PARAM [PORT...]]]]]   "STARTS" with the words as given
    expectline TEXT       the next line must be TEXT (Python escapes: \\x0c is an escaped blank)
    decrypt WORD N...     the next line must carry WORD; its fields N... (from 0) are deciphered
                          letter-pair texts, logged as "= WORD plain..."
    password WORD N PLAIN the next line must carry WORD and field N must decipher to PLAIN
    mark NAME             writes the file NAME beside the traffic log (another peer may wait for it)
    waitfile NAME         waits, at most the script's time-out, until the test has written the file
                          NAME beside the traffic log (so Jex answers only once the test is ready)
    sendlines TEXT        TEXT with Python escapes, "\\r" between lines, sent in one write
    payload FILE WORD FIELD...   the line, then the file's bytes; "{size}" and "{crc}" in a field
                          become the length and CRC-32 of the bytes
    ttsync SECONDS        pushes a server clock SECONDS behind this machine's UTC clock
    closed                the desktop must close the link without sending more
    drain                 reads (and logs) lines until the desktop closes the link
    update SIZE SEED ARGS [LINE...]   "UPDATE ARGS SIZE", SIZE bytes of a program made from SEED and
                          the LINEs (Python escapes), all in one write; logs "= UPDATE SIZE CRC"
    upload WORD LEN CRC FILE   the next line must carry WORD, field LEN its payload's length and
                          field CRC (or "-" for none) the payload's CRC-32; the payload must be a zip
                          archive with the single entry "data", which is saved as FILE beside the
                          log; logs "= WORD unzipped N bytes"
    ansi [push=1]         the handshake as "handshake", but Jex answers (and goes on) in ANSI
    expectencoding wide|ansi      the encoding the desktop's lines came in
    expectpayload 'LINE' N [crc=M] [same=FILE]   the next line must be LINE (Python escapes);
                          its field N (from 0) gives the length of the payload that follows, whose
                          CRC-32 must equal field M and whose bytes those of FILE
    payloadsplit FILE WORD FIELD...   as payload, the line and the bytes cut into three writes
    sndintflood COUNT     COUNT lines "SNDINT sender number length crc flag", each with its payload:
                          every CRC-32 must match and each sender's numbers run 0, 1, 2 ...
Heartbeats and clock requests of the desktop are answered automatically while a script runs.

The data link: with --data-script the peer also listens on a second port, whose number "{dataport}"
in a greet directive names, accepts one link there and runs the data script on it (the same
directives), with its own traffic log (--data-log).
"""

import argparse
import codecs
import datetime
import io
import os
import random
import shlex
import sys
import threading
import time
import zipfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lumopeer as P  # noqa: E402
import rc2  # noqa: E402


class TrafficLog:
    """Watches one link: every line read or written, in order."""

    def __init__(self, link):
        self.entries = []
        read_one, send_line = link._read_one_line, link.send_line

        def logged_read(timeout):
            line = read_one(timeout)
            self.entries.append("< " + line)
            return line

        def logged_send(text, **options):
            self.entries.append("> " + text)
            return send_line(text, **options)

        link._read_one_line = logged_read
        link.send_line = logged_send

    def note(self, text):
        self.entries.append("= " + text)

    def text(self):
        return "".join(visible(e) + "\n" for e in self.entries)


def visible(text):
    """Control characters and lone surrogates as escapes, so that field escapes show in the log
    (and a log of a link that carried a lone surrogate can be written as UTF-8)."""
    return "".join("\\u%04x" % ord(c) if "\ud800" <= c <= "\udfff" else c if c >= " " or c == "\t" else
                   "\\x%02x" % ord(c) for c in text)


def decipher(letters):
    try:
        return rc2.decrypt_password(letters)
    except (ValueError, UnicodeDecodeError) as e:
        raise P.ProtocolError("%r is no letter-pair cipher text: %s" % (letters, e)) from None


def expect_word(link, word, timeout):
    line = link.read_line(timeout)
    got, params = P.split_line(line)
    if got != word:
        raise P.ProtocolError("expected %s, got %r" % (word, line))
    return [P.unescape_field(f) for f in P.split_params(params)]


def field(fields, index, word):
    if index >= len(fields):
        raise P.ProtocolError("%s has %d fields, no field %d" % (word, len(fields), index))
    return fields[index]


def _expectline(link, log, rest, timeout):
    literal = codecs.decode(rest, "unicode_escape")
    line = link.read_line(timeout)
    if line != literal:
        raise P.ProtocolError("expected %r, got %r" % (literal, line))


def _mark(link, log, rest, timeout):
    """A file beside the traffic log, for a peer that must not act before this point."""
    path = os.path.join(OUTPUT_DIR, rest)
    with open(path + ".tmp", "w") as f:
        f.write("\n")
    os.replace(path + ".tmp", path)  # the other side polls for the name: it must appear complete


def _waitfile(link, log, rest, timeout):
    path = os.path.join(OUTPUT_DIR, rest)
    deadline = time.monotonic() + timeout
    while not os.path.exists(path):
        if time.monotonic() > deadline:
            raise P.ProtocolError("the test did not write %s within %g s" % (rest, timeout))
        time.sleep(0.02)


def _sendlines(link, log, rest, timeout):
    literal = codecs.decode(rest, "unicode_escape")
    log.entries.extend("> " + t for t in literal.split("\r"))
    link.send_raw(link.encode(literal + "\r"))


def _greet(link, log, rest, timeout):
    words = [w.replace("{dataport}", str(getattr(link, "data_port", ""))) for w in shlex.split(rest)]
    link.send_line(" ".join(["STARTS"] + words))


def _decrypt(link, log, rest, timeout):
    args = shlex.split(rest)
    fields = expect_word(link, args[0], timeout)
    log.note(" ".join([args[0]] + [decipher(field(fields, int(n), args[0])) for n in args[1:]]))


def _password(link, log, rest, timeout):
    word, index, expected = shlex.split(rest)
    plain = decipher(field(expect_word(link, word, timeout), int(index), word))
    log.note("%s %s" % (word, plain))
    if plain != expected:
        raise P.ProtocolError("%s password %r, expected %r" % (word, plain, expected))


def crc32(data):
    return zlib.crc32(data) & 0xFFFFFFFF


def file_payload(args):
    """The bytes of the file args[0] and the fields args[2:], with "{size}" and "{crc}" filled in."""
    with open(args[0], "rb") as f:
        data = f.read()
    return data, [a.replace("{size}", str(len(data))).replace("{crc}", "%u" % crc32(data)) for a in args[2:]]


def read_checked_payload(link, fields, word, length_index, crc_index, timeout):
    """The payload behind a line whose field length_index gives its length and field crc_index (None:
    unchecked) its CRC-32."""
    data = link.read_payload(int(field(fields, length_index, word)), timeout)
    if crc_index is not None and int(field(fields, crc_index, word)) != crc32(data):
        raise P.ProtocolError("%s payload has CRC-32 %u, the line says %s" % (word, crc32(data), fields[crc_index]))
    return data


def _payload(link, log, rest, timeout):
    args = shlex.split(rest)
    data, fields = file_payload(args)
    link.send_payload(args[1], fields, data)


def _payloadsplit(link, log, rest, timeout):
    """As payload, but line and payload together arrive in three writes, cut inside the line and the payload."""
    args = shlex.split(rest)
    data, fields = file_payload(args)
    line = link.encode(P.join_fields(args[1], fields) + "\r")
    log.entries.append("> " + P.join_fields(args[1], fields) + " (in three writes)")
    whole = line + data
    link.send_raw(whole, cuts=(len(line) // 2, len(line) + len(data) // 2), pause=0.05)


def _ttsync(link, log, rest, timeout):
    behind = datetime.timedelta(seconds=float(rest))
    link.send_fields("TTSYNC", P.sync_clock_text(utc=P._utc_now() - behind))


def _closed(link, log, rest, timeout):
    link.expect_closed(timeout)


def _drain(link, log, rest, timeout):
    deadline = time.monotonic() + timeout
    try:
        while True:
            link.read_line(max(0.0, deadline - time.monotonic()))
    except P.PeerClosed:
        pass


def _update(link, log, rest, timeout):
    args = shlex.split(rest)
    size, seed, arguments = int(args[0]), int(args[1]), args[2]
    program = random.Random(seed).randbytes(size)
    trailer = "".join(codecs.decode(t, "unicode_escape") + "\r" for t in args[3:])
    log.entries.append("> UPDATE %s %d + the program" % (arguments, size))
    log.entries.extend("> " + t for t in trailer.split("\r")[:-1])
    log.note("UPDATE %d %u" % (size, crc32(program)))
    link.send_raw(link.encode(P.join_fields("UPDATE", [arguments, str(size)]) + "\r") + program +
                  link.encode(trailer))


def _upload(link, log, rest, timeout):
    word, length_field, crc_field, name = shlex.split(rest)
    fields = expect_word(link, word, timeout)
    data = read_checked_payload(link, fields, word, int(length_field), None if crc_field == "-" else int(crc_field),
                                timeout)
    try:
        with zipfile.ZipFile(io.BytesIO(data)) as archive:
            if archive.namelist() != ["data"]:
                raise P.ProtocolError("%s archive holds %r, not the single entry data" % (word, archive.namelist()))
            plain = archive.read("data")
    except zipfile.BadZipFile as e:
        raise P.ProtocolError("%s payload is no zip archive: %s" % (word, e)) from None
    with open(os.path.join(OUTPUT_DIR, name), "wb") as f:
        f.write(plain)
    log.note("%s unzipped %d bytes" % (word, len(plain)))


def _ansi(link, log, rest, timeout):
    """The handshake with every line of Jex in ANSI: the desktop's first line still comes as UTF-16LE
    (it cannot know yet), and what it sends after Jex's answer decides its encoding afresh."""
    send_line = link.send_line

    def first_send(text, **options):
        link.send_line = send_line
        link.wide = False
        link.rearm_detection()
        return send_line(text, **options)

    link.send_line = first_send
    options = P._options(shlex.split(rest))
    link.handshake_as_acceptor(timeout=timeout, push_clock=options.get("push", "1") != "0")


def _expectencoding(link, log, rest, timeout):
    got = "wide" if link.wide else "ansi"
    if got != rest:
        raise P.ProtocolError("the desktop writes %s, expected %s" % (got, rest))


def _expectpayload(link, log, rest, timeout):
    args = shlex.split(rest)
    literal = codecs.decode(args[0], "unicode_escape")
    line = link.read_line(timeout)
    if line != literal:
        raise P.ProtocolError("expected %r, got %r" % (literal, line))
    word, params = P.split_line(line)
    fields = [P.unescape_field(f) for f in P.split_params(params)]
    options = dict(a.split("=", 1) for a in args[2:])
    data = read_checked_payload(link, fields, word, int(args[1]), int(options["crc"]) if "crc" in options else None,
                                timeout)
    if "same" in options:
        with open(options["same"], "rb") as f:
            expected = f.read()
        if data != expected:
            raise P.ProtocolError("%s payload differs from %s: %r" % (word, options["same"], data[:80]))
    log.note("%s payload %d bytes, CRC-32 %u" % (word, len(data), crc32(data)))


def _sndintflood(link, log, rest, timeout):
    following = {}
    count = int(rest)
    for _ in range(count):
        fields = expect_word(link, "SNDINT", timeout)
        survey, call = (int(f) for f in fields[:2])
        read_checked_payload(link, fields, "SNDINT %d %d:" % (survey, call), 2, 3, timeout)
        if call != following.get(survey, 0):
            raise P.ProtocolError("SNDINT of sender %d: number %d came where %d was due"
                                  % (survey, call, following.get(survey, 0)))
        following[survey] = call + 1
    log.note("SNDINT %d payloads whole and in order" % count)


# Jex's own directives; the others are lumopeer's, run by its script runner.
DIRECTIVES = {"expectline": _expectline, "mark": _mark, "waitfile": _waitfile, "sendlines": _sendlines,
              "greet": _greet, "decrypt": _decrypt, "password": _password, "payload": _payload, "ttsync": _ttsync,
              "closed": _closed, "drain": _drain, "update": _update, "upload": _upload, "ansi": _ansi,
              "expectencoding": _expectencoding, "expectpayload": _expectpayload, "sndintflood": _sndintflood,
              "payloadsplit": _payloadsplit}
# Where upload saves what it received, mark writes and waitfile looks: beside the traffic log.
OUTPUT_DIR = "."


def run_script(link, text, log):
    """Runs the directives against an accepted link."""
    timeout = 10.0
    for number, raw in enumerate(text.splitlines(), 1):
        stripped = raw.strip()
        if not stripped or stripped.startswith("#"):
            continue
        verb, _, rest = stripped.partition(" ")
        try:
            if verb in DIRECTIVES:
                link.auto_answer = True
                DIRECTIVES[verb](link, log, rest.strip(), timeout)
            else:
                if verb == "timeout":
                    timeout = float(rest)
                P.run_script(link, "timeout %r\n%s" % (timeout, stripped), "acceptor")
        except P.PeerError as e:
            raise P.PeerError("script line %d (%s): %s" % (number, stripped, e)) from None


class DataLink:
    """The data link's side: a second listener whose one link runs its own script, on a thread."""

    def __init__(self, script, host, log_file, timeout):
        self.script, self.log_file, self.timeout = script, log_file, timeout
        self.listener = P.Listener(host, 0)
        self.port = self.listener.port
        self.log = None
        self.error = None
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        try:
            with self.listener:
                link = self.listener.accept(self.timeout)
            with link:
                self.log = TrafficLog(link)
                run_script(link, self.script, self.log)
        except (P.PeerError, OSError) as e:
            self.error = "data link: %s" % e
        if self.log_file:
            with open(self.log_file, "w", encoding="utf-8") as f:
                f.write(self.log.text() if self.log else "")

    def finish(self):
        """None when the data script passed, else why not."""
        self.thread.join(self.timeout + 30)
        if self.thread.is_alive():
            return "data link: the script did not end"
        return self.error


def serve(script, *, host="127.0.0.1", port=0, port_file=None, log_file=None, timeout=30.0, on_listening=None,
          data_script=None, data_log_file=None):
    """Accepts one link and runs the script on it. Returns (exit code, traffic log text)."""
    global OUTPUT_DIR
    if log_file:
        OUTPUT_DIR = os.path.dirname(os.path.abspath(log_file))
    log = None
    data = DataLink(data_script, host, data_log_file, timeout) if data_script is not None else None
    try:
        with P.Listener(host, port) as lst:
            if port_file:
                with open(port_file + ".tmp", "w") as f:
                    f.write("%d\n" % lst.port)
                os.replace(port_file + ".tmp", port_file)  # a reader never sees half a number
            if on_listening:
                on_listening(lst.port)
            link = lst.accept(timeout)
        if data:
            link.data_port = data.port
        with link:
            log = TrafficLog(link)
            run_script(link, script, log)
        code = 0
    except (P.PeerError, OSError) as e:
        print("scripted_jex: %s" % e, file=sys.stderr)
        if log:
            print("traffic:\n" + log.text(), file=sys.stderr, end="")
        code = 1
    data_error = data.finish() if data else None
    if data_error:
        print("scripted_jex: %s" % data_error, file=sys.stderr)
        if data.log:
            print("data traffic:\n" + data.log.text(), file=sys.stderr, end="")
        code = 1
    text = log.text() if log else ""
    if log_file:
        with open(log_file, "w", encoding="utf-8") as f:
            f.write(text)
    return code, text


def main(argv=None):
    parser = argparse.ArgumentParser(description="A scripted Jex for tests of the agent desktop.")
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("serve")
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--port-file", help="write the listening port here once listening")
    p.add_argument("--log", help="write the traffic log here when the script ends")
    p.add_argument("--timeout", type=float, default=30.0, help="how long to wait for the connection")
    p.add_argument("--script", required=True)
    p.add_argument("--data-script", help="listen for the data link too and run this script on it")
    p.add_argument("--data-log", help="write the data link's traffic log here when its script ends")
    args = parser.parse_args(argv)
    with open(args.script, encoding="utf-8") as f:
        script = f.read()
    data_script = None
    if args.data_script:
        with open(args.data_script, encoding="utf-8") as f:
            data_script = f.read()
    code, _ = serve(script, host=args.host, port=args.port, port_file=args.port_file, log_file=args.log,
                    timeout=args.timeout, on_listening=lambda port: print("LISTENING %d" % port, flush=True),
                    data_script=data_script, data_log_file=args.data_log)
    return code


if __name__ == "__main__":
    sys.exit(main())
