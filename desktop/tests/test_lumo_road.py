"""Lumo.exe past the main road, as a black box in a Wine prefix of its own, driven by the UI probe,
against a scripted Jex (jex_sessions.py), scripted applications on both application ports
(tests/peers/scripted_app.py for 105 on the current port, tests/peers/oldapp.py for 5 on the old
one) and the child-program stand-in as the VNC server. Arguments: UiProbe.exe, Lumo.exe, the
folder of the stand-in's copies (Unix paths)."""
import os
import re
import select
import socket
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from lumo_road import (ROOT, ROAD_LINES, JexSessions, LumoProgramTest, live_lines, main_road,  # noqa: E402
                       received_in_order, two_free_ports, wait_until)
from probe import Probe, ProbeError, wine_path  # noqa: E402
from runner import WINE  # noqa: E402
import lumopeer as lp  # noqa: E402
import scripted_app as sa  # noqa: E402

PROBE_EXE, LUMO_EXE, CHILD_PROGRAMS = sys.argv[1:4]

# Application 105's setting 9, as Jex keeps it for owner 5.
SETTING_9 = 'Id = "9" Name = "Colour" lValue = "12" strValue = "blue" '


def visible(probe, hwnd):
    return hwnd + ":#32770:1" in probe.ask("windows").split()


def no_box(probe):
    try:
        probe.ask("box")
        return False
    except ProbeError:
        return True


class OldApp:
    """oldapp.py in a folder of its own, following the script."""

    def __init__(self, port, script):
        self.folder = tempfile.mkdtemp(prefix="lumo-oldapp-")
        path = os.path.join(self.folder, "script")
        with open(path, "w", encoding="utf-8") as f:
            f.write(script + "\n")
        self.proc = subprocess.Popen([sys.executable, os.path.join(ROOT, "tests", "peers", "oldapp.py"), self.folder,
                                      str(port), path], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT)

    def has(self, name):
        return os.path.exists(os.path.join(self.folder, name))

    def tell(self, name):
        with open(os.path.join(self.folder, name), "w"):
            pass

    def finish(self, timeout=30):
        try:
            out, _ = self.proc.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()  # ours: started above
            out, _ = self.proc.communicate()
        return self.proc.returncode, out.decode("utf-8", "replace")


class ReportListener:
    """The loopback port the stand-in reports to (LUMO_CHILD_REPORT_PORT)."""

    def __init__(self):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(4)
        self.port = self.sock.getsockname()[1]
        self.link = None
        self.lines = {}

    def report(self, timeout):
        """The stand-in's lines by their first word, once all have come; None when none came."""
        self.sock.settimeout(timeout)
        try:
            self.link, _ = self.sock.accept()
        except socket.timeout:
            return None
        data = b""
        deadline = time.monotonic() + timeout
        while b"\nprocess " not in data or not data.endswith(b"\n"):
            self.link.settimeout(max(0.1, deadline - time.monotonic()))
            piece = self.link.recv(4096)
            if not piece:
                break
            data += piece
        for line in data.decode("utf-8").splitlines():
            word, _, rest = line.partition(" ")
            self.lines[word] = rest
        return self.lines

    def ended(self, timeout):
        """Whether the stand-in's link ended (the program is gone) within the bound."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            readable, _, _ = select.select([self.link], [], [], 0.2)
            if readable:
                try:
                    if not self.link.recv(4096):
                        return True
                except OSError:
                    return True
        return False

    def close(self):
        if self.link:
            self.link.close()
        self.sock.close()


class LumoRoadTest(LumoProgramTest):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        probe = Probe(WINE, PROBE_EXE, env=cls.prefix.env)
        try:
            cls.version = probe.ask("version " + wine_path(LUMO_EXE))
        finally:
            probe.close()

    def run_lumo(self, script, extra, check, env=None):
        """Lumo on the main road against a Jex playing the script; check acts once the road is
        through, with the probe and both application ports."""
        self.jex = JexSessions(1, 30, ["\n".join(script)])
        pa, po = two_free_ports()
        log = []
        probe = Probe(WINE, PROBE_EXE, log, env=dict(self.prefix.env, **(env or {})))
        try:
            probe.ask("watch on")
            probe.ask("start \"%s\" -jex:127.0.0.1:%d -agentid:12 -locationid:7 -appport:%d -oldappport:%d%s"
                      % (wine_path(LUMO_EXE), self.jex.port, pa, po, extra))
            if not wait_until(lambda: received_in_order(self.jex, ROAD_LINES), 40):
                raise AssertionError("Jex got %r" % live_lines(self.jex))
            check(probe, pa, po)
        except BaseException:
            type(self).prefix.failed = True
            print("\n".join(log), file=sys.stderr)
            print("jex events: %s" % self.jex.events(), file=sys.stderr)
            raise
        finally:
            self.assertEqual(probe.close(), 0)  # the probe ends the program it started
        self.assertEqual(self.jex.finish(), 0)

    def test_7_to_11_applications_settings_and_the_agent_monitor(self):
        script = main_road(self.version).splitlines()[:-1] + [
            "timeout 120",  # the test registers its applications first
            "expectline RQASFA 12 5 1",
            "mark asked",
            "waitfile silent",  # Jex says nothing for 3 s
            "ttsync 3600",
            "send UPDASE 5 '%s'" % SETTING_9,
            "send UPDASE 5 ''",
            "waitfile seein",
            "send SEE-IN 127.0.0.1 5500 3",
            "drain"]
        server = os.path.join(CHILD_PROGRAMS, "winvnc.exe")
        reports = ReportListener()
        links = []
        old = None

        def check(probe, pa, po):
            nonlocal old
            # Row 7: 105 registers on the current port, the old client 5 on the old one.
            app = sa.AppLink.connect("105", "127.0.0.1", pa)
            links.append(app)
            app.expect(r"STARTS 0 -1 .*")
            app.request("APLGIN", [105, 1])
            app.answer("APLGIN", "1 0")
            old = OldApp(po, "timeout 120\nsend 'APLGIN 5'\nexpect 'APLGIN %s'\nmark registered\nwaitfile leave\nclose"
                         % self.version)
            self.assertTrue(wait_until(lambda: old.has("registered") or old.proc.poll() is not None, 20),
                            "the old client got no answer")
            if not old.has("registered"):
                self.fail("the old client was not answered: %r" % (old.finish(),))

            # Row 8: a second 105 is closed unanswered.
            second = sa.AppLink.connect("second", "127.0.0.1", pa)
            links.append(second)
            second.expect(r"STARTS 0 -1 .*")
            second.request("APLGIN", [105, 1])
            second.link.expect_closed(10)

            # Row 9: a setting of an owner Lumo has not cached yet is asked of Jex, which is silent
            # for 3 s; its clock push reaches 105 before the answer.
            app.request("GETASE", [9])
            self.assertEqual(app.last_id, 2)
            self.assertTrue(wait_until(lambda: os.path.exists(os.path.join(self.jex.folder, "asked")), 20),
                            live_lines(self.jex))
            asked = time.monotonic()
            while time.monotonic() - asked < 3:  # the silence is the case itself
                time.sleep(0.1)
            with open(os.path.join(self.jex.folder, "silent"), "w"):
                pass
            got, _ = app.answer("GETASE", r'(?=.*Id\x0c=\x0c"9")(?=.*Name\x0c=\x0c"Colour").*', timeout=20)
            asked_at = app.history.index("> GETASE 2 9")
            self.assertTrue([e for e in app.history[asked_at:] if e.startswith("< TTSYNC ")],
                            "no clock push before the answer: %r" % app.history[asked_at:])
            self.assertTrue(received_in_order(self.jex, ROAD_LINES + ["RQASFA 12 5 1"]), live_lines(self.jex))

            # Row 10: what 105 saves stays with Lumo; the next request shows it was handled.
            app.request("SAVASE", [9, "nm", 42, "some text"])
            app.request("GETASE", [9])
            app.answer("GETASE", r'(?=.*Name\x0c=\x0c"nm")(?=.*lValue\x0c=\x0c"42").*')
            self.assertEqual(live_lines(self.jex)[len(ROAD_LINES) + 1:], [], "nothing more to Jex")

            # Row 11: Jex asks to watch the agent: the VNC server reports how it was started.
            with open(os.path.join(self.jex.folder, "seein"), "w"):
                pass
            said = reports.report(30)
            self.assertIsNotNone(said, "the VNC server did not start")
            self.assertEqual(said.get("commandline"),
                             '"%s" -sc_prompt -sc_exit -multi -id:3 -connect 127.0.0.1:5500 -run' % wine_path(server))

        try:
            self.run_lumo(script, " -agentmonitor:%s" % wine_path(server), check,
                          env={"LUMO_CHILD_REPORT_PORT": str(reports.port)})
            # Lumo has ended: its job took the server with it.
            self.assertTrue(reports.ended(20), "the VNC server outlived Lumo")
        finally:
            reports.close()
            for link in links:
                link.link.close()
            if old:
                old.tell("leave")
                old.finish()

    def test_12_hidden_lumo_shows_when_the_last_application_leaves(self):
        links = []
        old = None

        def check(probe, pa, po):
            nonlocal old
            app = sa.AppLink.connect("105", "127.0.0.1", pa)
            links.append(app)
            app.expect(r"STARTS 0 -1 .*")
            app.request("APLGIN", [105, 1])
            app.answer("APLGIN", "1 0")
            old = OldApp(po, "timeout 120\nsend 'APLGIN 5'\nexpect 'APLGIN %s'\nmark registered\nwaitfile leave\nclose"
                         % self.version)
            self.assertTrue(wait_until(lambda: old.has("registered") or old.proc.poll() is not None, 20))
            if not old.has("registered"):
                self.fail("the old client was not answered: %r" % (old.finish(),))
            main = probe.until("dialog 1043")
            self.assertFalse(visible(probe, main), "Lumo runs hidden")

            self.assertIsNone(old.proc.poll(), "5 left early")
            app.link.close()
            self.assertFalse(wait_until(lambda: visible(probe, main), 1), "shown while 5 is still there")
            old.tell("leave")
            self.assertEqual(old.finish()[0], 0)
            self.assertTrue(wait_until(lambda: visible(probe, main), 20), "the main window stays hidden")
            self.assertTrue(no_box(probe), "a question was asked")

        try:
            self.run_lumo(main_road(self.version).splitlines(), " -hide", check)
        finally:
            for link in links:
                link.link.close()
            if old and old.proc.poll() is None:
                old.tell("leave")
                old.finish()


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
