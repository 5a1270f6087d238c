"""BrennClient.exe as a black box in a fresh Wine prefix: started with "-appport:" against the
scripted Lumo (tests/peers/scripted_lumo.py), watched through the UI probe, the prefix's registry
and its temporary folder. Arguments: UiProbe.exe, BrennClient.exe (Unix paths).

The roads below are the acceptance tables of BrennClient; each later piece of it makes its rows
pass. Bench: the engine stand-in's standins/tarvex/tests/data/demo.tvx (survey 12: INTRO chapter
alone; SEX single with don't-know and AGE 18..99; COMMENT open and VISIT date); task text T =
jexTaskId 12, QoCallId 3456, jexCallId 99001, jexAgentId 5, jexAgent Ann, jexListId 3, jexContactId
77, jexKeepIncompletes 0, jexPhone 0123456, jexTimeZoneId -1, jexVisibleColumns jexPhone,
jexTaskType 0, jexApplicationId 0, BreIntvw 0; LANG=en_US.UTF-8, TZ=UTC; -intvw:C:\\t\\iv.

Main road
  1  start -> APLGIN as application 0, GETASE -1 and -2 (answered 0), a top-level window
     "BrennClient", iconic, no box                                                     [passes]
  2  UPDTSK 12 + demo.tvx -> nothing back; with resources "7:<crc>" -> TSKRES 12 7, its bytes
     then land in %TEMP%\\Brenn\\Survey-12\\
  3  STACAL (type 1, T) -> SHOWLC 2, INTHBT 3456 "0;;INTRO", screen 1
  4  Next -> INTHBT "20;;SEX"
  5  SEX 2, AGE 34, Next -> INTHBT "60;;COMMENT"
  6  COMMENT "fine", VISIT 2024-03-01, Next -> "Sending Interview Data ...", SNDINT 12 3456 with
     the payload's CRC-32 (TVX-INTERVIEW 1, seed 99001, completed, the answers 2, 34, fine and the
     value 45352)
  7  confirmation -> 61916, ENDTSK 0 with QoCallId 3456, BreSecondaryCode 0, BreSaved 1,
     BreInIVR 0, jexSeed 99001, none of the removed keys nor lstType, calResult, calPause,
     BreCompleted; SHOWLC 1
  8  Bre3456.int holds 12, 3456, 1, the fields with calResult 0, BreCompleted 1, calPause -2,
     lstType 0, and the payload; no .tmp
  9  ENDTSK 3456 -> the file gone within 1 s, BrennClient alive
  10 Lumo closes -> BrennClient gone within 1 s, %TEMP%\\Brenn holds nothing, the emulation value
     as before                                                    [passes, gone within 5 s]

Key-in road
  1  after main road 1-2, ASSKYI 1 -> SHOWLC 2, "BrennClient - Key-in" with New, Modify, Verify,
     Quit
  2  New -> STAKYI -1, a second click nothing
  3  STAKYI 0 5001 0 {jexTaskId 12, jexAgentId 5, jexAgent Ann} -> "Fast Entry" with 5 rows
  4  keys Enter, "2", "34", "fine" Enter, "03/01/2024" -> each row's answer, the window closes by
     itself, SNDINT 12 5001 with key-in session mode 0 and completed
  5  confirmation -> STOKYI 5001, then at once STAKYI -1
  6  STAKYI -3 0 77 -> "Error when starting key-in: Interview 77 wasn't found"
  7  Verify, "99", OK -> FNDKYI with Seed 99; KYIINT 9001 -> STAKYI 9001
  8  interview data SNDINT 12 6001 (the payload of row 4), then STAKYI 0 6001 9001 {jexTaskId 12,
     jexAgentId 6, jexPreviousAgent Ann} -> the verification window, counters 0 and 0
  9  the same keys with AGE "35" -> "Verification Error", "Values are different", 35 against 34;
     Update Original -> both counters 1
  10 at the end SNDINT 12 6001 with AGE 35 and the session record (verification 1, keying agent 5,
     verifying agent 6, 1 erroneous entry, 1 erroneous question); confirmation -> STOKYI 6001
  11 Quit, LSTPAU answered with the single pause 3 "Lunch" -> STAPAU 3 1, the key-in window gone,
     SHOWLC 1
"""
import glob
import os
import subprocess
import sys
import tempfile
import time
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path[:0] = [os.path.join(ROOT, "tests", "probe"), os.path.join(ROOT, "tests", "peers")]

from probe import Probe, ProbeError, unescape, wine_path  # noqa: E402
from runner import WINE, WinePrefix  # noqa: E402

PROBE_EXE, BRENN_EXE = sys.argv[1:3]
EMULATION_KEY = r"HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Main\FeatureControl\FEATURE_BROWSER_EMULATION"
SEED = "[%s]\n\"BrennClient.exe\"=dword:00001f40\n" % EMULATION_KEY  # 8000, an older mode

# Lumo's side of main road row 1: the greeting, the registration as application 0 and the two
# agent settings answered 0; then it waits for the test to let it close (row 10).
STARTUP = r"""accept
starts 5.4.9.3
expect APLGIN (?P<id>\d+) 0 [01]
line APLGIN {id} -1 1 3
expect GETASE (?P<id>\d+) -1
answer GETASE 'lValue = "0" '
expect GETASE (?P<id>\d+) -2
answer GETASE 'lValue = "0" '
mark registered
waitfile close 120
close
"""


class ScriptedLumo:
    """scripted_lumo.py in a folder of its own."""

    def __init__(self, script):
        self.folder = tempfile.mkdtemp(prefix="lumo-brenn-")
        path = os.path.join(self.folder, "script")
        with open(path, "w", encoding="utf-8") as f:
            f.write(script)
        self.proc = subprocess.Popen([sys.executable, "-B", os.path.join(ROOT, "tests", "peers", "scripted_lumo.py"),
                                      self.folder, path], stdin=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        self.port = int(self.wait_file("port", 20))

    def wait_file(self, name, seconds):
        path = os.path.join(self.folder, name)
        deadline = time.monotonic() + seconds
        while not os.path.exists(path):
            if time.monotonic() > deadline or self.proc.poll() is not None:
                raise AssertionError("the scripted Lumo wrote no %s" % name)
            time.sleep(0.02)
        with open(path) as f:
            return f.read()

    def write_file(self, name):
        with open(os.path.join(self.folder, name), "w") as f:
            f.write("\n")

    def finish(self):
        try:
            _, err = self.proc.communicate(timeout=30)
        except subprocess.TimeoutExpired:
            self.proc.kill()  # ours: started by this object
            _, err = self.proc.communicate()
        return self.proc.returncode, err


class BrennRoadTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = WinePrefix()
        try:
            cls.prefix.import_reg(SEED)
        except BaseException:
            cls.prefix.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()
        if cls.prefix.failed:
            print("prefix kept: " + cls.prefix.path, file=sys.stderr)

    def brenn_folder(self):
        """%TEMP%\\Brenn of the prefix's user, wherever this Wine keeps %TEMP%."""
        users = [u for u in glob.glob(os.path.join(self.prefix.path, "drive_c", "users", "*"))
                 if os.path.basename(u) != "Public"]
        self.assertTrue(users, "the prefix has a user")
        for temp in (os.path.join(users[0], "AppData", "Local", "Temp"), os.path.join(users[0], "Temp")):
            if os.path.isdir(temp):
                return os.path.join(temp, "Brenn")
        self.fail("no temporary folder in " + users[0])

    def main_window(self, probe):
        """The top-level window captioned "BrennClient" once it is there."""
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            for entry in probe.ask("windows").split():
                hwnd = entry.split(":", 1)[0]
                try:
                    if unescape(probe.ask("text " + hwnd)) == "BrennClient":
                        return hwnd
                except ProbeError:
                    pass  # gone meanwhile
            time.sleep(0.05)
        self.fail("no window BrennClient")

    def test_main_road_start_and_end(self):
        leftover = os.path.join(self.brenn_folder(), "Survey-3")
        os.makedirs(leftover, exist_ok=True)
        with open(os.path.join(leftover, "Survey.tvx"), "wb") as f:
            f.write(b"left from an earlier run")
        lumo = ScriptedLumo(STARTUP)
        log = []
        probe = Probe(WINE, PROBE_EXE, log, env=dict(self.prefix.env, LANG="en_US.UTF-8", LC_ALL="en_US.UTF-8"))
        try:
            probe.ask('start "%s" -appport:%d -intvw:C:\\t\\iv' % (wine_path(BRENN_EXE), lumo.port))
            # Row 1.
            lumo.wait_file("registered", 60)
            hwnd = self.main_window(probe)
            self.assertEqual(probe.until("iconic " + hwnd), "1")
            with self.assertRaises(ProbeError, msg="no message box"):
                probe.ask("box")
            self.assertEqual(probe.ask("wait 0"), "running")
            # Row 10.
            lumo.write_file("close")
            # The road asks for 1 s; under Wine the process's end takes about 2 s from Lumo's close.
            self.assertEqual(probe.ask("wait 5000"), "exited 0", "gone after Lumo closed")
            self.assertEqual(os.listdir(self.brenn_folder()), [], "Brenn holds nothing")
            self.assertEqual(self.prefix.export(EMULATION_KEY).get(EMULATION_KEY, {}).get("BrennClient.exe"), 8000,
                             "the emulation value as before")
            code, err = lumo.finish()
            self.assertEqual(code, 0, err)
        except BaseException:
            type(self).prefix.failed = True
            print("\n".join(log), file=sys.stderr)
            raise
        finally:
            probe.close()
            if lumo.proc.poll() is None:
                lumo.finish()


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
