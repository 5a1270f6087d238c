"""scripts/run's main job: Lumo.exe plays the main road to a logged-on agent against a scripted Jex
and the update service stand-in, in a fresh Wine prefix, driven by the UI probe on the display
scripts/run started. One plain line per step; on a failure the step, then the traffic.

    run_road.py UiProbe.exe Lumo.exe SCREENSHOT.png

Exit code 0 only when every step happened. It ends only what it started: Lumo by its process id
(through the probe that started it), the Jex, the stand-in and the prefix's own wineserver."""
import os
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
sys.path.insert(0, os.path.join(ROOT, "desktop", "tests"))

from lumo_road import (ROAD_LINES, SEED, JexSessions, listening, live_lines, live_traffic, main_road,  # noqa: E402
                       received_in_order, two_free_ports, wait_until)
from probe import Probe, ProbeError, unescape, wine_path  # noqa: E402
from runner import WINE, WinePrefix  # noqa: E402
from updateservice import UpdateServiceStandIn  # noqa: E402

UPDATE_PORT = 1919


class StepFailed(Exception):
    pass


def say(text):
    print("run: " + text, flush=True)


def titles(probe):
    """The titles of the windows that became visible so far."""
    return [unescape(e.split(" ", 4)[4]) for e in probe.events if len(e.split(" ", 4)) > 4]


def sent_by_jex(jex, prefix):
    """Whether the scripted Jex has sent a line that begins so."""
    return any(line.startswith("> " + prefix) for line in live_traffic(jex))


def play(probe, lumo_exe, jex, update_service, version, screenshot):
    pa, po = two_free_ports()

    def expect(step, condition, timeout, failure, success):
        # A script line the Jex found wrong ends the wait at once.
        if not wait_until(lambda: condition() or jex.events("failed"), timeout) or jex.events("failed"):
            raise StepFailed("step %d: %s" % (step, failure))
        say(success)

    def check(step, holds, failure):
        if not holds:
            raise StepFailed("step %d: %s" % (step, failure))

    def received(count):
        return lambda: received_in_order(jex, ROAD_LINES[:count])

    def logged_on():
        if not received(5)():
            return False
        try:
            probe.ask("dialog 1018")  # the log-on dialog, while it is still there
            return False
        except ProbeError:
            pass
        return probe.ask("dialog 1043") + ":#32770:1" in probe.ask("windows").split()

    probe.ask("watch on")
    pid = probe.ask("start \"%s\" -jex:127.0.0.1:%d -agentid:12 -locationid:7 -appport:%d -oldappport:%d"
                    % (wine_path(lumo_exe), jex.port, pa, po))
    say("started Lumo %s (process id %s) with -jex:127.0.0.1:%d -agentid:12 -locationid:7 "
        "-appport:%d -oldappport:%d" % (version, pid, jex.port, pa, po))
    try:
        expect(0, lambda: jex.events("accept"), 60, "Lumo did not connect to Jex",
               "Lumo connected to Jex on 127.0.0.1:%d" % jex.port)
        check(0, listening(pa) == ["127.0.0.1"] and listening(po) == ["127.0.0.1"],
              "the application ports %d and %d are not both listening on 127.0.0.1" % (pa, po))
        say("Lumo listens on 127.0.0.1:%d (application port) and 127.0.0.1:%d (old application port)" % (pa, po))
        expect(1, lambda: sent_by_jex(jex, "TTSYNC"), 20, "the handshake did not finish",
               "Lumo and Jex finished the handshake")
        expect(2, lambda: sent_by_jex(jex, "STARTS") and update_service.connections(), 20,
               "Jex's greeting or the update check did not happen",
               "Jex greeted Lumo; Lumo checked the update service once")
        check(2, update_service.connections() == [b""], "the update service got %r" % update_service.connections())
        check(2, "Connecting to Jex" not in titles(probe), "the connection dialog was shown")
        expect(3, received(1), 20, "Lumo did not ask for the agent list", "Lumo asked Jex for the agent list")
        expect(4, received(2), 20, "Lumo did not choose agent 12",
               "Lumo chose agent 12 (Jane Doe) though 13 (Al Adams) sorts first; no password asked")
        check(4, "Password" not in titles(probe), "the Password window was shown")
        expect(5, received(3), 20, "Lumo did not log agent 12 on", "Lumo asked Jex to log agent 12 on at location 7")
        expect(6, logged_on, 30, "agent 12 did not reach the logged-on main window",
               "agent 12 logged on at location 7; the main window shows, the log-on dialog is gone")
        try:
            box = unescape(probe.ask("box").split(" ", 1)[1])
        except ProbeError:
            box = None
        check(6, box is None, "an unexpected box says %r" % box)
        check(6, probe.ask("wait 0") == "running", "Lumo ended by itself")
        say("no message box appeared")
        size = probe.save_screen(screenshot)
        say("saved a screenshot (%dx%d) to %s" % (size + (screenshot,)))
    finally:
        # Lumo cannot be told to end yet: the probe ends the process it started, by its handle.
        probe.ask("end")
        say("ended Lumo (process id %s): it cannot be told to end yet" % pid)


def main():
    probe_exe, lumo_exe, screenshot = sys.argv[1:4]
    try:
        update_service = UpdateServiceStandIn(UPDATE_PORT)
    except OSError as e:
        say("port %d (the update service's) is taken: %s. Another Lumo or test run may use it; "
            "stopping without starting anything." % (UPDATE_PORT, e.strerror))
        return 2
    jex = prefix = probe = None
    log = []
    status = 1
    try:
        say("making a fresh Wine prefix")
        prefix = WinePrefix()
        prefix.import_reg(SEED)
        probe = Probe(WINE, probe_exe, env=prefix.env)
        version = probe.ask("version " + wine_path(lumo_exe))
        probe.close()
        jex = JexSessions(1, 60, [main_road(version)])
        say("started the update service stand-in on 127.0.0.1:%d and a scripted Jex on 127.0.0.1:%d"
            % (UPDATE_PORT, jex.port))
        probe = Probe(WINE, probe_exe, log, env=prefix.env)
        play(probe, lumo_exe, jex, update_service, version, screenshot)
        if jex.finish() != 0:
            raise StepFailed("the end: the scripted Jex found a fault in what Lumo sent")
        status = 0
    except (StepFailed, ProbeError, RuntimeError, OSError) as e:
        say("FAILED at %s" % e)
        if jex:
            say("what Lumo sent so far: %s" % live_lines(jex))
            print("traffic with Jex (< Lumo sent, > Jex sent):", *live_traffic(jex), sep="\n  ")
            print("Jex's events:", *("%s %d %s" % e for e in jex.events()), sep="\n  ")
        print("probe log:", *log, sep="\n  ")
    finally:
        if probe:
            probe.close()
        if jex:
            jex.close()
        update_service.stop()
        if prefix:
            prefix.close()
        say("stopped the scripted Jex, the update service stand-in and the Wine prefix")
    say("every step happened" if status == 0 else "not every step happened")
    return status


if __name__ == "__main__":
    sys.exit(main())
