#!/usr/bin/python3
"""The other end of the handshake tests (core_handshake_tests), one scenario per run.

The C++ test program starts it through Wine (a Unix process), so the scenario's checks of what our
link sent are made here, and its own checks of what the link recorded are made there. Every
scenario ends by waiting for the C++ side to close, so no line is lost to an early close.

    HandshakePeer.py DIR jex ENC CMP     accepts; plays Jex with the decision ENC/CMP, then echoes
    HandshakePeer.py DIR jex-refuses     accepts; answers "CNPROP x" and waits
    HandshakePeer.py DIR jex-closes      accepts; answers CNPROP with CLOSEX, a request to close
    HandshakePeer.py DIR client PORT     connects; handshake, then two CURTIM clocks
    HandshakePeer.py DIR clock-only PORT connects; handshake with a clock and no machine account
    HandshakePeer.py DIR silent PORT     connects; silent until told the accept rounds are over (GOAHEAD),
                                         then ANSI plain text
    HandshakePeer.py DIR early PORT      connects; plain UTF-16LE at once (read through RC4), then again
                                         after GOAHEAD
    HandshakePeer.py DIR heartbeat PORT  connects; heartbeat requests and answers
    HandshakePeer.py DIR ttsync PORT     connects; clock requests and clocks

DIR receives "port" (accepting scenarios, once listening) and "lines" (the handshake lines as read,
UTF-8, one a line). The exit code is 0 when every check passed; messages go to stderr.
"""

import datetime
import os
import re
import sys
import time
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "peers"))
import lumopeer as lp  # noqa: E402

LINES = 1000
PAYLOAD = 1024 * 1024


class Failed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failed(message)


def write_file(folder, name, text):
    path = os.path.join(folder, name)
    with open(path + ".tmp", "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(path + ".tmp", path)  # the C++ side polls for the name: it must appear complete


def wait_for_close(link, timeout=60):
    """Reads (and answers) until the C++ side closes; the scenario's checks are all done by then."""
    deadline = time.monotonic() + timeout
    try:
        while True:
            link.read_line(max(0.0, deadline - time.monotonic()))
    except lp.PeerClosed:
        return
    except lp.PeerTimeout:
        raise Failed("the C++ side never closed the link") from None


def payload_bytes(seed):
    data = bytearray(PAYLOAD)
    n = seed
    for i in range(0, PAYLOAD, 4):  # poorly compressible, cheap to make
        n = (n * 1103515245 + 12345) & 0xFFFFFFFF
        data[i:i + 4] = n.to_bytes(4, "little")
    return bytes(data)


def clock_near_now(text, bias_suffix):
    check(re.fullmatch(lp.LINK_CLOCK_RE, text), "link clock text %r" % text)
    check(text.endswith(bias_suffix), "clock %r ends in the zone %s" % (text, bias_suffix))
    sent = datetime.datetime.strptime(text[:19], "%Y-%m-%dT%H:%M:%S")
    now = datetime.datetime.now(datetime.timezone.utc).replace(tzinfo=None)
    check(abs((now - sent).total_seconds()) < 120, "clock %r is the UTC clock (now %s)" % (text, now))


def jex(folder, listener, enc, cmp):
    link = listener.accept(30)
    with link:
        hs = link.handshake_as_acceptor(enc, cmp, account="JEXHOST\\jex service")
        write_file(folder, "lines", "\n".join(hs.lines) + "\n")
        m = re.fullmatch(r"CNPROP (\S+) (\S+)", hs.lines[0])
        check(m, "the first CNPROP carries a clock and the machine account: %r" % hs.lines[0])
        clock_near_now(m.group(1), "-05:30")  # the C++ side pins India's zone
        check(hs.lines[1] == "CNPROP", "the closing CNPROP has no fields: %r" % hs.lines[1])

        # Our lines and payload come back as they went.
        for i in range(LINES):
            line = link.read_line()
            check(line == "LINENR 0 %d" % i, "line %d from C++: %r" % (i, line))
            link.send_line(line)
        fields = link.expect("BLOBPL", 2)
        data = link.read_payload(int(fields[0]), 60)
        check(zlib.crc32(data) == int(fields[1]), "the C++ payload arrived whole")
        link.send_payload("BLOBPL", fields, data)

        # The C++ side echoes ours.
        link.send_lines(["ECHOME %d" % i for i in range(LINES)])
        for i in range(LINES):
            fields = link.expect("ECHOME", 1, 30)
            check(fields == [str(i)], "echo %d: %r" % (i, fields))
        mine = payload_bytes(11)
        link.send_payload("ECHOPL", [len(mine)], mine)
        fields = link.expect("ECHOPL", 1, 60)
        check(fields == [str(len(mine))], "payload echo line %r" % fields)
        check(link.read_payload(len(mine), 60) == mine, "the payload came back unchanged")
        link.send_line("DONE")
        wait_for_close(link)


def jex_refuses(folder, listener):
    link = listener.accept(30)
    with link:
        hs = link.handshake_as_acceptor(reply_fields=["x"])
        write_file(folder, "lines", "\n".join(hs.lines) + "\n")
        link.set_layers(True, False)
        wait_for_close(link)


def jex_closes(folder, listener):
    link = listener.accept(30)
    with link:
        hs = link.handshake_as_acceptor(answer=False)
        write_file(folder, "lines", "\n".join(hs.lines) + "\n")
        link.send_line("CLOSEX")  # still under the handshake's settings
        wait_for_close(link)


def client(folder, port):
    with lp.PeerLink.connect("127.0.0.1", port, auto_answer=True) as link:
        link.clock_bias_minutes = 60
        hour_ago = datetime.datetime.now(datetime.timezone.utc).replace(tzinfo=None) - datetime.timedelta(hours=1)
        hs = link.handshake_as_connector(account="WKS\\agent 7", clock=lp.link_clock_text(hour_ago, 60))
        write_file(folder, "lines", "\n".join(hs.lines) + "\n")
        m = re.fullmatch(r"CNPROP (\S+) 1 0 (\S+)", hs.lines[0])
        check(m, "the reply carries a clock, encryption on, compression off and the account: %r" % hs.lines[0])
        clock_near_now(m.group(1), "-01:00")  # the C++ side pins West Central Africa's zone
        check(re.fullmatch(lp.SYNC_CLOCK_RE, hs.sync_text), "TTSYNC push %r" % hs.sync_text)
        check(hs.sync_text.endswith("+03600"), "the push carries local minus UTC in seconds: %r" % hs.sync_text)
        # Our clocks would overwrite what the handshake recorded: wait until the C++ side has read it.
        line = link.read_line(30)
        check(line == "GOAHEAD", "the accepting side says when it has read the handshake's values: %r" % line)
        for n, bias in enumerate((-330, 300, -30), 1):
            link.send_fields("CURTIM", lp.link_clock_text(bias_minutes=bias))
            link.send_fields("MARKER", n)
        link.send_fields("CURTIM", "not a clock")
        link.send_fields("MARKER", 4)
        wait_for_close(link)


def clock_only(folder, port):
    with lp.PeerLink.connect("127.0.0.1", port) as link:
        hs = link.handshake_as_connector()
        write_file(folder, "lines", "\n".join(hs.lines) + "\n")
        m = re.fullmatch(r"CNPROP (\S+) 1 0", hs.lines[0])
        check(m, "a peer without an account gets a reply without one: %r" % hs.lines[0])
        clock_near_now(m.group(1), "-01:00")  # the C++ side pins West Central Africa's zone
        wait_for_close(link)


def wait_for_go(link):
    """The C++ side says in plain text when its Accept has given up: no guessing at its timing."""
    line = link.read_line(30)
    check(line == "GOAHEAD", "the accepting side talks plain text after giving up: %r" % line)


def silent(folder, port):
    with lp.PeerLink.connect("127.0.0.1", port) as link:
        wait_for_go(link)
        link.wide = False
        link.send_lines(["MARKER 1", "MARKER 2"])
        wait_for_close(link)


def early(folder, port):
    with lp.PeerLink.connect("127.0.0.1", port) as link:
        link.send_lines(["MARKER 0"])  # read through RC4 by the accepting side: garbage to it
        wait_for_go(link)
        link.wide = True
        link.send_lines(["MARKER 1", "MARKER 2"])
        wait_for_close(link)


def stamp_ago(milliseconds):
    return lp.heartbeat_stamp(lp.filetime_now() - milliseconds * 10000)


def heartbeat(folder, port):
    with lp.PeerLink.connect("127.0.0.1", port) as link:
        link.handshake_as_connector()
        stamp = lp.heartbeat_stamp()
        for sent in (stamp, "abc", "1" * 21):
            link.send_fields("HEARTB", 1, sent)
            check(link.expect("HEARTB", 2, 5) == ["0", sent], "a request comes back with its stamp %r" % sent)
        link.send_fields("HEARTB", 0, stamp_ago(300))
        link.send_fields("MARKER", 1)
        link.send_fields("HEARTB", 0, stamp_ago(300)[1:])
        link.send_fields("HEARTB", 0, stamp_ago(300) + "0")
        link.send_fields("MARKER", 2)
        # The flag alone, then a request in the same read: only the second is answered.
        link.send_lines(["HEARTB 1", "HEARTB 1 zz"])
        check(link.expect("HEARTB", 2, 5) == ["0", "zz"], "the line after a refused one is answered")
        link.send_fields("MARKER", 3)
        # Now the C++ side asks: a heartbeat and a clock (answered by our automatic answers), then its clock.
        link.auto_answer = True
        fields = link.expect("CURTIM", 1, 30)
        clock_near_now(fields[0], "-05:30")  # the C++ side pins India's zone
        wait_for_close(link)


def ttsync(folder, port):
    with lp.PeerLink.connect("127.0.0.1", port) as link:
        link.handshake_as_connector()
        link.send_line("TTSYNC")
        fields = link.expect("TTSYNC", 1, 2)
        check(re.fullmatch(lp.SYNC_CLOCK_RE, fields[0]), "the answer is a synchronisation clock: %r" % fields)
        check(fields[0].endswith("-18000"), "local minus UTC in seconds: %r" % fields)
        hour_ago = datetime.datetime.now(datetime.timezone.utc).replace(tzinfo=None) - datetime.timedelta(hours=1)
        link.send_fields("TTSYNC", lp.sync_clock_text(hour_ago, 3600))
        link.expect_silence(0.5)
        link.send_fields("MARKER", 1)
        link.send_line("TTSYNC 2020-01-22T10:00:00+00000 extra")
        link.expect_silence(0.5)
        link.send_fields("MARKER", 2)
        wait_for_close(link)


def main(argv):
    folder, scenario, args = argv[1], argv[2], argv[3:]
    try:
        if scenario.startswith("jex"):
            with lp.Listener() as listener:
                write_file(folder, "port", "%d\n" % listener.port)
                if scenario == "jex":
                    jex(folder, listener, args[0], args[1])
                else:
                    {"jex-refuses": jex_refuses, "jex-closes": jex_closes}[scenario](folder, listener)
        else:
            {"client": client, "clock-only": clock_only, "silent": silent, "early": early, "heartbeat": heartbeat, "ttsync": ttsync}[scenario](
                folder, int(args[0]))
    except (Failed, lp.PeerError, OSError) as e:
        print("HandshakePeer %s: %s" % (scenario, e), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
