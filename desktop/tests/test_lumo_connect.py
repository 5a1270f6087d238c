"""Lumo.exe connecting to Jex, as a black box in a Wine prefix of its own, driven by the UI probe,
against a Jex of several links (jex_sessions.py) on 127.0.0.1 and the update service stand-in.
Real ticks: 500 ms, and a new attempt every 10 s. Times are taken from the Jex's own events.
Arguments: UiProbe.exe, Lumo.exe (Unix paths)."""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path[:0] = [os.path.join(ROOT, "tests", "probe"), os.path.join(ROOT, "tests", "peers")]

from probe import Probe, ProbeError, unescape, wine_path  # noqa: E402
from runner import WINE, free_port  # noqa: E402
from lumo_road import JexSessions, LumoProgramTest, listening, release_version, two_free_ports  # noqa: E402

PROBE_EXE, LUMO_EXE = sys.argv[1:3]

# Jex of the same release as Lumo: no version warning.
GREETING = "handshake\ngreet 0 %s 0.0.0.0\n" % release_version()

PEERS = os.path.join(ROOT, "tests", "peers")


def run_peer(command, script):
    """Runs an application peer of tests/peers on a script of its own; (exit code, its stderr)."""
    folder = tempfile.mkdtemp(prefix="lumo-app-")
    try:
        path = os.path.join(folder, "script")
        with open(path, "w", encoding="utf-8") as f:
            f.write(script)
        done = subprocess.run([sys.executable] + [a.replace("{script}", path).replace("{dir}", folder)
                                                  for a in command],
                              stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=60)
        return done.returncode, done.stderr
    finally:
        shutil.rmtree(folder, ignore_errors=True)


class LumoConnectTest(LumoProgramTest):

    def run_lumo(self, arguments, check):
        """Starts Lumo under the probe with its windows watched and hands the probe to check."""
        log = []
        probe = Probe(WINE, PROBE_EXE, log, env=self.prefix.env)
        try:
            probe.ask("watch on")
            probe.ask("start \"%s\" %s" % (wine_path(LUMO_EXE), arguments))
            check(probe)
        except BaseException:
            type(self).prefix.failed = True
            try:
                print("exit: " + probe.ask("wait 0"), file=sys.stderr)
                probe.save_screen(self.prefix.file("failure.png"))
            except Exception as e:  # the evidence is a help, not the result
                print("no screenshot: %s" % e, file=sys.stderr)
            print("\n".join(log), file=sys.stderr)
            if self.jex:
                print("jex events: %s" % self.jex.events(), file=sys.stderr)
            raise
        finally:
            self.assertEqual(probe.close(), 0)

    @staticmethod
    def dialogs_seen(probe):
        return [e for e in probe.events if e.split(" ")[2] == "#32770"]

    def status(self, probe):
        return unescape(probe.ask("text %s 1013" % probe.until("dialog 1013")))

    # Bounds, not timings: each wait ends as soon as its condition holds, and only a lost status
    # or window runs into them, also on a loaded machine of two cores.
    def wait_for_status(self, probe, prefix, timeout=30):
        deadline = time.monotonic() + timeout
        while True:
            text = self.status(probe)
            if text.startswith(prefix):
                return text
            if time.monotonic() > deadline:
                raise AssertionError("status %r, expected %r..." % (text, prefix))
            time.sleep(0.05)

    def cancel(self, probe):
        probe.ask("click %s 2" % probe.until("dialog 1013"))
        self.assertEqual(probe.ask("wait 20000"), "exited 0")

    def test_1_a_quick_greeting_is_never_seen_and_checks_the_update_service(self):
        self.jex = JexSessions(1, 20, [GREETING + "drain"])
        before = len(self.update_service.connections())

        def check(probe):
            # The next window is the log-on dialog; cancelled, it ends start-up.
            login = probe.until("dialog 1018")
            deadline = time.monotonic() + 20
            while not self.dialogs_seen(probe) and time.monotonic() < deadline:
                time.sleep(0.05)
            self.assertEqual([e.split(" ")[1] for e in self.dialogs_seen(probe)], [login])
            probe.ask("click %s 2" % login)
            self.assertEqual(probe.ask("wait 20000"), "exited 0")
            self.assertEqual(self.jex.finish(), 0)
            self.assertEqual(self.jex.received(0), ["LSTAGT -1 -1 0", "ALOGOF"])
            self.assertEqual(self.update_service.connections()[before:], [b""])

        self.run_lumo("-jex:127.0.0.1:%d" % self.jex.port, check)

    def test_2_nothing_listening_shows_waiting_then_the_error_and_cancel_ends(self):
        port = free_port()

        def check(probe):
            waiting = "Waiting for Jex [127.0.0.1:%d]" % port
            failed = "No response from Jex [127.0.0.1:%d] (Error 10061: " % port
            text = self.wait_for_status(probe, failed)
            self.assertTrue(text.endswith(")"), text)
            # The watch polls every 50 ms: the tick that shows the error may have shown the dialog
            # a moment before the watch reports it.
            deadline = time.monotonic() + 20
            while not self.dialogs_seen(probe) and time.monotonic() < deadline:
                time.sleep(0.05)
            self.assertTrue(self.dialogs_seen(probe), "the dialog shows once a tick has passed")
            # The main window and its tool bar were made before the connection; both wait hidden.
            main, toolbar = probe.ask("dialog 1043"), probe.ask("dialog 1068")
            windows = probe.ask("windows").split()
            self.assertIn(main + ":#32770:0", windows)
            self.assertIn(toolbar + ":#32770:0", windows)
            self.assertEqual([probe.ask("lvwidth %s 1060 %d" % (main, i)) for i in range(7)],
                             ["60", "120", "60", "60", "60", "65", "50"])
            # the next attempt, a tick of ten seconds later
            self.assertEqual(self.wait_for_status(probe, waiting, timeout=40), waiting)
            self.cancel(probe)
            with self.assertRaises(ProbeError):
                probe.ask("box")

        self.run_lumo("-jex:127.0.0.1:%d" % port, check)

    def test_3_a_jex_that_never_greets_gets_a_new_link_every_ten_seconds(self):
        self.jex = JexSessions(3, 30, ["handshake\ndrain"])

        def check(probe):
            self.jex.wait_for("accept", 3, 40)
            self.cancel(probe)
            accepts = [float(d) for _, _, d in self.jex.events("accept")]
            for a, b in zip(accepts, accepts[1:]):
                self.assertAlmostEqual(b - a, 10.0, delta=1.0)
            self.assertEqual([d for _, _, d in self.jex.events("before")], ["closed", "closed"])
            self.assertEqual(self.jex.finish(), 0)

        self.run_lumo("-jex:127.0.0.1:%d" % self.jex.port, check)

    def test_4_a_jex_that_never_answers_the_handshake_is_left_after_its_rounds(self):
        self.jex = JexSessions(2, 20, ["silent"])

        def check(probe):
            self.jex.wait_for("accept", 2, 20)
            self.cancel(probe)
            first, second = [float(d) for _, _, d in self.jex.events("accept")]
            self.assertGreaterEqual(second - first, 3.0)
            self.assertLessEqual(second - first, 4.2)

        self.run_lumo("-jex:127.0.0.1:%d" % self.jex.port, check)

    def test_5_hidden_lumo_shows_no_window_while_it_connects(self):
        port = free_port()

        def check(probe):
            self.wait_for_status(probe, "No response from Jex")
            time.sleep(1.5)  # three ticks that would have shown it: the watch must stay silent
            self.assertEqual(probe.events, [])
            self.cancel(probe)

        self.run_lumo("-jex:127.0.0.1:%d -hide" % port, check)

    def test_6_an_unreadable_greeting_shows_its_box_and_ends_start_up(self):
        self.jex = JexSessions(1, 20, ["handshake\ngreet x %s 0.0.0.0\ndrain" % release_version()])

        def check(probe):
            box, text = probe.until("box").split(" ", 1)
            self.assertEqual(unescape(text), "Jex sent a greeting that Lumo cannot read.")
            probe.ask("click %s 1" % box)
            self.assertEqual(probe.ask("wait 20000"), "exited 0")
            self.assertEqual(self.jex.finish(), 0)
            self.assertEqual(self.jex.received(0), [])

        self.run_lumo("-jex:127.0.0.1:%d" % self.jex.port, check)

    def test_7_port_zero_shows_the_systems_error_and_cancel_still_ends(self):
        def check(probe):
            self.wait_for_status(probe, "No response from Jex [127.0.0.1:0] (Error ")
            self.cancel(probe)

        self.run_lumo("-jex:127.0.0.1:", check)

    def test_8_both_ports_serve_local_programs_while_lumo_waits_for_jex(self):
        jex, (pa, po) = free_port(), two_free_ports()

        def check(probe):
            self.wait_for_status(probe, "No response from Jex")
            self.assertEqual(listening(pa), ["127.0.0.1"])
            self.assertEqual(listening(po), ["127.0.0.1"])
            with self.assertRaises(ConnectionRefusedError):
                socket.create_connection(("127.0.0.2", pa), timeout=5).close()
            # Both answer from the desktop's own state: no link to Jex yet, no agent state.
            code, err = run_peer([os.path.join(PEERS, "scripted_app.py"), "--port", str(pa), "--script",
                                  "{script}"], "connect brenn\naplgin 0 1\nanswer APLGIN 0 0\nclose\n")
            self.assertEqual(code, 0, err)
            code, err = run_peer([os.path.join(PEERS, "oldapp.py"), "{dir}", str(po), "{script}"],
                                 "send 'APLGIN 5'\nexpectre 'APLGIN \\d+\\.\\d+\\.\\d+\\.\\d+'\n"
                                 "expect 'AGSTAT '\nclose\n")
            self.assertEqual(code, 0, err)
            self.cancel(probe)

        self.run_lumo("-jex:127.0.0.1:%d -appport:%d -oldappport:%d" % (jex, pa, po), check)

    def test_9_ports_held_by_another_program_leave_start_up_going_without_a_box(self):
        jex = free_port()
        held = []
        for _ in range(2):
            s = socket.socket()
            s.bind(("127.0.0.1", 0))
            s.listen(1)
            held.append(s)
        pa, po = (s.getsockname()[1] for s in held)

        def check(probe):
            self.wait_for_status(probe, "No response from Jex")
            with self.assertRaises(ProbeError):
                probe.ask("box")
            self.assertLessEqual(len(self.dialogs_seen(probe)), 1, "the connection dialog alone")
            self.cancel(probe)

        try:
            self.run_lumo("-jex:127.0.0.1:%d -appport:%d -oldappport:%d" % (jex, pa, po), check)
        finally:
            for s in held:
                s.close()


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
