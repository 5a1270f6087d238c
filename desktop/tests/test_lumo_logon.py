"""Lumo.exe's main road to a logged-on agent, as a black box in a Wine prefix of its own, driven by
the UI probe, against a scripted Jex (jex_sessions.py) on 127.0.0.1 and the update service stand-in.
Arguments: UiProbe.exe, Lumo.exe (Unix paths)."""
import os
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from lumo_road import (ROAD_LINES, SEED, JexSessions, listening, live_lines, main_road,  # noqa: E402
                       received_in_order, two_free_ports, wait_until)
from probe import Probe, ProbeError, unescape, wine_path  # noqa: E402
from runner import WINE, WinePrefix  # noqa: E402
from updateservice import UpdateServiceStandIn  # noqa: E402

PROBE_EXE, LUMO_EXE = sys.argv[1:3]


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
            if not wait_until(lambda: received_in_order(self.jex, ROAD_LINES), 40):
                raise AssertionError("Jex got %r, expected %r" % (live_lines(self.jex), ROAD_LINES))
            self.assertEqual(probe.ask("wait 0"), "running")
            self.assertEqual(self.update_service.connections()[before:], [b""])
            with self.assertRaises(ProbeError):
                probe.ask("box")
            titles = [unescape(e.split(" ", 4)[4]) for e in probe.events if len(e.split(" ", 4)) > 4]
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
            seen = [unescape(e.split(" ", 4)[4]) for e in probe.events if len(e.split(" ", 4)) > 4]
            self.assertNotIn("Password", seen)

        self.run_road("", check)

    def test_2_hidden_lumo_logs_on_without_a_window(self):
        def check(probe, pa, po):
            self.assertEqual(probe.events, [])

        self.run_road(" -hide", check)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
