"""Lumo.exe's launch and idle memory, each against an empty program started the same way in the same
run. scripts/bench runs it on a display of its own:

    lumo_bench.py UiProbe.exe Lumo.exe BenchEmptyWindow.exe BenchEmptyDialog.exe [ROUNDS]

Every program is started by a UI probe that already runs, in one fresh prefix (seeded as for
scripts/run) whose wineserver and services already run, on the same display: the cost of starting a
Wine process is in both figures of a pair and cancels as far as it can.

Launch: from the probe's start command to the line that ends the launch arriving at a socket here.
For Lumo that is ENDINI at the scripted Jex, after the main road to a logged-on agent (agent 12 at
location 7, the update service stand-in on 1919); a round counts only when Lumo's lines up to ENDINI
came in order, the update check happened and the Jex's script passed; the time to the Jex's accepting
Lumo's link is shown alongside. For the reference it is the
empty window program's own line, sent once its window is shown and painted; a round counts only when
the probe then sees that window visible. Best of ROUNDS (5), Lumo's and the reference's alternating.

Idle memory: the resident set (VmRSS) of the Linux process that runs the program under Wine, read
once it has stayed within 64 KiB for 2 s (at most 30 s): Lumo's after ENDINI with no box shown, the
empty dialog program's once its dialog shows; the private part of the same reading (the pages no
other process maps) alongside. The reading with the median resident set of the rounds. What is judged
against 40 MB is Lumo's resident set above the empty dialog program's, the share of it that is
Lumo's own. MB is 10^6 bytes.

Exit code 0 when every figure was measured, 1 when a launch or a reading failed (what failed is
printed), 2 when port 1919 stayed taken for 5 minutes. It ends only what it started: each program
through the probe that started it, the probes, the Jexes, the stand-in and the prefix's own
wineserver."""
import errno
import os
import socket
import sys
import threading
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "desktop", "tests"))

from lumo_road import (ROAD_LINES, SEED, JexSessions, live_lines, main_road, received_in_order,  # noqa: E402
                       two_free_ports, wait_until)
from probe import Probe, ProbeError, unescape, wine_path  # noqa: E402
from runner import WINE, WinePrefix  # noqa: E402
from updateservice import UpdateServiceStandIn  # noqa: E402

UPDATE_PORT = 1919
PORT_WAIT = 300
LAUNCH_BOUND = 60  # seconds a launch may take before the round fails
POLL = 0.002  # how often the Jex's live traffic file is read while Lumo launches
QUIET_BYTES = 64 * 1024
QUIET_SECONDS = 2.0
SETTLE_BOUND = 30.0
MB = 1e6


class RoundFailed(Exception):
    pass


class Launch:
    """Starts a program through the probe on a thread of its own, so that the caller watches for the
    launch's end meanwhile (the probe answers only once the program idles). Its start time is taken
    just before the start command goes out."""

    def __init__(self, probe, command_line):
        self.probe = probe
        self.answer = None
        self.error = None
        self.thread = threading.Thread(target=self._start, args=(command_line,), daemon=True)
        self.started = time.monotonic()
        self.thread.start()

    def _start(self, command_line):
        try:
            self.answer = self.probe.ask("start " + command_line, timeout=LAUNCH_BOUND)
        except ProbeError as e:
            self.error = e

    def process_id(self):
        self.thread.join(LAUNCH_BOUND)
        if self.error or self.answer is None:
            raise RoundFailed("the probe did not start the program: %s" % (self.error or "no answer"))
        return self.answer


def unix_process(prefix, exe):
    """The Linux process id that runs the exe under Wine in this prefix: Wine names the process by the
    Windows command line and leaves WINEPREFIX in its environment."""
    marker = ("WINEPREFIX=" + prefix.path).encode()
    name = wine_path(exe).lower().encode()
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                argv0 = f.read().split(b"\0", 1)[0]
            with open("/proc/%s/environ" % entry, "rb") as f:
                environ = f.read().split(b"\0")
        except OSError:  # gone meanwhile, or not ours to read
            continue
        if argv0.lower() == name and marker in environ:
            found.append(int(entry))
    if len(found) != 1:
        raise RoundFailed("%d Linux processes run %s in the prefix" % (len(found), os.path.basename(exe)))
    return found[0]


def resident(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) * 1024
    raise RoundFailed("process %d tells no resident set" % pid)


def private(pid):
    """The resident bytes no other process maps: the program's own heap, stacks and written pages."""
    total = 0
    with open("/proc/%d/smaps_rollup" % pid) as f:
        for line in f:
            if line.startswith(("Private_Clean:", "Private_Dirty:")):
                total += int(line.split()[1]) * 1024
    return total


def settled_resident(pid):
    """The resident set once it has stayed within QUIET_BYTES for QUIET_SECONDS, and the private part
    of it then."""
    start = time.monotonic()
    quiet = []  # (time, bytes): the samples since the last change beyond QUIET_BYTES
    while True:
        now = time.monotonic()
        quiet.append((now, resident(pid)))
        sizes = [size for _, size in quiet]
        while max(sizes) - min(sizes) > QUIET_BYTES:
            quiet.pop(0)
            sizes.pop(0)
        if now - quiet[0][0] >= QUIET_SECONDS:
            return quiet[-1][1], private(pid)
        if now - start > SETTLE_BOUND:
            raise RoundFailed("the resident set of process %d did not settle within %d s (last %.1f MB)"
                              % (pid, SETTLE_BOUND, quiet[-1][1] / MB))
        time.sleep(0.2)


class Bench:
    def __init__(self, probe_exe, lumo_exe, window_exe, dialog_exe, prefix, update_service):
        self.probe_exe, self.lumo_exe, self.window_exe, self.dialog_exe = probe_exe, lumo_exe, window_exe, dialog_exe
        self.prefix = prefix
        self.update_service = update_service
        self.log = []
        probe = Probe(WINE, probe_exe, env=prefix.env)
        try:
            self.version = probe.ask("version " + wine_path(lumo_exe))
        finally:
            probe.close()

    def probe(self):
        self.log = []
        return Probe(WINE, self.probe_exe, self.log, env=self.prefix.env)

    def empty_window(self):
        """Seconds from start to the empty window program's line."""
        with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as listener:
            listener.bind(("127.0.0.1", 0))
            listener.listen(1)
            listener.settimeout(LAUNCH_BOUND)
            probe = self.probe()
            try:
                launch = Launch(probe, '"%s" %d' % (wine_path(self.window_exe), listener.getsockname()[1]))
                try:
                    conn, _ = listener.accept()
                except socket.timeout:
                    launch.process_id()
                    raise RoundFailed("the empty window program sent nothing (%s)" % probe.ask("wait 0"))
                with conn:
                    conn.settimeout(LAUNCH_BOUND)
                    line = b""
                    while not line.endswith(b"\n"):
                        data = conn.recv(64)
                        if not data:
                            break
                        line += data
                    seconds = time.monotonic() - launch.started
                launch.process_id()
                words = line.decode("ascii", "replace").split()
                if len(words) != 2 or words[0] != "window":
                    raise RoundFailed("the empty window program sent %r" % line)
                if "%s:BenchEmptyWindow:1" % words[1] not in probe.ask("windows").split():
                    raise RoundFailed("the empty window program's window %s is not visible" % words[1])
                return seconds
            finally:
                probe.close()

    def lumo(self):
        """Seconds from start to ENDINI at the Jex and to the Jex's accepting Lumo's link, and Lumo's
        settled memory after ENDINI."""
        pa, po = two_free_ports()
        jex = JexSessions(1, LAUNCH_BOUND, [main_road(self.version)])
        probe = None
        try:
            probe = self.probe()
            checks = len(self.update_service.connections())
            launch = Launch(probe, '"%s" -jex:127.0.0.1:%d -agentid:12 -locationid:7 -appport:%d -oldappport:%d'
                            % (wine_path(self.lumo_exe), jex.port, pa, po))
            connected = []
            arrived = []  # seconds from the start to each of Lumo's road lines

            def ended():
                # When Lumo connected splits the launch into Lumo's own start and the road.
                if not connected and jex.events("accept"):
                    connected.append(time.monotonic() - launch.started)
                seen = len(live_lines(jex))
                while len(arrived) < min(seen, len(ROAD_LINES)):
                    arrived.append(time.monotonic() - launch.started)
                return received_in_order(jex, ROAD_LINES) or jex.events("failed")

            if not wait_until(ended, LAUNCH_BOUND, POLL):
                raise RoundFailed("Lumo did not send ENDINI within %d s" % LAUNCH_BOUND)
            seconds = time.monotonic() - launch.started
            if jex.events("failed"):
                raise RoundFailed("the scripted Jex found a fault: %s" % jex.events("failed"))
            launch.process_id()
            if len(self.update_service.connections()) != checks + 1:
                raise RoundFailed("Lumo did not check the update service once")
            size = settled_resident(unix_process(self.prefix, self.lumo_exe))
            self.no_box(probe)
            probe.ask("end")
            if jex.finish(30) != 0:
                raise RoundFailed("the scripted Jex's script did not pass: %s" % jex.events())
            return seconds, [connected[0]] + arrived, size
        finally:
            if probe:
                probe.close()
            jex.close()

    def empty_dialog(self):
        """The empty dialog program's settled resident set once its dialog shows."""
        probe = self.probe()
        try:
            Launch(probe, '"%s"' % wine_path(self.dialog_exe)).process_id()
            if not wait_until(lambda: any(w.endswith(":#32770:1") for w in probe.ask("windows").split()),
                              LAUNCH_BOUND):
                raise RoundFailed("the empty dialog program's dialog did not show")
            size = settled_resident(unix_process(self.prefix, self.dialog_exe))
            self.no_box(probe)
            return size
        finally:
            probe.close()

    @staticmethod
    def no_box(probe):
        try:
            text = unescape(probe.ask("box").split(" ", 1)[1])
        except ProbeError:
            return
        raise RoundFailed("a box says %r" % text)


def say(text):
    print(text, flush=True)


def take_update_port():
    """The update service stand-in on its own port, once that is free (tests of Lumo on the same
    machine take it for a while), or None after PORT_WAIT seconds."""
    deadline = time.monotonic() + PORT_WAIT
    told = False
    while True:
        try:
            return UpdateServiceStandIn(UPDATE_PORT)
        except OSError as e:
            if e.errno != errno.EADDRINUSE or time.monotonic() > deadline:
                return None
        if not told:
            say("lumo: port %d (the update service's) is taken; waiting for it up to %d s" % (UPDATE_PORT, PORT_WAIT))
            told = True
        time.sleep(1)


def main():
    probe_exe, lumo_exe, window_exe, dialog_exe = (os.path.abspath(p) for p in sys.argv[1:5])
    rounds = max(1, int(sys.argv[5])) if len(sys.argv) > 5 else 5
    update_service = take_update_port()
    if not update_service:
        say("lumo: port %d (the update service's) stayed taken for %d s; another Lumo or test run uses it. "
            "No figures." % (UPDATE_PORT, PORT_WAIT))
        return 2
    prefix = None
    bench = None
    try:
        prefix = WinePrefix()
        prefix.import_reg(SEED)
        bench = Bench(probe_exe, lumo_exe, window_exe, dialog_exe, prefix, update_service)
        window_times, lumo_times, lumo_connects, lumo_sizes, dialog_sizes = [], [], [], [], []
        for _ in range(rounds):
            window_times.append(bench.empty_window())
            seconds, connect, size = bench.lumo()
            lumo_times.append(seconds)
            lumo_connects.append(connect)
            lumo_sizes.append(size)
            dialog_sizes.append(bench.empty_dialog())
    except (RoundFailed, ProbeError, RuntimeError, OSError) as e:
        say("lumo: a round failed, no figures: %s" % e)
        if bench and bench.log:
            print("probe log:", *bench.log, sep="\n  ")
        return 1
    finally:
        update_service.stop()
        if prefix:
            prefix.close()

    best = min(range(rounds), key=lambda i: lumo_times[i])
    lumo_best, window_best = lumo_times[best], min(window_times)
    say("lumo launch, from the probe's start to the end of the launch, best of %d in one prefix:" % rounds)
    marks = lumo_connects[best]
    say("  Lumo.exe to ENDINI at Jex (main road, agent 12 logged on) %5.0f ms (%.0f of them up to its link to Jex)"
        % (lumo_best * 1000, marks[0] * 1000))
    # Where the launch goes, step by step: the time up to each line's arrival at Jex (seen within
    # the 2 ms the Jex's traffic is polled at) from the step before. The waits named are those
    # the step's code makes by design; the rest of a step is Lumo's own work and Jex's answers.
    steps = [("start to Jex's accepting the link", "process start, main window, connect"),
             ("accept to LSTAGT", "handshake: rounds of 50 ms while the greeting is awaited"),
             ("LSTAGT to RQASUD", "agent list, log-on dialog"),
             ("RQASUD to ALOGON", "start-up data: rounds of pumping and a 100 ms sleep until it is in"),
             ("ALOGON to RQASUD", "log-on answer, the agent's data requested again"),
             ("RQASUD to ENDINI", "start-up data again, ENDINI")]
    say("  Lumo's launch step by step (best round):")
    for (step, what), begin, end in zip(steps, [0.0] + marks, marks + [lumo_best]):
        say("    %-36s %5.0f ms  (%s)" % (step, (end - begin) * 1000, what))
    say("  empty Win32 program to its first window shown            %5.0f ms" % (window_best * 1000))
    say("  rounds: Lumo %s; empty program %s" % (" ".join("%.0f" % (t * 1000) for t in lumo_times),
                                                 " ".join("%.0f" % (t * 1000) for t in window_times)))
    say("  Lumo's launch takes %.2fx the empty program's (aim: at most 3x)" % (lumo_best / window_best))
    # The start-up data's wait sleeps a whole step after its first look, which comes before Jex can
    # have answered: that step is the one wait measured on its own. The handshake's rounds are left
    # in the rest, since how many of them are waits shows nowhere outside Lumo.
    prescribed = marks[3] - marks[2]  # RQASUD to ALOGON
    say("  outside the start-up data's prescribed wait (%.0f ms): %.0f ms, %.2fx the empty program's (aim: at most 2x)"
        % (prescribed * 1000, (lumo_best - prescribed) * 1000, (lumo_best - prescribed) / window_best))
    # The medians of the resident sets, each with the private part of the same reading.
    lumo_size = sorted(lumo_sizes)[rounds // 2]
    dialog_size = sorted(dialog_sizes)[rounds // 2]
    say("lumo idle memory, resident set (VmRSS) of the program's Wine process once steady, median of %d:" % rounds)
    say("  Lumo.exe logged on      %5.1f MB (private %5.1f MB)" % (lumo_size[0] / MB, lumo_size[1] / MB))
    say("  empty dialog program    %5.1f MB (private %5.1f MB)" % (dialog_size[0] / MB, dialog_size[1] / MB))
    say("  Lumo holds %.1f MB above the empty dialog program (aim: at most 40 MB; private: %.1f MB above), "
        "%.2fx its resident set" % ((lumo_size[0] - dialog_size[0]) / MB, (lumo_size[1] - dialog_size[1]) / MB,
                                    lumo_size[0] / dialog_size[0]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
