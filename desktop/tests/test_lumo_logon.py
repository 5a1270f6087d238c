"""Lumo.exe's main road to a logged-on agent, as a black box in a Wine prefix of its own, driven by
the UI probe, against a scripted Jex (jex_sessions.py) on 127.0.0.1 and the update service stand-in.
Arguments: UiProbe.exe, Lumo.exe (Unix paths)."""
import os
import re
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from test_lumo_connect import (SEED, JexSessions, listening, two_free_ports)  # noqa: E402
from probe import Probe, ProbeError, unescape, wine_path  # noqa: E402
from runner import WINE, WinePrefix, free_port  # noqa: E402
from updateservice import UpdateServiceStandIn  # noqa: E402

PROBE_EXE, LUMO_EXE = sys.argv[1:3]

AGENTS = ('Count = "2" ID0 = "13" LN0 = "Adams" FN0 = "Al" UN0 = "aadams" '
          'ID1 = "12" LN1 = "Doe" FN1 = "Jane" UN1 = "jdoe"')


def main_road(version):
    """Jex's side of the road: agent 12 logs on at location 7, no password."""
    return "\n".join([
        "handshake",
        "ttsync 0",
        "greet 0 %s 0.0.0.0 0 -" % version,
        "expectline LSTAGT -1 -1 0",
        "send LSTAGT -1 -1 0 '%s'" % AGENTS,
        "expectline RQASUD 1 12",
        "send SETPER 784",
        "send ASUFIN",
        # The UTC offset carries the server clock's correction, which a clock push gives to within a second.
        "expect ALOGON 12 7 -?[01]",
        "send ALOGON 0 7 jdoe Desk7",
        "send ASUFIN",
        "expectline RQASUD 1 12",
        "expectline ENDINI",
        "drain",
    ])


class LumoLogonTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = WinePrefix()
        cls.prefix.import_reg(SEED)
        cls.update_service = UpdateServiceStandIn()
        probe = Probe(WINE, PROBE_EXE, env=cls.prefix.env)
        try:
            cls.version = probe.ask("version " + wine_path(LUMO_EXE))
        finally:
            probe.close()

    @classmethod
    def tearDownClass(cls):
        cls.update_service.stop()
        cls.prefix.close()
        if cls.prefix.failed:
            print("prefix kept: " + cls.prefix.path, file=sys.stderr)

    def setUp(self):
        self.jex = JexSessions(1, 30, [main_road(self.version)])

    def tearDown(self):
        self.jex.close()

    def run_road(self, extra, check):
        pa, po = two_free_ports()
        before = len(self.update_service.connections())
        log = []
        probe = Probe(WINE, PROBE_EXE, log, env=self.prefix.env)
        try:
            probe.ask("watch on")
            probe.ask("start \"%s\" -jex:127.0.0.1:%d -agentid:12 -locationid:7 -appport:%d -oldappport:%d%s"
                      % (wine_path(LUMO_EXE), self.jex.port, pa, po, extra))
            self.wait_received(["LSTAGT -1 -1 0", "RQASUD 1 12", r"ALOGON 12 7 -?[01]", "RQASUD 1 12", "ENDINI"])
            self.assertEqual(probe.ask("wait 0"), "running")
            self.assertEqual(self.update_service.connections()[before:], [b""])
            with self.assertRaises(ProbeError):
                probe.ask("box")
            titles = [unescape(e.split(" ", 3)[3]) for e in probe.events if len(e.split(" ", 3)) > 3]
            self.assertNotIn("Connecting to Jex", titles)
            check(probe, pa, po)
        except BaseException:
            type(self).prefix.failed = True
            try:
                probe.save_screen(self.prefix.file("failure.png"))
            except Exception as e:  # the evidence is a help, not the result
                print("no screenshot: %s" % e, file=sys.stderr)
            print("\n".join(log), file=sys.stderr)
            print("jex events: %s" % self.jex.events(), file=sys.stderr)
            raise
        finally:
            # Lumo cannot be told to end yet: the probe ends the program it started.
            self.assertEqual(probe.close(), 0)
        self.assertEqual(self.jex.finish(), 0)

    def wait_received(self, lines, timeout=40):
        deadline = time.monotonic() + timeout
        while True:
            # The traffic file is written when the link ends; until then the events tell the state.
            seen = self.live_lines()
            if len(seen) >= len(lines) and all(re.fullmatch(p, line) for p, line in zip(lines, seen)):
                return
            if time.monotonic() > deadline:
                raise AssertionError("Jex got %r, expected %r" % (seen, lines))
            time.sleep(0.1)

    def live_lines(self):
        path = os.path.join(self.jex.folder, "live0")
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8") as f:
            return [line[2:] for line in f.read().splitlines() if line.startswith("< ")
                    and not line.startswith(("< CNPROP", "< TTSYNC", "< HEARTB", "< CURTIM"))]

    def test_1_agent_12_logs_on_at_location_7(self):
        def check(probe, pa, po):
            self.assertEqual(listening(pa), ["127.0.0.1"])
            self.assertEqual(listening(po), ["127.0.0.1"])
            main = probe.ask("dialog 1043")
            self.assertIn(main + ":#32770:1", probe.ask("windows").split())
            # The Login dialog ends on the ALOGON answer posted to it: gone within a moment.
            deadline = time.monotonic() + 10
            while probe.ask("windows").count("#32770:") and time.monotonic() < deadline:
                try:
                    probe.ask("dialog 1018")
                except ProbeError:
                    break
                time.sleep(0.05)
            with self.assertRaises(ProbeError):
                probe.ask("dialog 1018")
            seen = [unescape(e.split(" ", 3)[3]) for e in probe.events if len(e.split(" ", 3)) > 3]
            self.assertNotIn("Password", seen)

        self.run_road("", check)

    def test_2_hidden_lumo_logs_on_without_a_window(self):
        def check(probe, pa, po):
            self.assertEqual(probe.events, [])

        self.run_road(" -hide", check)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
