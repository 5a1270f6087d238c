"""Lumo.exe logged on against a scripted Jex, fed mutated lines on both application ports and mutated
Jex commands, in batches; after each batch Lumo must still run, answer a heartbeat and register a
fresh application on each port, listen on 127.0.0.1 only and stay under a working-set bound.
Arguments: UiProbe.exe, Lumo.exe (Unix paths). LUMO_FUZZ_COUNT sets the lines per port and the Jex
commands (default small), LUMO_FUZZ_SEED replays a run (its seed is printed; default fixed, "random"
for a new one)."""
import os
import random
import socket
import sys
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from lumo_road import (JexSessions, LumoProgramTest, listening, main_road, received_in_order,  # noqa: E402
                       two_free_ports, ROAD_LINES, wait_until)
from probe import Probe, wine_path  # noqa: E402
from runner import WINE  # noqa: E402
import lumopeer as P  # noqa: E402

PROBE_EXE, LUMO_EXE = sys.argv[1:3]
COUNT = int(os.environ.get("LUMO_FUZZ_COUNT", "300"))
# The suite's run is the same every time, so that it passes or fails for a reason; another seed, or
# "random", explores further.
SEED_TEXT = os.environ.get("LUMO_FUZZ_SEED", "3637309570")
SEED = random.SystemRandom().randrange(1 << 32) if SEED_TEXT == "random" else int(SEED_TEXT)
BATCHES = 10
WORKING_SET_BOUND = 400 * 1024 * 1024  # bytes; a leak per line would pass it long before the end
PORT_PHASE_BOUND = 600  # seconds one batch's lines to the two ports may take

APP_WORDS = ["APLGIN", "HEARTB", "CURTIM", "TTSYNC", "CNPROP", "SNDINT", "AGSTAT", "GETVAR", "SETVAR",
             "LOGOFF", "ALOGOF", "DIALNB", "HANGUP", "SNDMSG", "RCVINT", "STARTS"]
# Jex words whose handling only shows or stores something: words that end the session or download a
# program would end the run by design, not by a fault.
JEX_WORDS = ["AGSTAT", "SETPER", "LUMDIA", "LSTLOC", "LSTAGT", "ASUFIN", "CURTIM", "HEARTB", "TTSYNC",
             "SNDINT", "SNDMSG", "JEXSTA", "CHKPWD", "RQASUD"]


def mutated(rng, words, wide):
    """One line's text (without its CR): a known word with a wrong count of odd fields, random
    characters, control characters, overlong fields or announced payload lengths."""
    kind = rng.randrange(7)
    word = rng.choice(words)
    if kind == 0:
        text = "".join(chr(rng.randrange(1, 0x100)) for _ in range(rng.randrange(1, 80)))
    elif kind == 1:
        text = word + "".join(rng.choice([" ", "\x0c", "\x07", "\x08", "\x00", "\n", "-1", "0", "x"])
                              for _ in range(rng.randrange(0, 30)))
    elif kind == 2:
        text = word + " " + " ".join(str(rng.choice([-1, 0, 1, 2 ** 31 - 1, -2 ** 31, 2 ** 32, 10 ** 20]))
                                     for _ in range(rng.randrange(0, 12)))
    elif kind == 3:
        text = word + " " + rng.choice(["1", "-1"]) + " " + "A" * rng.choice([256, 4096, 65536, 300000])
    elif kind == 4:  # an announced payload, shorter, longer or absent
        n = rng.choice([0, 1, 10, 1000, 2 ** 31 - 1, -5, 10 ** 12])
        text = word + " %d %d" % (rng.randrange(-1, 5), n) + " 0" * rng.randrange(0, 4)
        text += "\r" + "".join(chr(rng.randrange(0, 0x80)) for _ in range(rng.randrange(0, 64)))
    elif kind == 5:
        text = word + " " + " ".join("\x0c\x07\x08"[rng.randrange(3)] * rng.randrange(1, 6)
                                     for _ in range(rng.randrange(1, 6)))
    else:
        text = rng.choice(["", "\x00", "\r", "\n", "\r\n", " ", word]) * rng.randrange(1, 5)
    if wide and rng.randrange(3) == 0:
        at = rng.randrange(len(text) + 1)
        text = text[:at] + chr(rng.choice([0xD800, 0xDBFF, 0xDC00, 0xDFFF])) + text[at:]
    return text


class Drain(threading.Thread):
    """Reads and drops whatever Lumo sends on a fuzzed link, so its writes never wait on us."""

    def __init__(self, sock):
        super().__init__(daemon=True)
        self.sock = sock
        self.start()

    def run(self):
        try:
            while self.sock.recv(65536):
                pass
        except OSError:
            pass


def lumo_working_set(prefix):
    """The largest resident set of a Lumo.exe process of this prefix, in bytes (0: none found)."""
    best = 0
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                if b"Lumo.exe" not in f.read():
                    continue
            with open("/proc/%s/environ" % pid, "rb") as f:
                if ("WINEPREFIX=" + prefix).encode() not in f.read().split(b"\0"):
                    continue
            with open("/proc/%s/status" % pid) as f:
                for line in f:
                    if line.startswith("VmRSS:"):
                        best = max(best, int(line.split()[1]) * 1024)
        except OSError:
            continue
    return best


class LumoFuzzTest(LumoProgramTest):
    def fresh_current_app(self, port):
        with P.PeerLink.connect("127.0.0.1", port, auto_answer=True) as link:
            link.handshake_as_connector()
            link.expect_line(r"STARTS 0 -1 .*")
            stamp = P.heartbeat_stamp()
            link.send_line("HEARTB 1 %s" % stamp)
            self.read_until(link, r"HEARTB 0 %s" % stamp)
            link.send_line("APLGIN 1 5 0")
            self.read_until(link, r"APLGIN 1 -1 .*")

    def fresh_old_app(self, port):
        with socket.create_connection(("127.0.0.1", port), 10) as sock:
            link = P.PeerLink(sock, wide=False, detect=False)
            link.send_raw(b"APLGIN 6\r")
            self.read_until(link, r"APLGIN \d+\.\d+\.\d+\.\d+")

    @staticmethod
    def read_until(link, pattern, timeout=20):
        import re
        deadline = time.monotonic() + timeout
        seen = []
        while True:
            line = link.read_line(max(0.1, deadline - time.monotonic()))
            if re.fullmatch(pattern, line, re.S):
                return
            seen.append(line)
            if time.monotonic() > deadline or len(seen) > 1000:
                raise AssertionError("no %r, got %r" % (pattern, seen[-5:]))

    def fuzz_current(self, rng, port, count):
        link, sent = None, 0
        while sent < count:
            if link is None or rng.randrange(50) == 0:
                if link:
                    link.close()
                link = P.PeerLink.connect("127.0.0.1", port)
                try:
                    if rng.randrange(4):
                        link.handshake_as_connector(expect_push=False)
                except (P.PeerError, OSError):
                    pass
                Drain(link.sock)
            try:
                link.send_raw(link.encode(mutated(rng, APP_WORDS, True) + "\r"))
            except OSError:  # Lumo may end a link that breaks the rules
                link.close()
                link = None
            sent += 1
        if link:
            link.close()

    def fuzz_old(self, rng, port, count):
        sock, wide, sent = None, False, 0
        while sent < count:
            if sock is None or rng.randrange(50) == 0:
                if sock:
                    sock.close()
                sock = socket.create_connection(("127.0.0.1", port), 10)
                wide = rng.randrange(2) == 0
                Drain(sock)
            text = mutated(rng, APP_WORDS, wide) + "\r"
            data = text.encode("utf-16-le", "surrogatepass") if wide else text.encode("latin-1", "replace")
            try:
                sock.sendall(data)
            except OSError:
                sock.close()
                sock = None
            sent += 1
        if sock:
            sock.close()

    def test_mutated_lines_and_commands_cost_nothing(self):
        print("fuzz seed %d, %d lines per port and Jex commands" % (SEED, COUNT), file=sys.stderr)
        rng = random.Random(SEED)
        per_batch = max(1, COUNT // BATCHES)
        script = main_road(self.version_text()).splitlines()[:-1]  # the road without its drain
        # Jex waits for each batch's ports to be done; a large count on a busy machine takes minutes.
        script += ["timeout %d" % PORT_PHASE_BOUND]
        for batch in range(BATCHES):
            lines = [mutated(rng, JEX_WORDS, True).replace("\r", " ") for _ in range(per_batch)]
            script += ["waitfile go%d" % batch]
            # A few lines to a write: sendlines cuts at CR, and a huge write would stall the peer's log.
            for i in range(0, len(lines), 20):
                script.append("sendlines " + "\r".join(lines[i:i + 20]).encode("unicode_escape").decode("ascii"))
            script += ["mark sent%d" % batch]
        script += ["drain"]
        self.jex = JexSessions(1, 30, ["\n".join(script)])
        pa, po = two_free_ports()
        probe = Probe(WINE, PROBE_EXE, [], env=self.prefix.env)
        try:
            probe.ask("start \"%s\" -jex:127.0.0.1:%d -agentid:12 -locationid:7 -hide -appport:%d -oldappport:%d"
                      % (wine_path(LUMO_EXE), self.jex.port, pa, po))
            self.assertTrue(wait_until(lambda: received_in_order(self.jex, ROAD_LINES), 40), "no log-on")
            for batch in range(BATCHES):
                started = time.monotonic()
                self.fuzz_current(rng, pa, per_batch)
                self.fuzz_old(rng, po, per_batch)
                print("batch %d: the ports took %.1f s" % (batch, time.monotonic() - started), file=sys.stderr)
                with open(os.path.join(self.jex.folder, "go%d" % batch), "w"):
                    pass
                self.assertTrue(wait_until(lambda: os.path.exists(os.path.join(self.jex.folder, "sent%d" % batch)),
                                           120), "Jex's batch %d stalled" % batch)
                where = "after batch %d of seed %d" % (batch, SEED)
                self.assertEqual(probe.ask("wait 0"), "running", where)
                self.fresh_current_app(pa)
                self.fresh_old_app(po)
                self.assertEqual(listening(pa), ["127.0.0.1"], where)
                self.assertEqual(listening(po), ["127.0.0.1"], where)
                size = lumo_working_set(self.prefix.path)
                self.assertTrue(0 < size < WORKING_SET_BOUND, "working set %d %s" % (size, where))
            self.assertEqual(probe.ask("wait 0"), "running")
        except BaseException:
            type(self).prefix.failed = True
            print("jex events: %s" % self.jex.events(), file=sys.stderr)
            raise
        finally:
            probe.close()

    def version_text(self):
        probe = Probe(WINE, PROBE_EXE, env=self.prefix.env)
        try:
            return probe.ask("version " + wine_path(LUMO_EXE))
        finally:
            probe.close()


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
