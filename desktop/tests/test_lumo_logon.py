"""Lumo.exe's main road to a logged-on agent, as a black box in a Wine prefix of its own, driven by
the UI probe, against a scripted Jex (jex_sessions.py) on 127.0.0.1 and the update service stand-in.
Arguments: UiProbe.exe, Lumo.exe (Unix paths)."""
import contextlib
import os
import random
import socket
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from lumo_road import (ROAD_LINES, JexSessions, LumoProgramTest, listening, live_lines, live_traffic,  # noqa: E402
                       main_road, opening, received_in_order, two_free_ports, wait_until)
from probe import Probe, ProbeError, unescape, wine_path  # noqa: E402
from runner import WINE, free_port  # noqa: E402

PROBE_EXE, LUMO_EXE = sys.argv[1:3]

WM_CHAR = 0x0102
LOCATIONS = ('Count = "2" ID0 = "10" NM0 = "Desk 10" CNM0 = "PC10" '
             'ID1 = "9" NM1 = "Desk 9" CNM1 = "PC9"')


def free_pair():
    """A loopback port free at the time of asking whose next port is free too."""
    while True:
        port = free_port()
        if port < 65535 and not listening(port + 1):
            return port


@contextlib.contextmanager
def taken_pair():
    """Two free loopback ports, at least two apart and each with a free next port, held by
    listeners of the test until the block ends: the current and the old application port taken."""
    taken = []
    try:
        pa, po = free_pair(), free_pair()
        while abs(po - pa) < 2:
            po = free_pair()
        for port in (pa, po):
            holder = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            taken.append(holder)
            holder.bind(("127.0.0.1", port))
            holder.listen(1)
        yield pa, po
    finally:
        for holder in taken:
            holder.close()


AUTHENTICATION = """[HKEY_CURRENT_USER\\Software\\Quelmoor\\LUMO\\Settings]
"UseAuthentication"=dword:%08x
"""


def hold_ports(count):
    """Listening sockets on count free loopback ports in a row; None: on 65530 to 65535, of which
    another program may hold some already, but not the first."""
    if count is None:
        first = 65530
        held = []
        for port in range(first, 65536):
            holder = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            try:
                holder.bind(("127.0.0.1", port))
                holder.listen(1)
                held.append(holder)
            except OSError:
                holder.close()
                if port == first:
                    for each in held:
                        each.close()
                    raise unittest.SkipTest("port %d is taken" % first)
        return held
    for _ in range(50):
        first = random.randrange(20000, 30000)
        held = []
        try:
            for port in range(first, first + count):
                holder = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
                held.append(holder)
                holder.bind(("127.0.0.1", port))
                holder.listen(1)
            return held
        except OSError:
            for holder in held:
                holder.close()
    raise AssertionError("no %d free ports in a row" % count)


def listener_inode(port):
    """The inode of the socket that listens on the loopback TCP port, None without one: a listener
    made again has another. Read without starting a program, so it can be polled often."""
    with open("/proc/net/tcp") as f:
        for line in f.read().splitlines()[1:]:
            fields = line.split()
            if fields[1] == "0100007F:%04X" % port and fields[3] == "0A":
                return fields[9]
    return None


def titles(probe):
    """The titles of the windows that became visible so far."""
    return [unescape(e.split(" ", 4)[4]) for e in probe.events if len(e.split(" ", 4)) > 4]


def visible(probe, hwnd):
    return hwnd + ":#32770:1" in probe.ask("windows").split()


class LumoLogonTest(LumoProgramTest):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        probe = Probe(WINE, PROBE_EXE, env=cls.prefix.env)
        try:
            cls.version = probe.ask("version " + wine_path(LUMO_EXE))
        finally:
            probe.close()

    def run_lumo(self, script, extra, lines, check, args="-agentid:12 -locationid:7", ports=None, at_start=None,
                 ready=None):
        """Starts Lumo against a Jex playing the script, lets at_start act at once, waits until Lumo has
        sent the lines (patterns, past the handshake and the clock) and ready holds, then lets
        check act and look."""
        if self.jex:
            self.jex.close()
        self.jex = JexSessions(1, 30, ["\n".join(script)])
        pa, po = ports or two_free_ports()
        before = len(self.update_service.connections())
        log = []
        probe = Probe(WINE, PROBE_EXE, log, env=self.prefix.env)
        try:
            probe.ask("watch on")
            probe.ask("start \"%s\" -jex:127.0.0.1:%d %s -appport:%d -oldappport:%d%s"
                      % (wine_path(LUMO_EXE), self.jex.port, args, pa, po, extra))
            if at_start:
                at_start(probe, pa, po)
            if not wait_until(lambda: received_in_order(self.jex, lines) and (not ready or ready(probe)), 40):
                raise AssertionError("Jex got %r, expected %r%s" % (live_lines(self.jex), lines,
                                                                    ", and the condition did not hold" if ready else ""))
            self.assertEqual(probe.ask("wait 0"), "running")
            self.assertEqual(self.update_service.connections()[before:], [b""])
            self.assertNotIn("Connecting to Jex", titles(probe))
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

    def run_road(self, extra, check):
        def road_check(probe, pa, po):
            with self.assertRaises(ProbeError):
                probe.ask("box")
            check(probe, pa, po)

        self.run_lumo(main_road(self.version).splitlines(), extra, ROAD_LINES, road_check)

    def test_1_agent_12_logs_on_at_location_7(self):
        def check(probe, pa, po):
            self.assertEqual(listening(pa), ["127.0.0.1"])
            self.assertEqual(listening(po), ["127.0.0.1"])
            main = probe.ask("dialog 1043")
            self.assertTrue(visible(probe, main))
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
            self.assertNotIn("Password", titles(probe))

        self.run_road("", check)

    def test_2_hidden_lumo_logs_on_without_a_window(self):
        def check(probe, pa, po):
            self.assertEqual(probe.events, [])

        self.run_road(" -hide", check)


    def test_3_a_given_password_is_checked_without_the_password_window(self):
        script = opening(self.version, flags=1) + [
            "password CHKPWD 2 secret", "send CHKPWD 12 0",
            "expectline RQASUD 1 12", "send SETPER 784", "send ASUFIN",
            "expect ALOGON 12 7 -?[01]", "drain"]

        def check(probe, pa, po):
            self.assertNotIn("Password", titles(probe))
            with self.assertRaises(ProbeError):
                probe.ask("box")

        self.run_lumo(script, " -pwd:secret", ["LSTAGT -1 -1 0", "CHKPWD 1 12 [A-P]{32}", "RQASUD 1 12",
                                                 r"ALOGON 12 7 -?[01]"], check)

    def test_4_a_refused_password_shows_the_window_and_a_typed_wrong_one_the_box(self):
        script = opening(self.version, flags=1) + [
            "password CHKPWD 2 secret", "send CHKPWD 12 100",
            "password CHKPWD 2 wrong", "send CHKPWD 12 100", "drain"]

        def check(probe, pa, po):
            window = probe.until("dialog 1120")
            self.assertTrue(wait_until(lambda: visible(probe, window), 10), "the Password window stays hidden")
            self.assertEqual(probe.ask("text %s 1002" % window), "")
            with self.assertRaises(ProbeError):
                probe.ask("box")
            for c in "wrong":
                probe.ask("post %s 1002 %d %d 0" % (window, WM_CHAR, ord(c)))
            self.assertTrue(wait_until(lambda: probe.ask("text %s 1002" % window) == "wrong", 5))
            probe.ask("click %s 1" % window)
            self.assertEqual(probe.until("box", 20).split(" ", 1)[1], "Invalid password")
            self.assertEqual(len(live_lines(self.jex)), 3, "a second CHKPWD, and no log-on")

        self.run_lumo(script, " -pwd:secret", ["LSTAGT -1 -1 0", "CHKPWD 1 12 [A-P]{32}"], check)

    def test_5_the_location_comes_by_the_permission_bits(self):
        chosen = r"ALOGON 12 9 -?[01]"  # Desk 9 sorts before Desk 10 and is chosen with OK
        for setper, location, asked, logon in [
                (4, 7, False, r"ALOGON 12 -1 -?[01]"),   # no location, whatever was given
                (16, 7, False, r"ALOGON 12 7 -?[01]"),   # the given one
                (16, 0, True, chosen),                   # none given: the agent chooses
                (20, 7, False, r"ALOGON 12 7 -?[01]"),   # bit 4 wins over bit 2
                (0, 7, True, chosen)]:                   # no bit: chosen at every log-on
            with self.subTest(setper=setper, location=location):
                script = opening(self.version) + [
                    "expectline RQASUD 1 12", "send SETPER %d" % setper, "send ASUFIN"]
                if asked:
                    script += ["expectline LSTLOC -1 -1", "send LSTLOC -1 -1 '%s'" % LOCATIONS]
                script += ["expect " + logon, "drain"]
                lines = ["LSTAGT -1 -1 0", "RQASUD 1 12"] + (["LSTLOC -1 -1"] if asked else []) + [logon]

                def check(probe, pa, po):
                    if asked:
                        window = probe.until("dialog 1240")
                        self.assertTrue(wait_until(lambda: visible(probe, window), 10), "the dialog stays hidden")
                        probe.until("lvcell %s 1240 1 0" % window)  # the list has come
                        probe.ask("click %s 1030" % window)  # its OK
                        self.assertTrue(wait_until(lambda: received_in_order(self.jex, lines), 20),
                                        live_lines(self.jex))
                    else:
                        self.assertNotIn("Select agent location", titles(probe))

                args = "-agentid:12" + (" -locationid:%d" % location if location else "")
                self.run_lumo(script, "", lines[:-1] if asked else lines, check, args)

    def test_6_a_refused_logon_shows_why_and_the_dialog_stays(self):
        head = "Agent has tried to log on and received : \n"
        for code, location, text in [
                (1, 7, "Agent does not exist"),
                (2, -1, "No location available"),
                (2, 7, "Location doesn't exist"),
                (4, 7, "A Supervisor with the same name is connected to another location. "),
                (5, 7, "Location is already occupied"),
                (6, 7, "An agent is already connected with this name."),
                (7, 7, "Maximum number of connected agents reached."),
                (10, 7, "Location Incompatible"),
                (11, 7, "External Dialler Error"),
                (100, 7, "Invalid password"),
                (101, 7, "There is no Zandrel connected at the moment, please try later again..."),
                (102, 7, "There is no agent with NT Account '?' configured on Jex.\nLumo will now be closed."),
                (103, 7, "Connection refused: Agent doesn't have the permission to log on!"),
                (999, 7, "999")]:
            with self.subTest(code=code, location=location):
                logon = r"ALOGON 12 %d -?[01]" % location
                # Bit 2 logs on without a location, bit 4 at the given one.
                script = opening(self.version) + [
                    "expectline RQASUD 1 12", "send SETPER %d" % (4 if location == -1 else 16), "send ASUFIN",
                    "expect " + logon, "send ALOGON %d %d '' ''" % (code, location), "drain"]

                def check(probe, pa, po):
                    box, said = probe.until("box", 20).split(" ", 1)
                    self.assertEqual(unescape(said), head + text)
                    probe.ask("click %s 1" % box)  # IDOK
                    self.assertTrue(wait_until(lambda: self.no_box(probe), 10), "the box stays")
                    self.assertTrue(visible(probe, probe.ask("dialog 1018")), "the log-on dialog is gone")

                self.run_lumo(script, "", ["LSTAGT -1 -1 0", "RQASUD 1 12", logon], check)


    def test_7_an_unknown_agent_name_shows_the_list_and_waits_for_the_agent(self):
        for extra in ["", " -hide"]:
            with self.subTest(extra=extra):
                def check(probe, pa, po):
                    window = probe.until("dialog 1018")
                    self.assertTrue(wait_until(lambda: visible(probe, window), 10), "the list stays hidden")
                    # The dialog shows before its list fills: wait for the sorted first row.
                    cells = []

                    def first_row_is_adams():
                        try:
                            cells.append(probe.ask("lvcell %s 1018 0 1" % window))
                        except ProbeError:
                            cells.append(None)
                        return cells[-1] == "Al"

                    self.assertTrue(wait_until(first_row_is_adams, 10), "first row: %r" % cells[-1:])
                    # Nothing goes to Jex by itself: a log-on would follow the list at once.
                    self.assertFalse(wait_until(lambda: len(live_lines(self.jex)) > 1, 2), live_lines(self.jex))
                    probe.ask("click %s 1" % window)  # OK logs on the selected first row
                    self.assertTrue(wait_until(lambda: received_in_order(self.jex, ["LSTAGT -1 -1 0", "RQASUD 1 13"]),
                                               20), live_lines(self.jex))

                self.run_lumo(opening(self.version) + ["expectline RQASUD 1 13", "drain"], extra,
                              ["LSTAGT -1 -1 0"], check, "-agent:nobody -locationid:7")

    def test_8_a_taken_application_port_gives_way_to_the_next(self):
        with taken_pair() as (pa, po):

            def check(probe, pa_, po_):
                self.assertEqual(listening(pa + 1), ["127.0.0.1"])
                self.assertEqual(listening(po + 1), ["127.0.0.1"])

            self.run_lumo(main_road(self.version).splitlines(), "", ROAD_LINES, check,
                          "-agentid:12 -locationid:7", ports=(pa, po))

    def test_9_without_the_startup_data_the_logon_gives_up_after_30_seconds(self):
        # Jex stays silent through the wait: its own reads must outlast it.
        script = opening(self.version) + ["expectline RQASUD 1 12", "send SETPER 784", "timeout 60", "drain"]

        def check(probe, pa, po):
            asked = time.monotonic()  # RQASUD reached Jex at most one poll (0.1 s) before
            window = probe.until("dialog 1018")
            answers, found = [], []

            def box_or_answer():
                # The dialog pumps while it waits: it must go on answering its messages.
                start = time.monotonic()
                probe.ask("text %s" % window)
                answers.append(time.monotonic() - start)
                try:
                    found.append(probe.ask("box"))
                    return True
                except ProbeError:
                    return False

            self.assertTrue(wait_until(box_or_answer, 40, 0.05), "no time-out box")
            waited = time.monotonic() - asked
            self.assertTrue(29 <= waited <= 31.1, "the box came after %.1f s" % waited)
            # A dialog that blocked in its wait would answer once or twice in 30 s, each answer held
            # for seconds; one that pumps answers all through the wait. Round trips also carry the
            # probe's own delays, which a loaded machine stretches: the bounds leave room for them.
            self.assertGreaterEqual(len(answers), 20, "the dialog answered WM_GETTEXT only now and then")
            self.assertLess(max(answers), 5.0, "the dialog kept a WM_GETTEXT waiting")
            box, said = found[0].split(" ", 1)
            self.assertEqual(unescape(said), "Timeout expired while waiting for agent startup data.\nAborting now.")
            self.assertEqual(live_lines(self.jex), ["LSTAGT -1 -1 0", "RQASUD 1 12"], "no log-on")
            probe.ask("click %s 1" % box)  # IDOK
            self.assertEqual(probe.ask("wait 20000"), "exited 0", "the log-on ended, and start-up with it")

        self.run_lumo(script, "", ["LSTAGT -1 -1 0", "RQASUD 1 12"], check)

    def test_10_a_refused_logon_forgets_the_password_and_the_location(self):
        # Passwords required, "-pwd:" given, the location given and kept by bit 4: the first try
        # asks for neither. The refusal clears both, so the next OK must ask for both.
        script = opening(self.version, flags=1) + [
            "password CHKPWD 2 secret", "send CHKPWD 12 0",
            "expectline RQASUD 1 12", "send SETPER 16", "send ASUFIN",
            "expect ALOGON 12 7 -?[01]", "send ALOGON 5 7 '' ''",
            "expectline RQASUD 1 12",  # every answer asks for the start-up data again
            "timeout 60",  # the test types while Jex waits
            "password CHKPWD 2 secret", "send CHKPWD 12 0",
            "expectline RQASUD 1 12", "send ASUFIN",
            "expectline LSTLOC -1 -1", "send LSTLOC -1 -1 '%s'" % LOCATIONS,
            "expect ALOGON 12 9 -?[01]", "drain"]
        first = ["LSTAGT -1 -1 0", "CHKPWD 1 12 [A-P]{32}", "RQASUD 1 12", r"ALOGON 12 7 -?[01]", "RQASUD 1 12"]

        def check(probe, pa, po):
            box = probe.until("box", 20).split(" ", 1)[0]
            probe.ask("click %s 1" % box)
            self.assertTrue(wait_until(lambda: self.no_box(probe), 10), "the box stays")
            probe.ask("click %s 1" % probe.ask("dialog 1018"))  # OK again on Jane Doe
            window = probe.until("dialog 1120")
            self.assertTrue(wait_until(lambda: visible(probe, window), 10), "the stored password was tried again")
            self.assertEqual(probe.ask("text %s 1002" % window), "")
            self.assertEqual(len(live_lines(self.jex)), len(first), "nothing goes out before the agent types")
            for c in "secret":
                probe.ask("post %s 1002 %d %d 0" % (window, WM_CHAR, ord(c)))
            self.assertTrue(wait_until(lambda: probe.ask("text %s 1002" % window) == "secret", 5))
            probe.ask("click %s 1" % window)
            # The location was forgotten too: the agent chooses it now.
            location = probe.until("dialog 1240", 20)
            probe.until("lvcell %s 1240 1 0" % location)
            probe.ask("click %s 1030" % location)
            again = first + ["CHKPWD 1 12 [A-P]{32}", "RQASUD 1 12", "LSTLOC -1 -1", r"ALOGON 12 9 -?[01]"]
            self.assertTrue(wait_until(lambda: received_in_order(self.jex, again), 20), live_lines(self.jex))

        self.run_lumo(script, " -pwd:secret", first, check)

    def test_11_without_a_free_port_a_box_names_it_and_start_up_ends(self):
        for which, count in [("current", 101), ("old", None)]:  # None: up to 65535
            with self.subTest(port=which):
                held = hold_ports(count)
                try:
                    first = held[0].getsockname()[1]
                    ports = (first, free_port()) if which == "current" else (free_port(), first)
                    script = opening(self.version)[:3] + ["timeout 40", "expectline ALOGOF", "closed"]

                    def check(probe, pa, po):
                        box, said = probe.ask("box").split(" ", 1)
                        # The system's text of the error, which Wine does not have.
                        self.assertRegex(unescape(said),
                                         r"\ALumo cannot listen on port %d \(Error 10048: [^()]*\)\.\Z" % first)
                        self.assertEqual(live_lines(self.jex), [], "no log-on")
                        probe.ask("click %s 1" % box)
                        self.assertEqual(probe.ask("wait 20000"), "exited 0", "start-up ended")

                    self.run_lumo(script, "", [], check, ports=ports, ready=lambda probe: not self.no_box(probe))
                finally:
                    for holder in held:
                        holder.close()

    def test_12_a_windows_account_logs_on_without_the_dialog_on_the_open_port(self):
        script = opening(self.version)[:3] + [
            "decrypt ALOGOS 0 1", "waitfile connected",
            "send ALOGOS 12 Jane Doe 7 Desk7", "send ALOGON 0 7 jdoe Desk7",
            "expectline RQASUD 1 12", "expectline ENDINI", "drain"]
        program = {}

        def connect(probe, pa, po):
            # The listener as soon as it is there, and a local program connected before Jex answers
            # the log-on: both must outlast it.
            self.assertTrue(wait_until(lambda: listener_inode(pa), 30, 0.005), "the port is not open")
            program["listener"] = listener_inode(pa)
            program["link"] = socket.create_connection(("127.0.0.1", pa), 10)
            with open(os.path.join(self.jex.folder, "connected"), "w"):
                pass

        def check(probe, pa, po):
            link = program["link"]
            self.assertEqual(listening(pa), ["127.0.0.1"])
            self.assertEqual(listener_inode(pa), program["listener"], "the listener was made again")
            link.setblocking(False)
            try:
                while link.recv(4096):  # Lumo's greeting; the end of the link would read empty
                    pass
                self.fail("Lumo closed the local program's link")
            except BlockingIOError:
                pass
            self.assertFalse([line for line in live_lines(self.jex) if line.startswith("LSTAGT")])
            self.assertNotIn("Login", titles(probe))
            with self.assertRaises(ProbeError):
                probe.ask("dialog 1018")
            with self.assertRaises(ProbeError):
                probe.ask("box")
            said = [e[2:].split(" ") for e in live_traffic(self.jex) if e.startswith("= ALOGOS ")][0]
            self.assertEqual(len(said), 3, said)
            self.assertTrue(said[1] and socket.gethostname().upper().startswith(said[1].upper()), said)
            self.assertRegex(said[2], r"\AS-1-5-21(-\d+)+\Z")

        self.prefix.import_reg(AUTHENTICATION % 1)
        try:
            self.run_lumo(script, "", ["ALOGOS [A-P]+ [A-P]+ -?[01]", "RQASUD 1 12", "ENDINI"], check, at_start=connect)
        finally:
            if "link" in program:
                program["link"].close()
            self.prefix.import_reg(AUTHENTICATION % 0)

    def test_13_lines_of_one_write_during_the_wait_run_once_in_order(self):
        # Lumo waits in the log-on dialog; one write brings two permission lines, two questions and
        # the end of the start-up data. The later permission line wins: location 7 stays.
        script = opening(self.version) + [
            "expectline RQASUD 1 12",
            r"sendlines SETPER 4\rLUMDIA 101\rASUFIN\rSETPER 16\rLUMDIA 102",
            r"expect LUMDIA 101 -?\d+", r"expect LUMDIA 102 -?\d+",
            "expect ALOGON 12 7 -?[01]", "drain"]
        lines = ["LSTAGT -1 -1 0", "RQASUD 1 12", r"LUMDIA 101 -?\d+", r"LUMDIA 102 -?\d+", r"ALOGON 12 7 -?[01]"]

        def check(probe, pa, po):
            seen = live_lines(self.jex)
            self.assertEqual(len(seen), len(lines), seen)

        self.run_lumo(script, "", lines, check)

    def test_14_a_windows_account_logs_on_with_taken_ports_moved_to_the_next(self):
        script = opening(self.version)[:3] + [
            "decrypt ALOGOS 0 1",
            "send ALOGOS 12 Jane Doe 7 Desk7", "send ALOGON 0 7 jdoe Desk7",
            "expectline RQASUD 1 12", "expectline ENDINI", "drain"]
        with taken_pair() as (pa, po):

            def check(probe, pa_, po_):
                self.assertEqual(listening(pa + 1), ["127.0.0.1"], "the current port moved on")
                self.assertEqual(listening(po + 1), ["127.0.0.1"], "the old port moved on")
                # A local program reaches Lumo on the port it moved to, and Lumo keeps its link.
                with socket.create_connection(("127.0.0.1", pa + 1), 10) as link:
                    link.setblocking(False)
                    try:
                        while link.recv(4096):  # the end of the link would read empty
                            pass
                        self.fail("Lumo closed the local program's link")
                    except BlockingIOError:
                        pass
                with self.assertRaises(ProbeError):
                    probe.ask("box")

            self.prefix.import_reg(AUTHENTICATION % 1)
            try:
                self.run_lumo(script, "", ["ALOGOS [A-P]+ [A-P]+ -?[01]", "RQASUD 1 12", "ENDINI"], check,
                              ports=(pa, po))
            finally:
                self.prefix.import_reg(AUTHENTICATION % 0)

    @staticmethod
    def no_box(probe):
        try:
            probe.ask("box")
            return False
        except ProbeError:
            return True


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
