"""LumoClient.ocx from VBScript, as a script client uses it: registered in a Wine prefix of its own,
its objects made by ProgID under Wine's cscript, For Each over a map and a string collection, optional
arguments left out, and the control driven against the scripted Lumo.
Argument: LumoClient.ocx (Unix path)."""
import os
import subprocess
import sys
import tempfile
import time
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path[:0] = [os.path.join(ROOT, "tests", "probe")]

from probe import wine_path  # noqa: E402
from runner import WINE, WinePrefix  # noqa: E402

OCX = sys.argv[1] if len(sys.argv) > 1 else ""
SCRIPTED_LUMO = os.path.join(ROOT, "tests", "peers", "scripted_lumo.py")

# Wine's CLSIDFromProgID does not follow CurVer: the version-dependent ProgIDs name the classes.
CLIENT = r'''
Set fso = CreateObject("Scripting.FileSystemObject")
Set out = fso.CreateTextFile(WScript.Arguments(1), True)
port = CLng(fso.OpenTextFile(WScript.Arguments(0)).ReadLine())
' Port is a signed 16-bit number: ports above 32767 are given negative.
If port > 32767 Then port = port - 65536
Set map = CreateObject("LumoClientLib.LumoClientMap.1")
map.Add "b", "2"
map.Add "a", "1"
For Each v In map
    out.WriteLine "map " & v
Next
Set ids = CreateObject("LumoClientLib.LumoClientStringCollection.1")
ids.Add "12"
ids.Add "34"
For Each t In ids
    out.WriteLine "ids " & t
Next
Set ctrl = CreateObject("LumoClientLib.LumoClientCtrl.1")
ctrl.Port = CInt(port)
ctrl.ApplicationId = 0
out.WriteLine "init " & ctrl.Init()
ctrl.DialNumber "0 44"
ctrl.RequestTaskResources 5, ids
ctrl.BrennStartKeyIn
Set pauses = CreateObject("LumoClientLib.LumoClientMap.1")
out.WriteLine "pauses " & ctrl.GetPauseList(pauses)
For Each p In pauses
    out.WriteLine "pause " & p
Next
out.WriteLine "uninit " & ctrl.Uninit()
out.Close
'''

# A prefix's first programs start slowly on a loaded machine: the accept may wait long.
LUMO = r'''timeout 120
accept
starts
expect APLGIN (?P<id>\d+) 0 0
line APLGIN {id} -1 1 3
expect MANDIA \d+ 0\x0c44 \x08
expect TSKRES \d+ 5 12;34;
expect STAKYI \d+ 0
expect LSTPAU (?P<id>\d+)
answer LSTPAU '3 = "Lunch" '
waitclose 60
'''


class CscriptClientTest(unittest.TestCase):
    def test_script_client_against_the_scripted_lumo(self):
        prefix = WinePrefix()
        try:
            self.assertEqual(prefix._run([WINE, "regsvr32", "/s", wine_path(OCX)]).returncode, 0, "registered")
            work = tempfile.mkdtemp(dir=prefix.path)
            for name, text in (("client.vbs", CLIENT), ("script", LUMO)):
                with open(os.path.join(work, name), "w", encoding="utf-8") as f:
                    f.write(text)
            lumo = subprocess.Popen([sys.executable, "-B", SCRIPTED_LUMO, work, os.path.join(work, "script")],
                                    stderr=subprocess.PIPE, text=True)
            try:
                deadline = time.monotonic() + 10
                while not os.path.exists(os.path.join(work, "port")) and time.monotonic() < deadline:
                    time.sleep(0.05)
                out = os.path.join(work, "out.txt")
                prefix._run([WINE, "cscript.exe", "//nologo", wine_path(os.path.join(work, "client.vbs")),
                             wine_path(os.path.join(work, "port")), wine_path(out)], timeout=120)
                _, err = lumo.communicate(timeout=60)
            finally:
                if lumo.poll() is None:
                    lumo.kill()
            text = ""
            if os.path.exists(out):
                with open(out, encoding="ascii") as f:
                    text = " ".join(f.read().split())
            self.assertEqual(text, "map 1 map 2 ids 12 ids 34 init True pauses 1 pause Lunch uninit True", err)
            self.assertEqual(lumo.returncode, 0, err)
        except BaseException:
            prefix.failed = True
            raise
        finally:
            prefix.close()


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
