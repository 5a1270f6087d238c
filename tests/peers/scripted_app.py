#!/usr/bin/python3
"""Scripted local applications on Lumo's application port (current dialect), for tests.

It stands in for BrennClient, Quillan, LumoClient and any other local program: it connects one or
more links to the port (the connecting side of the handshake of lumopeer.py), registers them with
APLGIN, sends requests with request ids and payload requests whose CRC-32 it computes itself, and
checks the answers and unsolicited lines that Lumo sends back. Nothing of Lumo's own code is used.

    scripted_app.py --port N --script FILE [--dir DIR] [--host H] [--timeout S]

The exit code is 0 when the script ran to its end; the reason of a failure, with every line each
link sent and received, goes to stderr. DIR (default: the script's folder) is where `mark` writes
and `wait` looks for files, so a test program and the script can wait for each other.

The dialect: a request is "WORD RID FIELD...", the request id RID chosen here; every line Lumo sends
(except the built-in CNPROP, CURTIM, TTSYNC and HEARTB) is "WORD ID LEN FIELD...", ID the request
id answered or -1 for an unsolicited message, LEN -1 or the length of the payload that follows the
line's CR. The reader takes such a payload with its line; heartbeat requests are answered and clock
pushes (TTSYNC with a clock) are skipped while a script waits for a line.

Directives, one a line ('#' starts a comment line; arguments are split like a shell, '' is an
empty argument; {name} in an argument is a value captured before, see expect):

  Links
    connect NAME [handshake=1] [greeting=1]   a new link NAME, made the current one: the
                              connecting handshake, then Lumo's greeting "STARTS 0 -1 VERSION"
                              ({version} captures VERSION); handshake=0 talks plain, greeting=0
                              leaves the greeting to an expect
    use NAME                  makes NAME the current link
    close                     closes the current link
    closed [SECONDS]          Lumo must close the current link without sending more
  Requests (each takes the current link's next request id, 1, 2, 3 ... unless id=N is given;
  {rid} is the last one used)
    aplgin APPID [MASTER] [id=N]      "APLGIN RID APPID MASTER" (MASTER 1 unless given)
    request WORD [FIELD...] [id=N]    "WORD RID FIELD..." with the fields escaped
    payload WORD SOURCE [FIELD...] [id=N] [crc=bad] [pieces=N] [then=TEXT] [cut=N]
                              "WORD RID LEN FIELD..." and the bytes of SOURCE right after the CR;
                              {len} and {crc} in a field are the bytes' length and CRC-32 (crc=bad:
                              one more than it); pieces=N sends the bytes in N-byte writes, the line
                              with the first; then=TEXT (Python escapes, {rid} the next id) is one
                              more line in the last write; cut=N sends only the first N bytes of
                              SOURCE, as a program that stops mid-payload
    sndintflood COUNT SIZE NAME...    COUNT interviews of SIZE bytes each as SNDINT, in turn on the
                              links NAME...: the k-th on the i-th link names survey i and call k and
                              has bytes of its own with their right CRC-32 (the scripted Jex's
                              sndintflood checks every one and their order)
    line TEXT                 TEXT (Python escapes, such as \\x0c for an escaped blank) as a line;
                              {next} in it takes the next request id
  Expectations (each reads the current link's next line, with its payload)
    answer WORD [REGEX] [id=N] [payload opts]   "WORD RID -1 REGEX" for the last request id
    push WORD [REGEX] [payload opts]            "WORD -1 -1 REGEX": Lumo on its own
    expect REGEX [payload opts]     the line, escapes intact, must match REGEX entirely; named
                              groups are kept: (?P<state>\\d+) makes {state}
    payload options: bytes=SOURCE (the payload must be exactly these bytes), crc=K (field K of the
                              line, the word not counted, is the payload's CRC-32)
    silence SECONDS           nothing may arrive on the current link meanwhile
    elapsed MIN [MAX]         seconds since the current link's last request went out
  The test around the script
    mark NAME                 writes the file NAME in DIR: the script got here
    wait NAME [SECONDS]       waits for the file NAME in DIR (default 30 s)
    sleep SECONDS             timeout SECONDS (for later reads; default 10)

Payload sources: text:TEXT (UTF-8, Python escapes), hex:0A0B.., gen:N (N bytes of a fixed
pattern), file:PATH, and the call-history archives of scripted_lumo.py (calls:N[,count=C][,cut=K]).

As a library: ScriptedApps(host, port, folder).run(text) runs a script; AppLink wraps one link
(request, send_payload, read, answer, push) for tests written in Python.
"""

import argparse
import codecs
import os
import random
import re
import shlex
import sys
import time
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lumopeer as lp  # noqa: E402
import scripted_lumo  # noqa: E402

BUILT_IN = ("CNPROP", "CURTIM", "TTSYNC", "HEARTB")


def crc32(data):
    return zlib.crc32(data) & 0xFFFFFFFF


def payload_from(source):
    kind, _, rest = source.partition(":")
    if kind == "text":
        return codecs.decode(rest, "unicode_escape").encode("utf-8")
    if kind == "file":
        with open(rest, "rb") as f:
            return f.read()
    return scripted_lumo.payload_from(source)


class Received:
    """One line from Lumo: its raw text (escapes intact), word, raw fields and payload."""

    def __init__(self, text, payload=b""):
        self.text = text
        self.word, params = lp.split_line(text)
        self.fields = lp.split_params(params)
        self.payload = payload

    def __repr__(self):
        extra = " + %d payload bytes" % len(self.payload) if self.payload else ""
        return repr(self.text) + extra


class AppLink:
    """One local application's link to the port."""

    def __init__(self, name, link):
        self.name = name
        self.link = link
        self.next_id = 1
        self.last_id = None
        self.sent_at = None
        self.history = []                  # "> line" and "< line" in order, for failure reports

    @classmethod
    def connect(cls, name, host, port, *, handshake=True, timeout=10):
        link = lp.PeerLink.connect(host, port, timeout=timeout, auto_answer=True)
        if handshake:
            link.handshake_as_connector(timeout=timeout)
        return cls(name, link)

    # -- sending ------------------------------------------------------------------------------

    def take_id(self, given=None):
        rid = int(given) if given is not None else self.next_id
        self.next_id = max(self.next_id, rid + 1)
        self.last_id = rid
        return rid

    def _sent(self, text):
        self.history.append("> " + text)
        self.sent_at = time.monotonic()

    def send_line(self, text):
        self._sent(text)
        self.link.send_line(text)

    def request(self, word, fields=(), rid=None):
        """Sends "WORD RID FIELD..." and returns RID."""
        rid = self.take_id(rid)
        self.send_line(lp.join_fields(word, [str(rid)] + [str(f) for f in fields]))
        return rid

    def send_payload(self, word, data, fields=(), rid=None, pieces=0, then=None, cut=None):
        """Sends "WORD RID LEN FIELD..." and the bytes (only the first `cut` of them when given);
        returns RID."""
        rid = self.take_id(rid)
        text = lp.join_fields(word, [str(rid), str(len(data))] + [str(f) for f in fields])
        stream = self.link.encode(text + "\r")
        head = len(stream)
        stream += data if cut is None else data[:cut]
        if then is not None:
            then = then.replace("{rid}", str(self.next_id))
            stream += self.link.encode(then + "\r")
        sent = len(data) if cut is None else min(cut, len(data))
        self._sent("%s (+ %d bytes%s)" % (text, sent, "" if then is None else ", then %r" % then))
        cuts = list(range(head + pieces, head + sent, pieces)) if pieces > 0 else []
        self.link.send_raw(stream, cuts=cuts, pause=0.05)
        return rid

    # -- receiving ----------------------------------------------------------------------------

    def read(self, timeout=10):
        """The next line with its payload; clock pushes are skipped."""
        deadline = time.monotonic() + timeout
        while True:
            text = self.link.read_line(max(0.0, deadline - time.monotonic()))
            got = Received(text)
            if got.word == "TTSYNC" and got.fields:
                self.history.append("< " + text + " (skipped)")
                continue
            if got.word not in BUILT_IN and len(got.fields) >= 2 and re.fullmatch(r"\d+", got.fields[1]):
                got.payload = self.link.read_payload(int(got.fields[1]), max(0.0, deadline - time.monotonic()))
            self.history.append("< %r" % got)
            return got

    def expect(self, pattern, timeout=10):
        got = self.read(timeout)
        m = re.fullmatch(pattern, got.text, re.S)
        if not m:
            raise lp.ProtocolError("%s: expected a line matching %r, got %r" % (self.name, pattern, got))
        return got, m

    def answer(self, word, pattern=None, rid=None, timeout=10):
        rid = self.last_id if rid is None else rid
        return self.expect(re.escape("%s %d -1" % (word, rid)) + ("" if pattern is None else " " + pattern), timeout)

    def push(self, word, pattern=None, timeout=10):
        return self.expect(re.escape("%s -1 -1" % word) + ("" if pattern is None else " " + pattern), timeout)

    def close(self):
        self.link.close()


def check_payload(got, options):
    if "bytes" in options:
        want = payload_from(options["bytes"])
        if got.payload != want:
            raise lp.ProtocolError("payload of %r differs: %r, expected %r" % (got.text, got.payload[:80], want[:80]))
    if "crc" in options:
        index = int(options["crc"])
        if index >= len(got.fields) or got.fields[index] != str(crc32(got.payload)):
            raise lp.ProtocolError("%r: field %d is not the payload's CRC-32 %u" % (got.text, index, crc32(got.payload)))


def split_options(args, names):
    """Trailing NAME=VALUE arguments whose NAME is in names, and the rest."""
    options = {}
    while args and re.fullmatch(r"(%s)=.*" % "|".join(names), args[-1], re.S):
        key, _, value = args.pop().partition("=")
        options[key] = value
    return args, options


def split_raw_options(rest, names):
    """As split_options, on a text that is not split otherwise."""
    options = {}
    pattern = re.compile(r"(.*?)\s+(%s)=(\S*)\s*$" % "|".join(names), re.S)
    while True:
        m = pattern.fullmatch(rest)
        if not m:
            return rest, options
        rest = m.group(1)
        options[m.group(2)] = m.group(3)


class ScriptedApps:
    def __init__(self, host, port, folder):
        self.host, self.port, self.folder = host, port, folder
        self.links = {}
        self.current = None
        self.vars = {}
        self.timeout = 10.0

    def subst(self, text, extra=None):
        values = dict(self.vars, **(extra or {}))
        if self.current is not None and self.current.last_id is not None:
            values.setdefault("rid", self.current.last_id)
        return re.sub(r"\{(\w+)\}", lambda m: str(values.get(m.group(1), m.group(0))), text)

    def need(self):
        if self.current is None:
            raise lp.ProtocolError("no link: connect first")
        return self.current

    def keep(self, match):
        self.vars.update({k: v for k, v in match.groupdict().items() if v is not None})

    def run(self, text):
        for number, raw in enumerate(text.splitlines(), 1):
            stripped = raw.strip()
            if not stripped or stripped.startswith("#"):
                continue
            verb, _, rest = stripped.partition(" ")
            try:
                self.run_line(verb, rest.strip())
            except (lp.PeerError, OSError, ValueError, KeyError, IndexError) as e:
                raise lp.PeerError("script line %d (%s): %s" % (number, stripped, e)) from None

    def run_line(self, verb, rest):
        if verb in ("expect", "answer", "push"):
            self.check_line(verb, rest)
            return
        if verb == "line":
            link = self.need()
            text = codecs.decode(self.subst(rest), "unicode_escape")
            if "{next}" in text:
                text = text.replace("{next}", str(link.take_id()))
            link.send_line(text)
            return
        args = [self.subst(a) for a in shlex.split(rest)]
        if verb == "connect":
            args, options = split_options(args, ("handshake", "greeting"))
            link = AppLink.connect(args[0], self.host, self.port, handshake=options.get("handshake", "1") != "0",
                                   timeout=self.timeout)
            self.links[args[0]] = self.current = link
            if options.get("greeting", "1") != "0":
                _, m = link.expect(r"STARTS 0 -1(?: (?P<version>.*))?", self.timeout)
                self.keep(m)
        elif verb == "use":
            self.current = self.links[args[0]]
        elif verb == "close":
            self.need().close()
        elif verb == "closed":
            self.need().link.expect_closed(float(args[0]) if args else self.timeout)
        elif verb == "aplgin":
            args, options = split_options(args, ("id",))
            self.need().request("APLGIN", [args[0], args[1] if len(args) > 1 else "1"], options.get("id"))
        elif verb == "request":
            args, options = split_options(args, ("id",))
            self.need().request(args[0], args[1:], options.get("id"))
        elif verb == "payload":
            self.send_payload(shlex.split(rest))
        elif verb == "sndintflood":
            self.sndint_flood(int(args[0]), int(args[1]), [self.links[name] for name in args[2:]])
        elif verb == "silence":
            self.need().link.expect_silence(float(args[0]))
        elif verb == "elapsed":
            link = self.need()
            passed = time.monotonic() - link.sent_at
            if passed < float(args[0]) or (len(args) > 1 and passed > float(args[1])):
                raise lp.ProtocolError("%.2f s since the last request, expected %s to %s"
                                       % (passed, args[0], args[1] if len(args) > 1 else "any"))
        elif verb == "mark":
            path = os.path.join(self.folder, args[0])
            with open(path + ".tmp", "w") as f:
                f.write("\n")
            os.replace(path + ".tmp", path)  # the test polls for the name: it must appear complete
        elif verb == "wait":
            deadline = time.monotonic() + (float(args[1]) if len(args) > 1 else 30.0)
            while not os.path.exists(os.path.join(self.folder, args[0])):
                if time.monotonic() > deadline:
                    raise lp.PeerTimeout("the file %s did not appear" % args[0])
                time.sleep(0.02)
        elif verb == "sleep":
            time.sleep(float(args[0]))
        elif verb == "timeout":
            self.timeout = float(args[0])
        else:
            raise lp.ProtocolError("unknown directive %r" % verb)

    def check_line(self, verb, rest):
        """expect, answer and push: the pattern is taken as written (no shell splitting), the
        options are the trailing NAME=VALUE words."""
        body, options = split_raw_options(rest, ("bytes", "crc", "id"))
        body = self.subst(body)
        link = self.need()
        if verb == "expect":
            got, m = link.expect(body, self.timeout)
        else:
            word, _, pattern = body.partition(" ")
            if verb == "answer":
                got, m = link.answer(word, pattern or None, int(options["id"]) if "id" in options else None,
                                     self.timeout)
            else:
                got, m = link.push(word, pattern or None, self.timeout)
        check_payload(got, options)
        self.keep(m)

    def send_payload(self, raw_args):
        args, options = split_options(raw_args, ("id", "crc", "pieces", "then", "cut"))
        link = self.need()
        data = payload_from(args[1])
        crc = crc32(data)
        if options.get("crc") == "bad":
            crc = (crc + 1) & 0xFFFFFFFF
        extra = {"len": len(data), "crc": crc}
        fields = [self.subst(f, extra) for f in args[2:]]
        then = codecs.decode(self.subst(options["then"]), "unicode_escape") if "then" in options else None
        cut = int(options["cut"]) if "cut" in options else None
        link.send_payload(args[0], data, fields, options.get("id"), int(options.get("pieces", "0")), then, cut)

    @staticmethod
    def sndint_flood(count, size, links):
        following = [0] * len(links)
        for n in range(count):
            survey = n % len(links)
            call = following[survey]
            following[survey] += 1
            data = random.Random(survey * 1000003 + call).randbytes(size)
            links[survey].send_payload("SNDINT", data, [survey, call, crc32(data)])

    def report(self):
        return "".join("%s %s\n" % (name, entry) for name, link in self.links.items() for entry in link.history)

    def close_all(self):
        for link in self.links.values():
            link.close()


def main(argv=None):
    parser = argparse.ArgumentParser(description="Scripted local applications on Lumo's application port.")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--script", required=True)
    parser.add_argument("--dir", help="where mark writes and wait looks (default: the script's folder)")
    args = parser.parse_args(argv)
    with open(args.script, encoding="utf-8") as f:
        script = f.read()
    apps = ScriptedApps(args.host, args.port, args.dir or os.path.dirname(os.path.abspath(args.script)))
    try:
        apps.run(script)
    except (lp.PeerError, OSError) as e:
        print("scripted_app: %s" % e, file=sys.stderr)
        print("traffic:\n" + apps.report(), file=sys.stderr, end="")
        return 1
    finally:
        apps.close_all()
    return 0


if __name__ == "__main__":
    sys.exit(main())
